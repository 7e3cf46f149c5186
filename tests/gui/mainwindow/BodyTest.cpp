// The main window on real files: loading through the series panels with the
// loader threads, mu*t of the shown spectrum against values computed here
// from the pixels, the ExpTime colours, navigation and the batch commands.
#include "mainwindow/widgets/Body.h"
#include "analysis/Analyzed2DRes.h"
#include "analysis/ImageRegistration.h"
#include "analysis/widgets/Analyzer.h"
#include "analysis/widgets/XafsFileSelect.h"
#include "app/DebugLog.h"
#include "app/UserMessages.h"
#include "batch/widgets/BatchCtrl.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/CrossSView.h"
#include "display/widgets/ImgDispA.h"
#include "display/widgets/SpectrumView.h"
#include "gui/mainwindow/BodyBatchRun.h"
#include "imageio/Hdf5Writer.h"
#include "imageio/LoadTiff.h"
#include "imageio/TiffData.h"
#include "imageio/widgets/SelectDataFiles.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using TestSupport::waitUntil;

namespace {

constexpr int W = 12;
constexpr int H = 9;

double i1Pixel(int i, int x, int y) {
    return 2000 + 31 * x + 17 * y - 120 * i;
}
double i0Pixel(int k, int x, int y) {
    return 9000 + 5 * x + 3 * y + 250 * k;
}
double darkPixel(int x, int y) {
    return 30 + x + y;
}

// An IMG file: 64-byte header, comment with the exposure, 16-bit samples.
QByteArray imgFile(const std::function<double(int, int)> &fn, const QByteArray &exposure) {
    const QByteArray comment = "BytesPerPixel=2,ExposureTime=" + exposure;
    QByteArray b(64, '\0');
    const auto put16 = [&b](int at, int v) {
        b[at] = char(v & 0xff);
        b[at + 1] = char((v >> 8) & 0xff);
    };
    b[0] = 'I';
    b[1] = 'M';
    put16(2, comment.size());
    put16(4, W);
    put16(6, H);
    b += comment;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int v = int(std::lround(fn(x, y)));
            b += char(v & 0xff);
            b += char((v >> 8) & 0xff);
        }
    return b;
}

class BodyTest : public ::testing::Test {
protected:
    void SetUp() override {
        body.resize(900, 700);
        body.show();
        i1Panel = body.findChild<SelectDataFiles *>("SelectI1Files");
        i0Panel = body.findChild<SelectDataFiles *>("SelectI0Files");
    }

    // I1 file i at energy 7000 + 10 i, named after the default energy pattern.
    QStringList writeSeries(const QString &prefix, int n, bool i0,
                            const QList<QByteArray> &exposures = {}) {
        QStringList files;
        for (int i = 0; i < n; ++i) {
            const QString name =
                QStringLiteral("%1_%2_0000.img").arg(prefix).arg(7000 + 10 * i, 5, 10, QChar('0'));
            const auto fn = [i, i0](int x, int y) {
                return i0 ? i0Pixel(i, x, y) : i1Pixel(i, x, y);
            };
            files << TestSupport::writeFile(
                dir, name, imgFile(fn, i < exposures.size() ? exposures[i] : "0.1"));
        }
        return files;
    }
    bool load(SelectDataFiles *panel, const QStringList &files, bool newFile = true) {
        QSignalSpy done(&body, &Body::finishBatchExec);
        emit panel->filesSelected(files, newFile);
        return waitUntil([&] { return done.size() >= 1; });
    }
    const XafsSpectrum &shown() const { return body.xafsView()->target(); }
    template <typename T> T *child(const char *name) {
        return body.centralWidget()->findChild<T *>(name);
    }
    void setText(const char *name, const QString &text) {
        child<QLineEdit>(name)->setText(text);
        emit child<QLineEdit>(name)->editingFinished();
    }
    static double binSum(const std::function<double(int, int)> &fn, int x, int y, int hx, int hy) {
        double s = 0;
        for (int yy = y - hy; yy <= y + hy; ++yy)
            for (int xx = x - hx; xx <= x + hx; ++xx)
                if (xx >= 0 && xx < W && yy >= 0 && yy < H)
                    s += fn(xx, yy);
        return s;
    }
    bool runBatch(const QStringList &lines, const QString &until) {
        return runBatchUntil(body, lines, until);
    }
    // The messages said since the last call, as the Messages window lists them.
    QString newMessages() { return messagesSince(body, seenMessages); }

    QTemporaryDir dir;
    Body body;
    SelectDataFiles *i1Panel = nullptr;
    SelectDataFiles *i0Panel = nullptr;
    int seenMessages = body.findChild<MessagesWindow *>("MessagesWindow")->count();
};

TEST_F(BodyTest, LoadsThroughThePanelWithEnergiesFromNames) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 4, false)));
    ASSERT_EQ(body.stack().i1().size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_DOUBLE_EQ(body.stack().i1().at(i)->energy(), 7000 + 10 * i);
    EXPECT_EQ(body.stack().width(), W);
    EXPECT_EQ(body.stack().height(), H);
    EXPECT_EQ(child<QSlider>("SeekBar")->maximum(), 3);
    EXPECT_EQ(body.currentPoint(), QPoint(0, 0));
    EXPECT_EQ(shown().count(), 4);
    EXPECT_EQ(child<QComboBox>("Selected")->count(), 4);
    EXPECT_EQ(body.currentImage(), body.stack().i1().first());
    EXPECT_FALSE(child<ImgDispA>("dispA")->viewImage().isNull());

    // Adding files appends; a new selection replaces.
    ASSERT_TRUE(load(i1Panel, writeSeries("t", 2, false), false));
    EXPECT_EQ(body.stack().i1().size(), 6);
    ASSERT_TRUE(load(i1Panel, writeSeries("u", 3, false), true));
    EXPECT_EQ(body.stack().i1().size(), 3);

    // With show-latest the last image loaded is the one shown.
    i1Panel->setShowLatest(true);
    ASSERT_TRUE(load(i1Panel, writeSeries("v", 5, false), true));
    EXPECT_EQ(body.currentImageIndex(), 4);
    EXPECT_EQ(child<QSlider>("SeekBar")->maximum(), 4);
}

