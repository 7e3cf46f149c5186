// Calibration through the main window: the calibration window's fields, the
// batch commands 95-102 with their completion rules, the run on a stack with
// known shifts, the map file round trip and the spectra's background model.
#include "analysis/Analyzed2DRes.h"
#include "analysis/EmpFile.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/CalibCtrl.h"
#include "analysis/widgets/MapProcCtrl.h"
#include "analysis/widgets/SumUpCtrl.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/SpectrumView.h"
#include "gui/mainwindow/BodyBatchRun.h"
#include "imageio/TiffData.h"
#include "mainwindow/widgets/Body.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using TestSupport::waitUntil;

namespace {

constexpr int W = 24, H = 4;
constexpr double Edge = 8984;

double mu(double e) {
    const double step = 0.5 + std::atan((e - Edge) / 1.5) / M_PI;
    return 0.3 * std::pow(8900 / e, 3) + step + 0.4 * std::exp(-std::pow(e - Edge - 5, 2) / 18);
}

double regionShift(int x) {
    return x < 8 ? 0.0 : (x < 16 ? 3.0 : -2.5);
}

class BodyCalibTest : public ::testing::Test {
protected:
    void SetUp() override {
        body.resize(900, 700);
        body.show();
        calib = body.calibCtrl();
    }
    // Transmission images 30000 exp(-mu(E - shift(x))), energies in the names.
    QString writeStack() {
        const QString folder = dir.path() + "/stack/";
        QDir().mkpath(folder);
        for (int e = 8934; e <= 9044; ++e) {
            std::vector<quint16> px(size_t(W) * H);
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    px[size_t(y) * W + x] =
                        quint16(std::lround(30000 * std::exp(-mu(e - regionShift(x)))));
            TiffData::write16BitTiff(folder +
                                         QStringLiteral("c_%1_0000.tif").arg(e, 5, 10, QChar('0')),
                                     W, H, px.data());
        }
        QByteArray std;
        for (double e = 8900; e <= 9100; e += 0.5)
            std += QByteArray::number(e, 'f', 1) + " " + QByteArray::number(mu(e), 'g', 12) + "\n";
        TestSupport::writeFile(dir, "std.dat", std);
        return folder;
    }
    bool runBatch(const QStringList &lines, const QString &until) {
        return runBatchUntil(body, lines, until, 60000);
    }
    template <typename T> T *field(const char *name) { return calib->findChild<T *>(name); }
    QString text(const char *name) { return field<QLineEdit>(name)->text(); }
    double regionMean(int x0, int x1) {
        double s = 0;
        for (int y = 0; y < H; ++y)
            for (int x = x0; x < x1; ++x)
                s += body.shiftMap()->valueAt(x, y);
        return s / ((x1 - x0) * H);
    }
    int answers(const QSignalSpy &spy, int id) {
        int n = 0;
        for (const QList<QVariant> &a : spy)
            n += a.at(0).toInt() == id;
        return n;
    }

    QTemporaryDir dir;
    Body body;
    CalibCtrl *calib = nullptr;
};

} // namespace

TEST_F(BodyCalibTest, WindowHasItsFieldsAndCrystals) {
    EXPECT_EQ(calib->windowTitle(), "Calibration");
    for (const char *name : {"DEs", "MinDEs", "DEw", "EdgeEeV", "XOffset", "YOffset", "Width",
                             "Height", "EMPFileName", "DEMax", "DEAvr", "DEMin", "DESigma"})
        EXPECT_NE(field<QLineEdit>(name), nullptr) << name;
    for (const char *name : {"CalibTypeDMidX", "CalibTypeInnerP", "StdBGSimple", "StdBGVictreen",
                             "TargetBGSimple", "TargetBGVictreen"})
        EXPECT_NE(field<QRadioButton>(name), nullptr) << name;
    for (const char *name : {"SaveMap", "LoadMap", "ExecCalib", "ClearMap"})
        EXPECT_NE(field<QPushButton>(name), nullptr) << name;
    EXPECT_NE(field<QCheckBox>("CheckSize"), nullptr);
    EXPECT_NE(field<QLabel>("Progress"), nullptr);
    EXPECT_EQ(text("DEs"), "1");
    EXPECT_EQ(text("MinDEs"), "0.1");
    EXPECT_EQ(text("DEw"), "20");
    EXPECT_TRUE(field<QRadioButton>("CalibTypeDMidX")->isChecked());
    EXPECT_TRUE(field<QRadioButton>("StdBGSimple")->isChecked());
    EXPECT_TRUE(field<QRadioButton>("TargetBGSimple")->isChecked());
    // The two background choices are independent groups.
    field<QRadioButton>("TargetBGVictreen")->setChecked(true);
    EXPECT_TRUE(field<QRadioButton>("StdBGSimple")->isChecked());
    EXPECT_EQ(body.targetBackgroundSimple(), 0);
    QComboBox *crystals = field<QComboBox>("SelCrystal");
    ASSERT_EQ(crystals->count(), 5);
    EXPECT_EQ(crystals->itemText(0), "Si(111)");
    EXPECT_DOUBLE_EQ(crystals->itemData(4).toDouble(), 1.0887941);
    calib->progress(42.24);
    EXPECT_EQ(field<QLabel>("Progress")->text(), " 42.2");
}

