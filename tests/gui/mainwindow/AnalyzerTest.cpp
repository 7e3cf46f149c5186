// The analysis panel and the save-data configuration through their object
// names, the interactive fit of one spectrum on the worker thread, and the
// main window's LCF run from batch lines on a small synthetic mixture.
#include "analysis/widgets/Analyzer.h"
#include "analysis/AnalyzeProc.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/widgets/ElemPanel.h"
#include "analysis/widgets/LCFReference.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/SaveDataCfg.h"
#include "display/widgets/SpectrumView.h"
#include "gui/mainwindow/BodyBatchRun.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "mainwindow/widgets/RecordWindow.h"
#include "support/TestSupport.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using TestSupport::waitUntil;

namespace {

constexpr double Pi = 3.14159265358979323846;

// Two compounds with edges 12 eV apart, the second with a white line.
double muA(double e) {
    return 0.3 * std::pow(7000.0 / e, 3) + 0.5 + std::atan((e - 7112) / 1.5) / Pi;
}
double muB(double e) {
    return 0.3 * std::pow(7000.0 / e, 3) + 0.9 * (0.5 + std::atan((e - 7124) / 2.0) / Pi) +
           0.6 / (1 + std::pow((e - 7127) / 3.0, 2));
}
std::vector<double> energies() {
    std::vector<double> e;
    for (double v = 7000; v <= 7300; v += 3)
        e.push_back(v);
    return e;
}

QByteArray referenceText(double (*mu)(double)) {
    QByteArray text;
    for (double e = 6950; e <= 7350; e += 1)
        text += QByteArray::number(e) + ' ' + QByteArray::number(mu(e), 'g', 12) + '\n';
    return text;
}

template <typename T> T *child(QWidget *w, const char *name) {
    T *c = w->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

} // namespace

TEST(AnalyzerPanel, FormDefaultsSelectionIdsAndSelectedMap) {
    Analyzer a;
    EXPECT_EQ(a.windowTitle(), "Analyzer");
    struct Text {
        const char *name;
        const char *text;
    };
    for (const Text &t : {Text{"LCFRange1", "0"},
                          {"LCFRange2", "30000"},
                          {"DispZansa", "0.0"},
                          {"DMutScaleMin", "0.0"},
                          {"DMutScaleMax", "1.0"},
                          {"RatioScaleMin", "0.0"},
                          {"RatioScaleMax", "1.0"},
                          {"RAAtEV", "8200"},
                          {"RAFactor", "1.0"}})
        EXPECT_EQ(child<QLineEdit>(&a, t.name)->text(), t.text) << t.name;
    EXPECT_EQ(child<QLabel>(&a, "Progress")->text(), "0%");
    EXPECT_EQ(child<QLabel>(&a, "ElemsProgress")->text(), "0%"); // no run yet
    for (const char *on : {"SelMLCFA", "ShowDMuT"})
        EXPECT_TRUE(child<QAbstractButton>(&a, on)->isChecked()) << on;
    for (const char *off : {"SelRAA", "SelElemA", "SelSumUp", "SelProcMaps", "OldLCF", "MLCF",
                            "DispOnTime", "FixedScale", "ShowZ", "ShowRest", "ShowRatio"})
        EXPECT_FALSE(child<QAbstractButton>(&a, off)->isChecked()) << off;
    for (const char *b : {"AskAnalyze", "AskRAAnalyze", "ShowView", "AddRef"})
        child<QPushButton>(&a, b);
    child<QFrame>(&a, "RefBase");

    // Four rows; the first two in use (once loaded); the use boxes say so.
    ASSERT_EQ(a.references().size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(a.references()[i]->fileSelect()->isUse(), i < 2);
    EXPECT_EQ(child<QPushButton>(a.references()[2]->fileSelect(), "Select")->text(), "Select Ref3");

    // Ids: rows from 0, then ShowDMuT, ShowRest, ShowRatio, ShowZ at 4..7;
    // an added row takes 8 so the fixed ids keep their meaning.
    a.addNewRef();
    QButtonGroup *g = a.selectionGroup();
    EXPECT_EQ(g->button(4)->objectName(), "ShowDMuT");
    EXPECT_EQ(a.mapTypeGroup()->button(7)->objectName(), "ShowZ");
    EXPECT_EQ(g->button(8), a.references()[4]->showButton());
    QSignalSpy changed(&a, &Analyzer::changedSelection);
    struct Pick {
        int id;
        int imageType; // 0 ratio, 1 dMut
        const char *map;
        int row;
    };
    for (const Pick &p : {Pick{7, 1, "a2d Zansa", -1},
                          {1, 0, "LCF Ref 2", 1},
                          {1, 1, "LCF Ref 1", 1},
                          {8, 0, "LCF Ref 2", 4}}) {
        a.selectImage(p.id);
        a.selectImageType(p.imageType);
        ASSERT_NE(a.selectedMap(), nullptr) << p.id;
        EXPECT_EQ(a.selectedMap()->name(), p.map) << p.id;
        EXPECT_EQ(a.selectedReference(), p.row) << p.id;
        if (p.row >= 0)
            EXPECT_EQ(a.selectedMap(), a.references()[p.row]->map(p.imageType == 0));
    }
    EXPECT_GE(changed.size(), 4);
    a.selectImage(99); // no such button: nothing changes
    EXPECT_EQ(a.selectedReference(), 4);

    // Residual-absorption maps are shown only once they are filled.
    a.selectAnalysisMode(Analyzer::ModeRA);
    a.selectImage(4);
    EXPECT_EQ(a.selectedMap(), nullptr);
    a.raDMutMap()->prepare(AnalyzeCond(4, 3, 0, 0, 0, 0, 4, 3));
    a.raDMutMap()->markFilled();
    EXPECT_EQ(a.selectedMap(), a.raDMutMap());
    a.selectAnalysisMode(9);
    EXPECT_EQ(a.mode(), Analyzer::ModeRA);

    // Fixed scales reach the maps.
    a.setFixedScale(true);
    a.setRatioScaleMax(0.8);
    EXPECT_EQ(child<QLineEdit>(&a, "RatioScaleMax")->text(), "0.8");
    EXPECT_TRUE(a.references()[0]->map(LCFReference::FractionMap)->fixedScale());
    EXPECT_DOUBLE_EQ(a.references()[0]->map(LCFReference::FractionMap)->fixMax(), 0.8);
    EXPECT_DOUBLE_EQ(a.raRatioMap()->fixMax(), 0.8);
    EXPECT_DOUBLE_EQ(a.zansaMap()->fixMax(), 1.0);
}

// The "Fit options" group: all off at start; the boxes, the E0 field and the
// slots the batch reaches agree; the quality maps sit in the selection.
TEST(AnalyzerPanel, FitOptionsAndQualityMapSelection) {
    Analyzer a;
    EXPECT_EQ(child<QGroupBox>(&a, "FitOptions")->title(), "Fit options");
    for (const char *b : {"NonNegative", "SumToOne", "FixedE0"})
        EXPECT_FALSE(child<QCheckBox>(&a, b)->isChecked()) << b;
    child<QPushButton>(&a, "FixedE0FromArea");
    EXPECT_FALSE(a.lcfOptions().nonNegative || a.lcfOptions().sumToOne);
    EXPECT_TRUE(a.lcfOptions().quality);
    EXPECT_FALSE(a.withFixedEdge(SuggestElm()).fixedEdge);

    QSignalSpy renormalise(&a, &Analyzer::normalizationChanged);
    a.setNonNegative(true);
    a.setSumToOne(true);
    a.setFixedE0Energy(7115.25);
    EXPECT_EQ(renormalise.size(), 0); // the edge is not in use yet
    a.setFixedE0(true);
    EXPECT_EQ(renormalise.size(), 1);
    EXPECT_TRUE(a.lcfOptions().nonNegative && a.lcfOptions().sumToOne);
    EXPECT_EQ(child<QLineEdit>(&a, "FixedE0EV")->text(), "7115.25");
    const SuggestElm s = a.withFixedEdge(SuggestElm());
    EXPECT_TRUE(s.fixedEdge);
    EXPECT_DOUBLE_EQ(s.fixedEdgeEnergy, 7115.25);

    a.selectImage(1);
    a.selectSigmaImage();
    ASSERT_NE(a.selectedMap(), nullptr);
    EXPECT_EQ(a.selectedMap(), a.references()[1]->map(LCFReference::SigmaMap));
    EXPECT_EQ(a.selectedMap()->name(), "LCF Ref 3");
    a.selectImage(Analyzer::RFactorSelection);
    EXPECT_EQ(a.selectedMap(), a.rFactorMap());
    EXPECT_EQ(child<QRadioButton>(&a, "ShowChi2"),
              a.mapTypeGroup()->button(Analyzer::Chi2Selection));
    a.selectImage(Analyzer::Chi2Selection);
    EXPECT_EQ(a.selectedMap()->name(), "a2d Chi2");
}

TEST(AnalyzerPanel, SaveDataCfgDefaultsAndSlots) {
    SaveDataCfg s;
    EXPECT_EQ(s.windowTitle(), "Save Data Configuration");
    EXPECT_TRUE(s.saveAsTiff());
    EXPECT_TRUE(child<QFrame>(&s, "TiffCfg")->isEnabled());
    EXPECT_FALSE(child<QFrame>(&s, "TextCfg")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(&s, "TiffScaleMin")->text(), "0");
    EXPECT_EQ(child<QLineEdit>(&s, "TiffScaleMax")->text(), "10");
    EXPECT_TRUE(s.textCommaSeparated());
    EXPECT_TRUE(s.textXYVal());
    EXPECT_FALSE(s.tiffFixedScale() || s.tiffAsAnalyzed());
    s.setSaveAsText();
    s.setSaveTextAsSSV();
    s.setSaveTextAsValValVal();
    s.setSaveTiffScaleMax(2.5);
    s.setSaveTiffAsAnalyzed(true);
    EXPECT_FALSE(child<QFrame>(&s, "TiffCfg")->isEnabled());
    EXPECT_TRUE(child<QFrame>(&s, "TextCfg")->isEnabled());
    EXPECT_FALSE(s.textCommaSeparated() || s.textXYVal() || s.saveAsTiff());
    EXPECT_DOUBLE_EQ(s.tiffScaleMax(), 2.5);
    EXPECT_TRUE(s.tiffAsAnalyzed());
}

class AnalyzerRun : public ::testing::Test {
protected:
    static constexpr int W = 6, H = 4;
    void SetUp() override {
        refA = TestSupport::writeFile(dir, "refA.dat", referenceText(muA));
        refB = TestSupport::writeFile(dir, "refB.dat", referenceText(muB));
    }
    // I1 frames of the mixture fA = x / (w - 1), no I0: mu*t = -ln(I1) + const.
    QStringList writeStack(int w = W, int h = H) {
        QStringList files;
        std::vector<quint16> px(size_t(w) * h);
        for (double e : energies()) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double f = double(x) / (w - 1);
                    px[size_t(y) * w + x] = quint16(
                        std::lround(60000 * std::exp(-(0.2 + f * muA(e) + (1 - f) * muB(e)))));
                }
            const QString name =
                dir.filePath(QStringLiteral("s_%1_0000.tif").arg(int(e), 5, 10, QChar('0')));
            EXPECT_TRUE(TiffData::write16BitTiff(name, w, h, px.data()));
            files << name;
        }
        return files;
    }
    bool runBatch(const QStringList &lines, const QString &until) {
        return runBatchUntil(body, lines, until, 60000);
    }
    QTemporaryDir dir;
    QString refA, refB;
    Body body;
};