// After a load without show-latest the list stands on the last file while
// the first image is shown: Next and Prev step from the image on screen.
TEST_F(BodyTest, NextAfterALoadStepsFromTheShownImage) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 4, false)));
    ASSERT_EQ(body.currentImageIndex(), 0);
    QTest::mouseClick(child<QPushButton>("Next"), Qt::LeftButton);
    EXPECT_EQ(body.currentImageIndex(), 1);
    QTest::mouseClick(child<QPushButton>("Prev"), Qt::LeftButton);
    EXPECT_EQ(body.currentImageIndex(), 0);
}

TEST_F(BodyTest, ClearingWhileLoadingAndASelectionQueuedBehind) {
    const QStringList first = writeSeries("a", 20, false);
    const QStringList second = writeSeries("b", 4, false);
    QSignalSpy done(&body, &Body::finishBatchExec);
    emit i1Panel->filesSelected(first, true);
    emit i1Panel->filesSelected(second, false);
    body.clearFiles(Series::I1);
    ASSERT_TRUE(waitUntil([&] { return done.size() >= 1; }));
    QTest::qWait(50);
    EXPECT_EQ(done.size(), 1);
    // Whatever arrived after the clear is a consistent series ending with
    // the second selection in order.
    const auto &images = body.stack().i1();
    ASSERT_GE(images.size(), 4);
    EXPECT_EQ(images.size(), child<QComboBox>("Selected")->count());
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(images.at(images.size() - 4 + k)->fileName(), second.at(k));
}

// Closing the program in the middle of a load: the loader stops between
// files, and images it has handed out but the window has not taken yet are
// freed by the window on its way out (a leak check of the run shows them).
TEST_F(BodyTest, DestroyedWhileLoading) {
    const QStringList files = writeSeries("a", 200, false);
    auto *other = new Body;
    auto *panel = other->findChild<SelectDataFiles *>("SelectI1Files");
    emit panel->filesSelected(files, true);
    QThread::msleep(30);
    delete other;
    QTest::qWait(20);
}

// Choosing the I1 series while it is empty leaves the I0 image on screen:
// clearing the I0 series must take it off before the image is deleted (the
// stale reference is read inside Qt, out of the sanitizer's sight). An I1
// image on screen stays.
TEST_F(BodyTest, ClearingI0TakesItsImageOffTheScreen) {
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 2, true)));
    child<QRadioButton>("ShowI0")->setChecked(true);
    body.showData(1);
    child<QRadioButton>("ShowData")->setChecked(true);
    auto *dispA = child<ImgDispA>("dispA");
    ASSERT_FALSE(dispA->viewImage().isNull());
    body.clearFiles(Series::I0);
    EXPECT_TRUE(dispA->viewImage().isNull());

    ASSERT_TRUE(load(i1Panel, writeSeries("s", 2, false)));
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 2, true)));
    const QImage shown = dispA->viewImage();
    body.clearFiles(Series::I0);
    EXPECT_EQ(dispA->viewImage(), shown);
}

TEST_F(BodyTest, ExpTimeTurnsPinkWhenExposuresDiffer) {
    auto *expTime = i1Panel->findChild<QLineEdit *>("ExpTime");
    ASSERT_NE(expTime, nullptr);
    ASSERT_TRUE(load(i1Panel, writeSeries("a", 3, false, {"0.2", "0.2", "0.2"})));
    EXPECT_EQ(expTime->text(), "200");
    EXPECT_EQ(expTime->styleSheet(), "background-color: rgb(255, 255, 255);");
    ASSERT_TRUE(load(i1Panel, writeSeries("b", 3, false, {"0.2", "0.3", "0.2"})));
    EXPECT_EQ(expTime->styleSheet(), "background-color: rgb(255, 192, 192);");
}

TEST_F(BodyTest, TransmissionAndFluorescenceAgainstPixels) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 3, false)));
    setText("HWidth", "1");
    setText("VWidth", "2");
    body.showXafsSpectrum(4.7, 3.2); // the pixel (4, 3)
    EXPECT_EQ(child<QLabel>("Position")->text(), "(   4,    3)");
    ASSERT_EQ(shown().count(), 3);
    for (int i = 0; i < 3; ++i) {
        const double s = binSum([i](int x, int y) { return i1Pixel(i, x, y); }, 4, 3, 1, 2);
        EXPECT_NEAR(shown().y(i), std::log(15.0 / s), 1e-12);
    }
    // The raw curve of the position is the plain bin sum.
    EXPECT_DOUBLE_EQ(body.xafsView()->raw().y(2),
                     binSum([](int x, int y) { return i1Pixel(2, x, y); }, 4, 3, 1, 2));

    child<QCheckBox>("FluoType")->setChecked(true);
    const double s1 = binSum([](int x, int y) { return i1Pixel(1, x, y); }, 4, 3, 1, 2);
    EXPECT_NEAR(shown().y(1), s1 / 15.0, 1e-9);

    // Outside the image: no points.
    body.showXafsSpectrum(W + 1, 0);
    EXPECT_EQ(shown().count(), 0);

    // Half-widths at the ends of the int range: the bin is the whole image,
    // and neither the spectrum nor the bin box overflows.
    setText("HWidth", "-2147483648");
    setText("VWidth", "2147483647");
    body.showXafsSpectrum(1, 1);
    ASSERT_EQ(shown().count(), 3);
    EXPECT_TRUE(std::isfinite(shown().y(0)));
    EXPECT_FALSE(body.grab().isNull());
}