TEST_F(BodyCalibTest, BatchCalibratesSavesClearsAndLoadsBack) {
    QSignalSpy done(&body, &Body::finishBatchExec);
    // Nothing to calibrate yet: answered at once.
    ASSERT_TRUE(runBatch({"calib_exec"}, "empty"));
    EXPECT_EQ(answers(done, CALIB_EXEC), 1);

    const QString folder = writeStack();
    const QString emp = dir.filePath("shift.emp");
    ASSERT_TRUE(
        runBatch({"load_I1_files_of_pattern NEW " + folder + " *.tif", "set_band_w 0",
                  "set_band_h 0", "calib_show_window", "calib_load_std " + dir.filePath("std.dat"),
                  "calib_type 1", "calib_exec"},
                 "calibrated"));
    EXPECT_TRUE(calib->isVisible());
    EXPECT_EQ(body.stack().i1().size(), 111);
    EXPECT_NEAR(text("EdgeEeV").toDouble(), Edge, 2);
    EXPECT_EQ(answers(done, CALIB_EXEC), 2);
    EXPECT_TRUE(body.shiftMap()->isFilled());
    EXPECT_NEAR(regionMean(0, 8), 0, 0.1);
    EXPECT_NEAR(regionMean(8, 16), 3, 0.1);
    EXPECT_NEAR(regionMean(16, 24), -2.5, 0.1);
    EXPECT_NEAR(text("DEMax").toDouble(), 3, 0.1);
    EXPECT_NEAR(text("DEMin").toDouble(), -2.5, 0.1);
    EXPECT_NEAR(text("DEAvr").toDouble(), 0.5 / 3, 0.1);
    EXPECT_GT(text("DESigma").toDouble(), 2);
    EXPECT_EQ(text("Width"), "24");
    EXPECT_EQ(field<QLabel>("Progress")->text(), "100.0");
    const double before = body.shiftMap()->valueAt(20, 2);

    ASSERT_TRUE(runBatch({"calib_save_map " + dir.filePath("shift"), "calib_clear_map"}, "saved"));
    EXPECT_TRUE(QFile::exists(emp));
    EXPECT_EQ(text("EMPFileName"), emp);
    EXPECT_FALSE(body.shiftMap()->hasGrids());
    EXPECT_EQ(text("Width"), "0");

    // Each load answers once: a missing file, a good file, a refused size.
    field<QCheckBox>("CheckSize")->setChecked(true);
    ASSERT_TRUE(runBatch(
        {"calib_load_map " + dir.filePath("none.emp"), "calib_load_map " + emp, "calib_type abc"},
        "loaded"));
    EXPECT_EQ(answers(done, CALIB_LOAD_MAP), 2);
    EXPECT_TRUE(field<QRadioButton>("CalibTypeDMidX")->isChecked());
    EXPECT_TRUE(body.shiftMap()->isFilled());
    EXPECT_NEAR(body.shiftMap()->valueAt(20, 2), before, 1e-3);
    EXPECT_EQ(text("Width"), "24");

    // The shown spectrum carries the map's shift at its point.
    body.showXafsSpectrum(20, 2);
    EXPECT_NEAR(body.xafsView()->target().eShiftValue(), before, 1e-3);
}