// The spectrum under the cursor, a 0.3 / 0.7 mixture, fitted on the worker:
// the rows show R in percent; victoreen arguments and unreadable files.
TEST_F(AnalyzerRun, InteractiveFitAndReferenceRows) {
    Analyzer *a = body.analyzer();
    a->setLCFStd(0, true, 0, refA, "0");
    a->setLCFStd(1, true, 0, refB, "0");
    ASSERT_TRUE(a->references()[0]->isInUse());
    Spectrum mix;
    for (double e : energies())
        mix.addPoint(e, 0.3 * muA(e) + 0.7 * muB(e));
    const XafsSpectrum s(mix, "mix", 1, 0, SuggestElm());
    QSignalSpy done(a, &Analyzer::finished);
    a->analyzeAndShowSpectrum(s, SuggestElm());
    ASSERT_TRUE(waitUntil([&] { return done.size() >= 1 && !a->isWorkerBusy(); }));
    // The rows show the worker's coefficients; the mixture comes back within
    // what the different edge shapes leave after normalisation.
    for (int i = 0; i < 2; ++i) {
        const QString r = child<QLineEdit>(a->references()[i], "R")->text();
        EXPECT_EQ(r, QString::asprintf("%5.2f", a->worker()->fractions().at(i) * 100));
        EXPECT_NEAR(r.toDouble(), i == 0 ? 30 : 70, 3.0);
    }
    EXPECT_EQ(a->view()->others().size(), 3); // fitted curve and both references
    a->view()->renderPlot();
    const QStringList legend = a->view()->legendLabels();
    for (const char *label : {"fitted curve", "Ref 1: refA.dat", "Ref 2: refB.dat"})
        EXPECT_TRUE(legend.contains(label)) << label << " in " << legend.join(", ").toStdString();

    struct Vic {
        const char *arg;
        bool checked;
    };
    for (const Vic &v :
         {Vic{"", true}, {"vic", true}, {"VIC", true}, {"2", true}, {"0", false}, {"abc", false}})
        for (const QString &file : {refA, dir.filePath("missing.dat")}) {
            a->setLCFStd(2, true, 1.5, file, v.arg);
            LCFReference *row = a->references()[2];
            EXPECT_EQ(child<QCheckBox>(row, "IsVictreen")->isChecked(), v.checked) << v.arg;
            EXPECT_EQ(child<QLineEdit>(row, "DeltaE")->text(), "1.5");
            // A file that cannot be read leaves the reference in use.
            EXPECT_TRUE(row->isInUse()) << qPrintable(file);
            EXPECT_EQ(row->fileSelect()->fileName(), refA);
            EXPECT_DOUBLE_EQ(row->spectrum().shift(), 1.5);
        }
}