TEST_F(BodyTest, I0DarkImageDarkAreaAndTotalI0AgainstPixels) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 2, false)));
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 2, true)));
    setText("HWidth", "0");
    setText("VWidth", "0");
    child<QCheckBox>("UseI0")->setChecked(true);
    body.showXafsSpectrum(5, 6);
    for (int i = 0; i < 2; ++i)
        EXPECT_NEAR(shown().y(i), std::log(i0Pixel(i, 5, 6) / i1Pixel(i, 5, 6)), 1e-12);

    // Dark frame at half the series' exposure: subtracted twice over.
    const QString dark = TestSupport::writeFile(dir, "dark.img", imgFile(darkPixel, "0.05"));
    body.selectedDark(dark);
    EXPECT_EQ(child<QLabel>("DarkFileName")->text(), "dark.img");
    EXPECT_EQ(child<QLineEdit>("DarkExpTime")->text(), "50");
    const double d = 2 * darkPixel(5, 6);
    EXPECT_NEAR(shown().y(1), std::log((i0Pixel(1, 5, 6) - d) / (i1Pixel(1, 5, 6) - d)), 1e-12);

    // A dark area over columns 0..2, rows 0..1 of the I1 series.
    auto *dispA = child<ImgDispA>("dispA");
    dispA->setSelectedArea(0, 0, 2, 1);
    body.setDarkArea(Series::I1);
    EXPECT_FALSE(dispA->hasSelection());
    EXPECT_EQ(i1Panel->findChild<QLabel *>("DarkArea")->text(), "(0,0)-(2,1)");
    const auto areaMean = [](const std::function<double(int, int)> &fn) {
        double s = 0;
        for (int y = 0; y <= 1; ++y)
            for (int x = 0; x <= 2; ++x)
                s += fn(x, y);
        return s / 6;
    };
    const double da =
        areaMean([](int x, int y) { return i1Pixel(1, x, y); }) - 2 * areaMean(darkPixel);
    body.showXafsSpectrum(5, 6);
    EXPECT_NEAR(shown().y(1), std::log((i0Pixel(1, 5, 6) - d) / (i1Pixel(1, 5, 6) - d - da)),
                1e-12);
    // The dark read-out under the mouse goes with the dark frame.
    dispA->setImageMousePos(3, 4);
    EXPECT_EQ(child<QLabel>("DarkValue")->text(), QString::number(darkPixel(3, 4), 'g', 6));
    body.clearDarkArea(Series::I1);
    body.clearDark();
    EXPECT_TRUE(child<QLabel>("DarkFileName")->text().isEmpty());
    EXPECT_TRUE(child<QLabel>("DarkValue")->text().isEmpty());

    // A total-I0 spectrum of one point replaces I0; past its end r = 0.
    const QString total = TestSupport::writeFile(dir, "total.dat", "7000 12345\n7010 999\n");
    const QString shortTotal = TestSupport::writeFile(dir, "short.dat", "7000 12345\n");
    child<XafsFileSelect>("TotalI0ofI1XAFS")->fileSelected(total);
    body.showXafsSpectrum(5, 6);
    EXPECT_NEAR(shown().y(1), std::log(999 / i1Pixel(1, 5, 6)), 1e-12);
    child<XafsFileSelect>("TotalI0ofI1XAFS")->fileSelected(shortTotal);
    body.showXafsSpectrum(5, 6);
    EXPECT_NEAR(shown().y(0), std::log(12345 / i1Pixel(0, 5, 6)), 1e-12);
    EXPECT_DOUBLE_EQ(shown().y(1), 1.0);
}

TEST_F(BodyTest, NavigationShowsImagesOfTheChosenSeries) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 3, false)));
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 3, true)));
    body.showData(2);
    EXPECT_EQ(child<QLineEdit>("ImgNo")->text(), "2");
    EXPECT_EQ(child<QSlider>("SeekBar")->value(), 2);
    EXPECT_EQ(body.currentImage(), body.stack().i1().at(2));
    EXPECT_TRUE(child<QLineEdit>("ImgNo")->toolTip().endsWith("s_07020_0000.img"));
    EXPECT_DOUBLE_EQ(body.xafsView()->markerEnergy(), 7020);

    // Prev and Next walk the shown series' list.
    i1Panel->select(1);
    QTest::mouseClick(child<QPushButton>("Next"), Qt::LeftButton);
    EXPECT_EQ(body.currentImageIndex(), 2);
    QTest::mouseClick(child<QPushButton>("Prev"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("Prev"), Qt::LeftButton);
    EXPECT_EQ(body.currentImageIndex(), 0);

    // Showing I0 displays the I0 image of the list's current entry.
    i0Panel->select(1);
    child<QRadioButton>("ShowI0")->setChecked(true);
    EXPECT_EQ(body.currentImage(), body.stack().i0().at(1));

    // The read-out under the mouse is the raw pixel.
    child<ImgDispA>("dispA")->setImageMousePos(3, 4);
    EXPECT_EQ(child<QLabel>("Value")->text(), QString::number(i0Pixel(1, 3, 4), 'g', 4));

    // An index outside the series changes the number only.
    const TiffData *before = body.currentImage();
    body.seekImage(-1);
    EXPECT_EQ(child<QLineEdit>("ImgNo")->text(), "-1");
    EXPECT_EQ(body.currentImage(), before);
}