TEST_F(BodyCalibTest, SecondPressStopsWithoutStatistics) {
    const QString folder = writeStack();
    ASSERT_TRUE(runBatch({"load_I1_files_of_pattern NEW " + folder + " *.tif",
                          "calib_load_std " + dir.filePath("std.dat"), "calib_type 1"},
                         "ready"));
    QSignalSpy finished(&body, &Body::finishBatchExec);
    ASSERT_TRUE(body.execCalibration());
    EXPECT_TRUE(body.isCalibrating());
    EXPECT_FALSE(body.execCalibration()); // stops
    ASSERT_TRUE(waitUntil([&] { return !body.isCalibrating(); }));
    QTest::qWait(50);
    EXPECT_FALSE(body.shiftMap()->isFilled());
    EXPECT_TRUE(text("DEMax").isEmpty());
    EXPECT_TRUE(text("DESigma").isEmpty());
    EXPECT_EQ(finished.size(), 0); // not a batch run: nothing answered

    // The run ends before the images change under it.
    ASSERT_TRUE(body.execCalibration());
    body.clearFiles(Series::I1);
    EXPECT_FALSE(body.isCalibrating());
}

TEST_F(BodyCalibTest, SumUpRangesAndMapProcessingInThePanel) {
    Analyzer *a = body.analyzer();
    SumUpCtrl *s = a->sumUpCtrl();
    ASSERT_NE(a->findChild<SumUpCtrl *>("SumUpC"), nullptr);
    QComboBox *list = s->findChild<QComboBox *>("SumUps");
    s->del(); // empty: nothing
    for (const auto &r : {std::make_pair("0", "10"), std::make_pair("5", "15")}) {
        s->findChild<QLineEdit *>("SumUpFrom")->setText(r.first);
        s->findChild<QLineEdit *>("SumUpTo")->setText(r.second);
        s->add();
    }
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "5-15");
    list->setCurrentIndex(0);
    s->del();
    s->del();
    EXPECT_EQ(s->ranges().size(), 0);
    s->add(); // 5-15 again

    const QString folder = writeStack();
    ASSERT_TRUE(runBatch(
        {"load_I1_files_of_pattern NEW " + folder + " *.tif", "set_band_w 0", "set_band_h 0"},
        "loaded"));
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    a->selectAnalysisMode(Analyzer::ModeSumUp);
    emit a->askSumUp();
    QDir::setCurrent(cwd);
    EXPECT_TRUE(QFile::exists(dir.filePath("sumUpImg.png")));
    double expected = 0;
    for (int j = 5; j < 15; ++j)
        expected += body.stack().i1().at(j)->boxSum(3, 1, 0, 0);
    EXPECT_EQ(a->sumUpMap()->valueAt(3, 1), expected);
    EXPECT_EQ(a->selectedMap(), a->sumUpMap());

    // Capture the sum as map 1, load a shift map file as map 2, divide.
    MapProcCtrl *p = a->mapProcCtrl();
    a->selectAnalysisMode(Analyzer::ModeProcMaps);
    p->captureAsMap1();
    EXPECT_EQ(p->findChild<QLineEdit *>("Map1Name")->text(), "Sum Up Img");
    Analyzed2DRes shift;
    shift.prepare(AnalyzeCond(W, H, 0, 0, 0, 0, W, H));
    shift.setData(3, 1, 0, 0, 2.0);
    EmpFile::WriteInfo info;
    info.stdEdgeEnergy = Edge;
    info.spacing = 3.1355316;
    info.walk = shift.grid();
    info.dataWidth = W;
    info.dataHeight = H;
    ASSERT_TRUE(EmpFile::write(dir.filePath("m2.emp"), shift, info));
    p->loadMap2(dir.filePath("none.emp")); // a failed load leaves the name alone
    EXPECT_TRUE(p->findChild<QLineEdit *>("Map2Name")->text().isEmpty());
    p->loadMap2(dir.filePath("m2.emp"));
    EXPECT_EQ(p->findChild<QLineEdit *>("Map2Name")->text(), dir.filePath("m2.emp"));
    p->findChild<QRadioButton *>("ProcTypeDiv")->setChecked(true);
    p->processMaps();
    Analyzed2DRes *processed = a->mapNamed("Processed Map");
    ASSERT_NE(processed, nullptr);
    EXPECT_NEAR(processed->valueAt(3, 1), expected / 2, expected * 1e-5);
    EXPECT_EQ(processed->valueAt(4, 1), 1.0); // divisor 0
    EXPECT_EQ(a->selectedMap(), processed);
    p->findChild<QRadioButton *>("ShowMap2")->click();
    EXPECT_EQ(a->selectedMap()->name(), "E-Shift Map 2");
}