// References are normalised as the sample is (the suggestion's windows); a
// file of several columns asks which holds mu; a reference whose edge is not
// where the suggestion says is marked and left out of the fit.
TEST_F(AnalyzerRun, ReferenceRowsFollowTheSuggestionAndSayWhatIsWrong) {
    Analyzer *a = body.analyzer();
    LCFReference *row = a->references()[0];
    a->setLCFStd(0, true, 0, refA, "0");
    const double plainMid = row->spectrum().midx();
    ASSERT_TRUE(runBatch({"Suggest_Elm 1", "Suggesting_Elm Fe", "Suggesting_Edge 0"}, "fe"));
    EXPECT_TRUE(row->spectrum().suggestion().use);
    EXPECT_NEAR(row->spectrum().midx(), 7112, 2) << plainMid;
    EXPECT_TRUE(row->isInUse());

    // mu in the third of four columns: the row offers the columns.
    QByteArray four;
    for (double e = 6950; e <= 7350; e += 1)
        four += QByteArray::number(e) + " 100000 " + QByteArray::number(muA(e), 'g', 12) + " 7\n";
    const QString fourFile = TestSupport::writeFile(dir, "four.dat", four);
    a->setLCFStd(1, true, 0, fourFile, "0");
    LCFReference *second = a->references()[1];
    auto *columns = child<QComboBox>(second, "MuColumn");
    EXPECT_TRUE(columns->isVisibleTo(second));
    EXPECT_FALSE(second->isInUse());
    columns->setCurrentIndex(columns->findData(3));
    emit columns->activated(columns->currentIndex());
    EXPECT_TRUE(second->isInUse());
    EXPECT_NEAR(second->spectrum().midx(), row->spectrum().midx(), 1e-9);
    a->setLCFStd(1, true, 0, fourFile + "@2", "0"); // the batch's form: a flat column
    EXPECT_FALSE(second->isInUse());
    EXPECT_FALSE(second->problem().isEmpty());
    EXPECT_EQ(child<QLineEdit>(second, "DMut")->toolTip(), second->problem());

    // B's edge lies 12 eV above A's: within reach of an Fe K suggestion, but
    // not of one 40 eV below it.
    ASSERT_TRUE(runBatch({"Suggesting_Edge_eV 7072"}, "low"));
    EXPECT_FALSE(row->isInUse());
    EXPECT_FALSE(row->problem().isEmpty());
    ASSERT_TRUE(runBatch({"Suggest_Elm 0"}, "plain"));

    // One reference more than the fit takes is said in the panel at once.
    while (a->references().size() < 17)
        a->addNewRef();
    for (int i = 0; i < 17; ++i)
        a->setLCFStd(i, true, 0, refA, "0");
    auto *message = child<QLabel>(a, "RunMessage");
    EXPECT_TRUE(message->isVisibleTo(a));
    EXPECT_TRUE(message->text().startsWith("17 references in use")) << qPrintable(message->text());
    const auto *messages = body.findChild<MessagesWindow *>("MessagesWindow");
    ASSERT_GT(messages->count(), 0);
    EXPECT_TRUE(messages->textAt(messages->count() - 1).contains("the fit takes at most 16"));
    a->setLCFStd(16, false, 0, refA, "0");
    EXPECT_FALSE(message->isVisibleTo(a));
}