// Leaving a map for either series shows that series' image again.
TEST_F(BodyTest, SeriesImageReturnsAfterTheShiftMap) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 2, false)));
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 2, true)));
    body.shiftMap()->prepare(AnalyzeCond(W, H, 0, 0, 0, 0, W, H));
    body.setShiftMapValid(true);
    auto *dispA = child<ImgDispA>("dispA");
    for (const char *series : {"ShowI0", "ShowData"}) {
        child<QRadioButton>("ShowShiftMap")->setChecked(true);
        EXPECT_TRUE(dispA->resultMode());
        child<QRadioButton>(series)->setChecked(true);
        EXPECT_FALSE(dispA->resultMode()) << series;
    }
}

// The texts around the image: selected-area box, shift from the map, the
// profiles under the mouse, the map dump and the colour-bar commands' log.
TEST_F(BodyTest, StatusTextsProfilesAndDiagnostics) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 3, false)));
    setText("HWidth", "0");
    setText("VWidth", "0");
    auto *dispA = child<ImgDispA>("dispA");
    dispA->setSelectedArea(2, 3, 7, 5);
    body.grab();
    EXPECT_EQ(child<QLabel>("BoxSize")->text(), "(   2,    3)-(   7,    5)");

    Analyzed2DRes *map = body.shiftMap();
    map->prepare(AnalyzeCond(W, H, 0, 0, 0, 0, W, H));
    map->setData(4, 3, 0, 0, 1.5);
    body.setShiftMapValid(true);
    body.showXafsSpectrum(4, 3);
    EXPECT_EQ(child<QLabel>("EShiftOnTbl")->text(), " 1.500");

    // Row profile: bins of half-width 1 and half-height VWidth, as ln(1/I1)
    // without I0 images; column profile: raw I0 pixels once I0 is shown.
    dispA->setImageMousePos(5, 2);
    const auto *hCross = child<CrossSView>("HCross");
    ASSERT_EQ(hCross->profile().count(), W);
    const double s = binSum([](int x, int y) { return i1Pixel(0, x, y); }, 7, 2, 1, 0);
    EXPECT_NEAR(hCross->profile().y(7), std::log(1.0 / s), 1e-12);
    EXPECT_EQ(child<CrossSView>("VCross")->profile().count(), H);

    DebugLog::Capture log;
    body.showAnalyzedVals();
    ASSERT_GE(log.lines().size(), 1 + W * H);
    EXPECT_EQ(log.lines().first(), "vals of a2d esm");
    EXPECT_TRUE(log.contains("   4    3        1.500000        0.000000"));
    ASSERT_TRUE(runBatch({"cbar_set_range 10 250.5", "cbar_set_all"}, "cbar"));
    EXPECT_TRUE(log.contains("setting cbar 10 250.5"));
    EXPECT_TRUE(log.contains("cbar set all"));
}

TEST_F(BodyTest, SuggestedEdgeEnergyFollowsElementAndEdge) {
    setText("SuggestingElm", "Fe");
    EXPECT_NEAR(child<QLineEdit>("SuggestingEeV")->text().toDouble(), 7112, 2);
    child<QComboBox>("SuggestingEdge")->setCurrentIndex(3);
    EXPECT_LT(child<QLineEdit>("SuggestingEeV")->text().toDouble(), 1000);
    // An unknown symbol leaves the energy as it is.
    child<QLineEdit>("SuggestingEeV")->setText("1234");
    setText("SuggestingElm", "Xx");
    EXPECT_EQ(child<QLineEdit>("SuggestingEeV")->text(), "1234");
    EXPECT_EQ(body.suggestElm().Z, -1);
}