// Batch lines: a run that cannot start answers at once; a run answers when
// it ends; the fraction map follows the mixture; a second press while loading
// or running leaves nothing running; the export commands write the map.
TEST_F(AnalyzerRun, BatchRunStopAndExport) {
    DebugLog::Capture log;
    ASSERT_TRUE(runBatch({"analyzer_exec_LCF"}, "nothing"));
    EXPECT_FALSE(log.contains("2da 1:"));

    const QStringList files = writeStack();
    // Pressed while the series arrives: refused, or halted by the next image.
    QSignalSpy loaded(&body, &Body::finishBatchExec);
    emit body.findChild<SelectDataFiles *>("SelectI1Files")->filesSelected(files, true);
    body.startLCF2DAnalysis();
    ASSERT_TRUE(waitUntil([&] { return loaded.size() >= 1; }, 60000));
    ASSERT_EQ(body.stack().i1().size(), int(energies().size()));
    ASSERT_TRUE(waitUntil([&] { return !body.isAnalysisRunning(); }));

    const QString out = dir.filePath("frac.txt");
    ASSERT_TRUE(runBatch(
        {"set_band_w 0", "set_band_h 0", QString("analyzer_set_LCF_std 0 1 0 %1 0").arg(refA),
         QString("analyzer_set_LCF_std 1 1 0 %1 0").arg(refB), "analyzer_exec_LCF",
         "analyzer_select_image 0", "analyzer_select_image_type 0", "select_disp_image 3",
         "saveDataCfg_save_as_text", "saveDataCfg_text_as_vals", "saveDataCfg_text_as_ssv",
         "save_data " + out},
        "ran"));
    EXPECT_TRUE(log.contains("2da 3:"));
    EXPECT_FALSE(body.isAnalysisRunning());
    const Analyzed2DRes *frac = body.analyzer()->selectedMap();
    ASSERT_NE(frac, nullptr);
    EXPECT_EQ(frac->name(), "LCF Ref 2");
    EXPECT_EQ(body.analyzer()->mapTitle(frac), "Ref 1 fraction");
    EXPECT_EQ(body.analyzer()->mapTitle(body.analyzer()->zansaMap()), "Residual");
    for (int x = 0; x < W; ++x)
        EXPECT_NEAR(frac->valueAt(x, 2), double(x) / (W - 1), 0.03) << x;
    EXPECT_TRUE(QFile::exists(dir.filePath("frac-0.dat.json")));

    // DeGlitch and Proc. Img act on the map on display, not the shift map;
    // Chk Vals dumps that map.
    body.findChild<QPushButton *>("DeGlitch")->click();
    auto *processed = body.findChild<QPushButton *>("ShowProcImg");
    EXPECT_TRUE(processed->isChecked());
    EXPECT_TRUE(frac->showProcessed());
    EXPECT_FALSE(body.shiftMap()->showProcessed());
    processed->click();
    EXPECT_FALSE(frac->showProcessed());
    body.findChild<QPushButton *>("CheckVals")->click();
    EXPECT_TRUE(log.contains("vals of LCF Ref 2"));
    QFile text(dir.filePath("frac-0.dat"));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = text.readAll().split('\n');
    ASSERT_EQ(lines.size(), H + 2); // leading empty line, one per row, final feed
    EXPECT_EQ(lines[1].split(' ').size(), W);

    // Two presses at once: the second stops the first; nothing stays running
    // and the maps keep their grids.
    body.startLCF2DAnalysis();
    body.startLCF2DAnalysis();
    ASSERT_TRUE(waitUntil([&] { return !body.isAnalysisRunning(); }));
    EXPECT_TRUE(frac->isFilled());
}