TEST_F(BodyTest, BatchLoadsInNameOrderAndEmptyLoadsComplete) {
    const QStringList files = writeSeries("s", 3, false);
    const QString folder = dir.path() + "/";
    ASSERT_TRUE(runBatch({"load_i1_files_of_pattern NEW " + folder + " s_*.img"}, "loaded"));
    ASSERT_EQ(body.stack().i1().size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(body.stack().i1().at(i)->fileName(), files.at(i));

    // NEW without files changes nothing; a pattern without a match adds
    // nothing, and with NEW it replaces the series by none, so that nothing
    // of the old series is taken for the new one. Neither holds the batch up,
    // and each is answered once.
    QSignalSpy done(&body, &Body::finishBatchExec);
    ASSERT_TRUE(runBatch({"LOAD_I1_FILES NEW", "load_I1_files",
                          "load_I1_files_of_pattern add " + folder + " none_*.tif"},
                         "empty"));
    EXPECT_EQ(body.stack().i1().size(), 3);
    ASSERT_TRUE(runBatch({"load_I1_files_of_pattern NEW " + folder + " none_*.tif"}, "none"));
    EXPECT_TRUE(body.stack().i1().isEmpty());
    QTest::qWait(50);
    int loadAnswers = 0;
    for (const QList<QVariant> &answer : done)
        loadAnswers += answer.at(0).toInt() == LOAD_I1_FILES;
    EXPECT_EQ(loadAnswers, 4);

    // Fields set by commands.
    ASSERT_TRUE(runBatch({"cut_f_i1 abc", "skip_i0 3", "show_latest_i1 2", "Use_I0 1",
                          "set_band_w 2", "set_band_h 3", "select_disp_image 1"},
                         "fields"));
    EXPECT_EQ(i1Panel->cutFirst(), 0);
    EXPECT_EQ(i0Panel->skip(), 3);
    EXPECT_FALSE(i1Panel->showLatest());
    EXPECT_TRUE(child<QCheckBox>("UseI0")->isChecked());
    EXPECT_EQ(child<QLineEdit>("HWidth")->text(), "2");
    EXPECT_EQ(child<QLineEdit>("VWidth")->text(), "3");
    EXPECT_TRUE(child<QRadioButton>("ShowI0")->isChecked());
}

// A load whose files are all cut away still passes through the loader,
// which answers it: a second answer from the window would be taken by the
// dispatcher as the completion of the line after it.
TEST_F(BodyTest, ALoadCutAwayCompletesExactlyOnce) {
    const QStringList files = writeSeries("s", 2, false);
    QSignalSpy done(&body, &Body::finishBatchExec);
    ASSERT_TRUE(runBatch({"cut_f_i1 5", "load_I1_files NEW " + files.join(' ')}, "cut"));
    QTest::qWait(50);
    int loadAnswers = 0;
    for (const QList<QVariant> &answer : done)
        loadAnswers += answer.at(0).toInt() == LOAD_I1_FILES;
    EXPECT_EQ(loadAnswers, 1);
    EXPECT_TRUE(body.stack().i1().isEmpty());
}

TEST_F(BodyTest, DisplayAndSuggestionCommandsCompleteWithAndWithoutImages) {
    const QStringList lines{"select_region 10 20 110 70",
                            "set_i1_dark_area",
                            "select_region 1 2 3 4",
                            "cbar_set_range 0 100",
                            "cbar_set_all",
                            "zoom_in",
                            "scale_reset",
                            "xafs_view_normalize 0",
                            "xafs_view_enerugy_correction 1",
                            "select_disp_image 2",
                            "select_disp_image 7",
                            "Suggest_Elm 1",
                            "Suggesting_Elm Fe",
                            "Suggesting_Edge 9",
                            "Suggesting_Pre_End_eV -30",
                            "Suggesting_Post_Start_eV 40",
                            "seek_image 1",
                            "clear_i1_dark_area"};
    ASSERT_TRUE(runBatch(lines, "empty"));
    EXPECT_EQ(i1Panel->findChild<QLabel *>("DarkArea")->text(), "(10,20)-(110,70)");
    EXPECT_EQ(child<ImgDispA>("dispA")->selectedArea(), QRectF(1, 2, 2, 2));
    EXPECT_TRUE(child<QRadioButton>("ShowShiftMap")->isChecked());
    EXPECT_FALSE(body.xafsView()->findChild<QCheckBox *>("Normalized")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("UseSuggestElm")->isChecked());
    EXPECT_NEAR(child<QLineEdit>("SuggestingEeV")->text().toDouble(), 7112, 2);
    EXPECT_EQ(child<QComboBox>("SuggestingEdge")->currentIndex(), 0);
    const SuggestElm sugg = body.suggestElm();
    EXPECT_DOUBLE_EQ(sugg.dPreE, -30);
    EXPECT_DOUBLE_EQ(sugg.dPostS, 40);

    // The same with a series shown.
    writeSeries("s", 3, false);
    ASSERT_TRUE(runBatch(QStringList{"load_I1_files_of_pattern NEW " + dir.path() + "/ s_*"} +
                             lines + QStringList{"select_disp_image 0", "seek_image 1"},
                         "loaded"));
    EXPECT_EQ(body.currentImageIndex(), 1);
    QTest::mouseClick(child<QPushButton>("CBarAll"), Qt::LeftButton);
    EXPECT_FALSE(child<ImgDispA>("dispA")->shownPicture().isNull());
}

TEST_F(BodyTest, BatchMovesExactlyAndSavesSpectraAndPictures) {
    writeSeries("s", 3, false);
    // A display much smaller than the image: every screen pixel spans
    // several image pixels, so a round trip through the screen would move
    // the point.
    child<ImgDispA>("dispA")->setFixedSize(5, 4);
    const QString out = dir.filePath("out/pt.dat");
    QDir().mkpath(dir.filePath("out"));
    ASSERT_TRUE(runBatch({"load_I1_files_of_pattern NEW " + dir.path() + "/ s_*.img",
                          "set_band_w 0", "set_band_h 0", "move_position 7 5",
                          "save_spectra " + out, "save_image " + dir.filePath("out/pic.png"),
                          "save_image_w_num " + dir.filePath("out/pic.png") + " 3"},
                         "saved"));
    EXPECT_EQ(body.currentPoint(), QPoint(7, 5));
    EXPECT_NEAR(shown().y(0), std::log(1.0 / i1Pixel(0, 7, 5)), 1e-12);
    EXPECT_TRUE(QFile::exists(dir.filePath("out/pt-T.dat")));
    for (const char *name :
         {"out/pic.png", "out/pic-cBar.png", "out/pic-3.png", "out/pic-3-cBar.png"})
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name;
}

TEST_F(BodyTest, FlatDarkNeedsAnImageSize) {
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    body.saveFlatDark();
    EXPECT_FALSE(QFile::exists("flat.dat"));
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 1, false)));
    body.saveFlatDark();
    TiffData flat;
    EXPECT_TRUE(flat.load(dir.filePath("flat.dat")));
    EXPECT_EQ(flat.width(), W);
    EXPECT_TRUE(QFile::exists("dark.dat"));
    QDir::setCurrent(old);
}