// Only one kind of LCF map ever shows as chosen. Each group's Analyze runs
// its own analysis whatever the mode boxes said; one that cannot run says
// why in the panel and never leaves an all-zero map behind.
TEST_F(AnalyzerRun, EachAnalyzeRunsItsOwnAnalysisOrSaysWhyNot) {
    Analyzer *a = body.analyzer();
    const auto chosenKinds = [a] {
        int n = 0;
        for (QAbstractButton *b : a->mapTypeGroup()->buttons())
            n += b->isChecked() ? 1 : 0;
        return n;
    };
    a->selectImage(1);
    child<QRadioButton>(a, "SelRatio")->click();
    child<QRadioButton>(a, "ShowRFactor")->click();
    EXPECT_EQ(chosenKinds(), 1);
    EXPECT_EQ(a->selectedMap(), a->rFactorMap());
    a->references()[0]->showButton()->click(); // a row brings its kind back
    EXPECT_EQ(chosenKinds(), 1);
    EXPECT_EQ(a->selectedMap(), a->references()[0]->map(LCFReference::FractionMap));

    QLabel *message = child<QLabel>(a, "RunMessage");
    child<QPushButton>(a->elemPanel(), "AskAnalyzeElems")->click();
    EXPECT_EQ(a->mode(), Analyzer::ModeElem);
    EXPECT_TRUE(message->text().contains("no I1 images are loaded"))
        << message->text().toStdString();

    QSignalSpy loaded(&body, &Body::finishBatchExec);
    emit body.findChild<SelectDataFiles *>("SelectI1Files")->filesSelected(writeStack(), true);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() >= 1; }, 60000));
    a->selectAnalysisMode(Analyzer::ModeLCF);
    child<QPushButton>(a->elemPanel(), "AskAnalyzeElems")->click();
    EXPECT_EQ(a->mode(), Analyzer::ModeElem);
    EXPECT_TRUE(message->text().contains("no element row in use"));
    EXPECT_FALSE(body.isAnalysisRunning());

    a->selectAnalysisMode(Analyzer::ModeSumUp);
    child<QPushButton>(a, "AskAnalyze")->click();
    EXPECT_EQ(a->mode(), Analyzer::ModeLCF);
    EXPECT_TRUE(message->text().contains("no reference spectrum in use"));
    EXPECT_FALSE(body.isAnalysisRunning());

    // With an element row the element group's run goes, from the LCF mode too.
    ASSERT_TRUE(runBatch({"analyzer_target_elements Fe"}, "rows"));
    a->selectAnalysisMode(Analyzer::ModeLCF);
    child<QPushButton>(a->elemPanel(), "AskAnalyzeElems")->click();
    EXPECT_EQ(a->mode(), Analyzer::ModeElem);
    EXPECT_TRUE(message->isHidden());
    ASSERT_TRUE(waitUntil([&] { return !body.isAnalysisRunning(); }, 60000));
    ASSERT_NE(a->selectedMap(), nullptr);
    EXPECT_TRUE(a->selectedMap()->name().startsWith("Fe"))
        << a->selectedMap()->name().toStdString();
}