TEST(XafsFileSelectTest, ChoosingAndClearing) {
    XafsFileSelect select;
    QSignalSpy chosen(&select, &XafsFileSelect::newFile);
    QSignalSpy cleared(&select, &XafsFileSelect::cleared);
    select.fileSelected("/data/refs/ref.dat");
    EXPECT_TRUE(select.isLoaded());
    EXPECT_EQ(select.fileName(), "/data/refs/ref.dat");
    // The name tells references apart; the path is the tool tip.
    EXPECT_EQ(select.findChild<QLineEdit *>("Selected")->text(), "ref.dat");
    EXPECT_EQ(select.findChild<QLineEdit *>("Selected")->toolTip(), "/data/refs/ref.dat");
    ASSERT_EQ(chosen.size(), 1);
    QTest::mouseClick(select.findChild<QPushButton *>("Clear"), Qt::LeftButton);
    EXPECT_FALSE(select.isLoaded());
    EXPECT_EQ(cleared.size(), 1);
    select.setUse(true);
    EXPECT_TRUE(select.isUse());
}

// An I1 load from an HDF5 stack takes the stack's dark when no dark is set or
// only one from an earlier stack, through the panel and the batch (answered
// once); a chosen dark stays, and a stack without a dark changes nothing.
TEST_F(BodyTest, StackDarkTakenUnlessADarkWasChosen) {
    // Three images and, with darkOffset >= 0, a dark of darkPixel + offset.
    const auto writeStack = [&](const QString &name, int darkOffset) {
        std::vector<std::vector<quint16>> frames(4, std::vector<quint16>(W * H));
        for (int k = 0; k < 4; ++k)
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    frames[k][size_t(y * W + x)] =
                        quint16(k < 3 ? i1Pixel(k, x, y) : darkPixel(x, y) + darkOffset);
        const auto frame = [&](int k) { return frames[size_t(k)].data(); };
        Hdf5Writer h5(dir.filePath(name));
        bool ok = h5.writeFrames("/stack/images", Hdf5Writer::UInt16, 3, H, W, 0, frame) &&
                  h5.writeDoubles("/stack/energy", {7000, 7010, 7020}, "eV") &&
                  h5.writeAttribute("/stack/images", "exposure_ms", 100);
        if (darkOffset >= 0)
            ok = ok && h5.writeFrames("/stack/dark", Hdf5Writer::UInt16, 1, H, W, 0,
                                      [&](int) { return frame(3); });
        EXPECT_TRUE(ok && h5.commit()) << h5.error().toStdString();
        return dir.filePath(name);
    };
    const QString layout = TestSupport::writeFile(
        dir, "layout.ini",
        "[stack]\nimages = /stack/images\nenergies = /stack/energy\nenergy_unit = eV\n"
        "dark = ?/stack/dark\nexposure = /stack/images@exposure_ms\n");
    const QString chosen = TestSupport::writeFile(dir, "dark.img", imgFile(darkPixel, "0.05"));
    const struct {
        const char *stack;
        int darkOffset;
        bool chooseDark;
        bool clearDark;
        const char *darkName;
        int darkValueOffset;
    } steps[] = {
        {"scan.h5", 0, false, false, "scan.h5", 0},   // none set: taken
        {"next.h5", 7, false, false, "next.h5", 7},   // one from a stack gives way
        {"plain.h5", -1, false, false, "next.h5", 7}, // no dark in the stack
        {"scan.h5", 0, true, false, "dark.img", 0},   // a chosen dark stays
        {"scan.h5", 0, false, true, "scan.h5", 0},    // cleared: taken again
    };
    bool first = true;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.darkName);
        const QString file = writeStack(step.stack, step.darkOffset);
        if (step.chooseDark)
            body.selectedDark(chosen);
        if (step.clearDark)
            body.clearDark();
        DebugLog::Capture log;
        QSignalSpy done(&body, &Body::finishBatchExec);
        if (first) // the panel's own layout (generic)
            ASSERT_TRUE(load(i1Panel, {file}));
        else
            ASSERT_TRUE(runBatch({"load_I1_files NEW " + file + " " + layout}, "loaded"));
        first = false;
        QTest::qWait(50);
        int loadAnswers = 0;
        for (const QList<QVariant> &answer : done)
            loadAnswers += answer.at(0).toInt() == LOAD_I1_FILES;
        EXPECT_EQ(loadAnswers, 1);
        ASSERT_EQ(body.stack().i1().size(), 3);
        ASSERT_TRUE(body.stack().dark());
        EXPECT_DOUBLE_EQ(body.stack().dark()->value(3, 4), darkPixel(3, 4) + step.darkValueOffset);
        EXPECT_EQ(child<QLabel>("DarkFileName")->text().toStdString(), step.darkName);
        const bool taken = step.darkName == QString(step.stack);
        EXPECT_EQ(child<QLineEdit>("DarkExpTime")->text().toStdString(),
                  step.chooseDark ? "50" : "100");
        EXPECT_EQ(log.contains("Dark image taken from " + file + ":/stack/dark"), taken);
    }
}

} // namespace

// A long load while the user keeps moving over the image and stepping through
// it: the loader hands over one file per event, so the window serves the mouse
// between files, and the series still ends complete and in order.
TEST_F(BodyTest, MouseAndNavigationWhileTwoHundredFilesLoad) {
    const QStringList files = writeSeries("m", 200, false);
    QSignalSpy done(&body, &Body::finishBatchExec);
    emit i1Panel->filesSelected(files, true);
    auto *disp = child<ImgDispA>("dispA");
    ASSERT_NE(disp, nullptr);
    int moves = 0;
    while (done.isEmpty() && moves < 100000) {
        QTest::mouseMove(disp, QPoint(5 + moves % 60, 5 + moves % 40));
        if (moves % 7 == 0)
            QTest::mouseClick(child<QPushButton>("Next"), Qt::LeftButton);
        QCoreApplication::processEvents();
        ++moves;
    }
    ASSERT_EQ(done.size(), 1);
    // Whether any image arrives between two mouse events depends on how fast
    // the machine reads; what must hold is that the events were served and
    // the series is complete and in order.
    EXPECT_GT(moves, 0);
    const auto &images = body.stack().i1();
    ASSERT_EQ(images.size(), 200);
    for (int k = 0; k < images.size(); ++k)
        EXPECT_EQ(images.at(k)->fileName(), files.at(k));
    EXPECT_EQ(child<QComboBox>("Selected")->count(), 200);
}

// Loads that need saying: an image of another size in a series (it would read
// 0 outside its size), and a series that will not fit in memory. Both load on;
// the warning names the file, in the status bar and the batch log.
TEST_F(BodyTest, LoadWarningsInTheStatusBarAndTheBatchLog) {
    QStringList files = writeSeries("s", 2, false);
    QByteArray small = imgFile([](int, int) { return 5.0; }, "0.1");
    small[4] = char(W - 2); // width in the header; the samples run short, which is fine
    small.truncate(64 + int(uchar(small[2])) + (W - 2) * H * 2);
    files.insert(1, TestSupport::writeFile(dir, "s_07005_0000.img", small));
    ASSERT_TRUE(load(i1Panel, files));
    EXPECT_EQ(body.stack().i1().size(), 3);
    const QString status = body.statusBar()->currentMessage();
    EXPECT_TRUE(status.contains("s_07005_0000.img is 10 x 9 pixels, not 12 x 9"))
        << status.toStdString();
    EXPECT_TRUE(body.batchCtrl()->logText().contains("Warn: "))
        << body.batchCtrl()->logText().toStdString();

    // 64k x 64k samples of 4 bytes claimed by a bare header, twenty times.
    QByteArray huge(64, '\0');
    const QByteArray comment = "BytesPerPixel=4";
    huge[0] = 'I';
    huge[1] = 'M';
    huge[2] = char(comment.size());
    huge[4] = huge[5] = huge[6] = huge[7] = char(0xff);
    const QString hugeFile = TestSupport::writeFile(dir, "huge.img", huge + comment);
    ASSERT_TRUE(
        load(i0Panel, QStringList() << hugeFile << QVector<QString>(19, hugeFile).toList()));
    EXPECT_TRUE(newMessages().contains("20 images like " + hugeFile));
}

// A load that yields no image leaves the loaded series as it was and says which
// files were refused and why; one that reads some files lists those it skipped.
TEST_F(BodyTest, BadLoadsKeepTheLoadedSeriesAndNameEveryFileSkipped) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 4, false)));
    newMessages();
    const QString textAsTif = TestSupport::writeFile(dir, "notes.tif", "not an image at all\n");
    const QString spectrum =
        TestSupport::writeFile(dir, "foil.dat", "# E mu\n7000 0.1\n7010 0.2\n7020 1.1\n");
    for (const QString &bad : {textAsTif, spectrum}) {
        ASSERT_TRUE(load(i1Panel, {bad}));
        EXPECT_EQ(body.stack().i1().size(), 4) << qPrintable(bad);
        EXPECT_EQ(child<QComboBox>("Selected")->count(), 4);
        EXPECT_NE(body.currentImage(), nullptr);
        const QString said = newMessages();
        EXPECT_TRUE(said.contains("Refused: I1: no readable image in the files chosen; the 4 "
                                  "images loaded before are kept. " +
                                  QFileInfo(bad).fileName() + ": "))
            << said.toStdString();
    }
    // A dark frame and two spectra chosen together: the image is loaded, the
    // spectra are named.
    const QString dark = TestSupport::writeFile(dir, "dark.img", imgFile(darkPixel, "0.1"));
    const QString other = TestSupport::writeFile(dir, "ref.dat", "7000 1\n7010 2\n");
    ASSERT_TRUE(load(i1Panel, {dark, spectrum, other}));
    EXPECT_EQ(body.stack().i1().size(), 1);
    const QString said = newMessages();
    EXPECT_TRUE(said.contains("I1: 2 file(s) skipped: foil.dat: ")) << said.toStdString();
    EXPECT_TRUE(said.contains("; ref.dat: "));
    EXPECT_TRUE(said.contains("I1: dark.img gets 0 eV, below 100 eV")) << said.toStdString();
    EXPECT_EQ(body.statusBar()->currentMessage().isEmpty(), false);
    EXPECT_TRUE(body.batchCtrl()->logText().contains("Warn: I1: 2 file(s) skipped"));
}

// A dark frame belongs to the series it was chosen for: a new series says it
// stays. A dark file that cannot be read leaves the one in use.
TEST_F(BodyTest, DarkFrameOfThePreviousSeriesIsNamedAndNeverLostToABadFile) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 2, false)));
    body.selectedDark(TestSupport::writeFile(dir, "dark.img", imgFile(darkPixel, "0.1")));
    const TiffData *dark = body.stack().dark();
    ASSERT_NE(dark, nullptr);
    body.selectedDark(dir.filePath("missing.img"));
    EXPECT_EQ(body.stack().dark(), dark);
    EXPECT_EQ(child<QLabel>("DarkFileName")->text(), "dark.img");
    EXPECT_TRUE(newMessages().contains("Refused: Dark frame not loaded from missing.img"));
    ASSERT_TRUE(load(i1Panel, writeSeries("t", 2, false)));
    EXPECT_EQ(body.stack().dark(), dark);
    EXPECT_TRUE(newMessages().contains("the dark frame dark.img of the previous series stays"));
}