// While a run goes its Analyze reads Stop and the status bar shows its time;
// Stop in the batch window ends the map run too, the maps keeping the bins
// done; the next run starts from 0.
TEST_F(AnalyzerRun, RunsStopFromTheButtonAndFromTheBatchWindow) {
    Analyzer *a = body.analyzer();
    QSignalSpy loaded(&body, &Body::finishBatchExec);
    emit body.findChild<SelectDataFiles *>("SelectI1Files")
        ->filesSelected(writeStack(160, 120), true);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() >= 1; }, 60000));
    a->setLCFStd(0, true, 0, refA, "0");
    a->setLCFStd(1, true, 0, refB, "0");
    auto *button = child<QPushButton>(a, "AskAnalyze");
    auto *runTime = body.findChild<QLabel *>("RunTime");
    for (const char *how : {"button", "batch"}) {
        button->click();
        ASSERT_TRUE(body.isAnalysisRunning()) << how;
        EXPECT_EQ(button->text(), "Stop");
        EXPECT_EQ(child<QProgressBar>(a, "RunProgress")->value(), 0);
        EXPECT_FALSE(runTime->isHidden());
        if (QString(how) == "button")
            button->click();
        else
            emit body.batchCtrl()->batchStop();
        ASSERT_TRUE(waitUntil([&] { return !body.isAnalysisRunning(); }, 60000)) << how;
        EXPECT_EQ(button->text(), "Analyze");
        EXPECT_TRUE(runTime->isHidden());
        EXPECT_LT(child<QProgressBar>(a, "RunProgress")->value(), 1000) << how;
        EXPECT_TRUE(a->references()[0]->map(LCFReference::FractionMap)->hasGrids());
    }
    const QVector<UserMessage> said = UserMessages::hub().messages();
    EXPECT_TRUE(said.last().text.contains("Stop: the map run was stopped with the batch"));
}