// I0 covering less than I1: the I1 energies outside are named and left out
// of the spectra.
TEST_F(BodyTest, I0CoveringLessThanI1IsNamedAndItsGapLeftOut) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 4, false)));
    ASSERT_TRUE(load(i0Panel, writeSeries("r", 2, true)));
    child<QCheckBox>("UseI0")->setChecked(true);
    EXPECT_TRUE(newMessages().contains("I0 covers 7000.00 eV to 7010.00 eV only: 2 of the 4 I1 "
                                       "energies lie outside it"));
    body.showXafsSpectrum(5, 6);
    ASSERT_EQ(shown().count(), 2);
    EXPECT_DOUBLE_EQ(shown().x(1), 7010);
}

// Edits typed into fields are undone and redone from the Edit menu, each
// undo finishing the edit again (the bin follows); a batch's change to a
// field is no step of its own.
TEST_F(BodyTest, UndoAndRedoOfFieldEdits) {
    const auto action = [&](const char *name) { return body.findChild<QAction *>(name); };
    auto *bin = child<QLineEdit>("HWidth");
    auto *range = body.analyzer()->findChild<QLineEdit *>("LCFRange1");
    auto *fixed = body.analyzer()->findChild<QCheckBox *>("FixedScale");
    const QString bin0 = bin->text(), range0 = range->text();
    const auto type = [](QLineEdit *f, const QString &text) {
        f->selectAll();
        QTest::keyClicks(f, text);
        emit f->editingFinished();
    };
    type(bin, "3");
    type(range, "7050");
    fixed->click();
    ASSERT_TRUE(runBatch({"set_band_w 4"}, "batch"));
    EXPECT_EQ(bin->text(), "4");
    const struct {
        const char *action;
        QString bin, range;
        bool fixed;
    } steps[] = {{"Undo", "4", "7050", false},  {"Undo", "4", range0, false},
                 {"Undo", bin0, range0, false}, {"Redo", "3", range0, false},
                 {"Redo", "3", "7050", false},  {"Redo", "3", "7050", true}};
    for (const auto &s : steps) {
        action(s.action)->trigger();
        EXPECT_EQ(bin->text(), s.bin) << s.action;
        EXPECT_EQ(range->text(), s.range) << s.action;
        EXPECT_EQ(fixed->isChecked(), s.fixed) << s.action;
    }
    EXPECT_EQ(body.muTConditions().hx, 3); // the bin followed the redo
    EXPECT_FALSE(action("Redo")->isEnabled());
}

// The menu bar's keys step through the images: by one with Left/Right, by
// ten with Page Up/Down, stopping at the ends.
TEST_F(BodyTest, MenuKeysStepThroughTheImages) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 12, false)));
    const auto press = [this](int key) {
        for (QAction *a : body.menuBar()->findChildren<QAction *>())
            if (a->shortcut() == QKeySequence(key)) {
                a->trigger();
                return true;
            }
        return false;
    };
    const struct {
        int key;
        int index;
    } steps[] = {{Qt::Key_PageDown, 10}, {Qt::Key_Right, 11}, {Qt::Key_Right, 11},
                 {Qt::Key_Left, 10},     {Qt::Key_PageUp, 0}, {Qt::Key_PageDown, 10}};
    for (const auto &s : steps) {
        ASSERT_TRUE(press(s.key)) << s.key;
        EXPECT_EQ(body.currentImageIndex(), s.index) << s.key;
    }
    EXPECT_EQ(child<QComboBox>("Selected")->currentIndex(), 10);
}

// Shift files by batch: saved as the images stand, cleared, and loaded back;
// decimals are kept (the readers interpolate); a bad file keeps the shifts.
TEST_F(BodyTest, ShiftFilesSaveClearAndLoad) {
    ASSERT_TRUE(load(i1Panel, writeSeries("s", 3, false)));
    const QString in = TestSupport::writeFile(dir, "in.txt", "0 0 0 1\n1 2.4 -1.6 0.9\n7 1 1 1\n");
    const QString out = dir.filePath("out.txt");
    ASSERT_TRUE(runBatch({"load_shifts " + in, "save_shifts " + out}, "saved"));
    const TiffData *second = body.stack().i1().at(1);
    EXPECT_EQ(QPointF(second->shiftDX(), second->shiftDY()), QPointF(2.4, -1.6));
    EXPECT_EQ(QPoint(second->shiftX(), second->shiftY()), QPoint(2, -2));
    EXPECT_TRUE(newMessages().contains("2 shifts loaded from in.txt; 1 for images the series does "
                                       "not have, left out"));
    QVector<Registration::ShiftEntry> saved;
    QString why;
    ASSERT_TRUE(Registration::readShiftFile(out, saved, &why)) << qPrintable(why);
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[1].dx, 2.4);
    EXPECT_EQ(saved[1].dy, -1.6);

    ASSERT_TRUE(runBatch({"clear_shifts", "load_shifts " + dir.filePath("none.txt")}, "cleared"));
    EXPECT_EQ(QPoint(second->shiftX(), second->shiftY()), QPoint(0, 0));
    EXPECT_TRUE(newMessages().contains("Refused: Shifts not loaded from none.txt"));
    ASSERT_TRUE(runBatch({"load_shifts " + out}, "back"));
    EXPECT_EQ(QPointF(second->shiftDX(), second->shiftDY()), QPointF(2.4, -1.6));
}