// The panel's window fits a 1366 x 768 screen; the panel scrolls inside it.
TEST_F(AnalyzerRun, PanelWindowFitsALaptopScreen) {
    body.analyzer()->show();
    QWidget *window = body.analyzer()->window();
    EXPECT_EQ(window->objectName(), "AnalyzerWindow");
    EXPECT_TRUE(window->isVisible());
    EXPECT_LE(window->width(), 1366);
    EXPECT_LE(window->height(), 768 - 60); // room for the title bar and a panel
    EXPECT_TRUE(body.analyzer()->isVisible());
}

// The window driven through object names (load, bin, two references,
// analyze, the fraction map saved as text) is recorded as batch lines, an
// action without a command as a comment; the recording replayed headless
// writes the same map byte for byte.
TEST_F(AnalyzerRun, RecordingReplaysHeadlessToTheSameMap) {
    const auto *record = body.findChild<RecordWindow *>("RecordWindow");
    ASSERT_NE(record, nullptr);
    QSignalSpy loaded(&body, &Body::finishBatchExec);
    emit body.findChild<SelectDataFiles *>("SelectI1Files")->filesSelected(writeStack(), true);
    ASSERT_TRUE(waitUntil([&] { return loaded.size() >= 1; }, 60000));
    for (const char *name : {"HWidth", "VWidth"}) {
        auto *field = body.findChild<QLineEdit *>(name);
        field->setText("0");
        emit field->editingFinished();
    }
    Analyzer *a = body.analyzer();
    a->references()[0]->fileSelect()->fileSelected(refA);
    a->references()[1]->fileSelect()->fileSelected(refB);
    child<QPushButton>(a, "AskAnalyze")->click();
    ASSERT_TRUE(waitUntil([&] { return !body.isAnalysisRunning(); }, 60000));
    a->selectionGroup()->button(0)->click();
    a->mapTypeGroup()->button(LCFReference::FractionMap)->click();
    body.findChild<QAbstractButton *>("ShowResAnalysis")->click();
    child<QAbstractButton>(body.saveDataCfg(), "SaveAsTextData")->click();
    emit body.findChild<QFileDialog *>("SaveDataDialog")->fileSelected(dir.filePath("frac.txt"));
    body.findChild<QAbstractButton *>("CheckVals")->click();
    EXPECT_TRUE(record->lines().last().startsWith("# not recordable: "));
    EXPECT_TRUE(record->lines().last().contains("CheckVals"));

    const QString window = dir.filePath("window.dat");
    ASSERT_TRUE(QFile::rename(dir.filePath("frac-0.dat"), window));
    const QString bat = dir.filePath("recorded.bat");
    ASSERT_TRUE(const_cast<RecordWindow *>(record)->saveAs(bat));
    QProcess replay;
    replay.setWorkingDirectory(dir.path());
    replay.start(LS_PROGRAM,
                 {"-platform", "offscreen", "-e", "-c", dir.filePath("none.cfg"), "-b", bat, "-x"});
    ASSERT_TRUE(replay.waitForFinished(120000));
    EXPECT_EQ(replay.exitCode(), 0) << replay.readAllStandardError().toStdString();
    const QByteArray map = TestSupport::readFile(window);
    ASSERT_FALSE(map.isEmpty());
    EXPECT_TRUE(map == TestSupport::readFile(dir.filePath("frac-0.dat")))
        << TestSupport::readFile(bat).toStdString();
}
