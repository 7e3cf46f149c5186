// The image processor and the second analysis panel in the real main window:
// a drifted series aligned by stepping through it with A. A. Shift and
// A. Set Shift, its mu*t against the undrifted stack, Clear All Shifts, the
// dark check in the working folder, the mask switch and "Collect Q Info".
#include "analysis/DarkCheck.h"
#include "analysis/widgets/Analyzer2.h"
#include "analysis/widgets/ImgProc.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "display/widgets/SpectrumView.h"
#include "imageio/ErrPoints.h"
#include "imageio/TiffData.h"
#include "mainwindow/widgets/Body.h"
#include "support/DriftSeries.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

template <typename T> T *child(QWidget *w, const char *name) {
    T *c = w->findChild<T *>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// Loads the series as the loader would hand it over, image by image.
void loadSeries(Body &body, const DriftSeries::Options &o, const QVector<QPoint> &drifts) {
    for (int i = 0; i < drifts.size(); ++i)
        body.loaded(Series::I1, DriftSeries::image(o, drifts[i], i).release(), i);
    body.finishedLoad(Series::I1);
}

} // namespace

TEST(Registration, SteppingWithAutoShiftAlignsTheSeries) {
    DriftSeries::Options o;
    o.absorption = 0.05;
    const QVector<QPoint> d = DriftSeries::drifts();
    Body body;
    body.show();
    loadSeries(body, o, d);
    ImgProc *proc = body.imgProc();
    child<QCheckBox>(proc, "EdgeDetect")->setChecked(true);
    child<QCheckBox>(proc, "BinaryImage")->setChecked(true);
    child<QSlider>(proc, "BinThVSlider")->setValue(300);
    body.showData(0);
    child<QPushButton>(proc, "SetRef")->click();
    EXPECT_DOUBLE_EQ(proc->score(), 1.0); // the reference against itself
    EXPECT_EQ(child<QLineEdit>(proc, "NormScolarP")->text(), "1");
    child<QCheckBox>(proc, "AAutoShift")->setChecked(true);
    child<QCheckBox>(proc, "ASetShift")->setChecked(true);
    for (int i = 1; i < d.size(); ++i)
        body.showData(i);
    const QVector<TiffData *> &images = body.stack().i1();
    for (int i = 0; i < d.size(); ++i)
        EXPECT_EQ(QPoint(images[i]->shiftX(), images[i]->shiftY()), -d[i]) << i;

    // Revisiting an aligned image keeps its shift.
    body.showData(3);
    EXPECT_EQ(QPoint(images[3]->shiftX(), images[3]->shiftY()), -d[3]);

    // mu*t at an inner point matches the stack that never drifted.
    MeasurementStack still;
    for (int i = 0; i < d.size(); ++i)
        still.append(Series::I1, DriftSeries::image(o, d[0], i, images[i]->energy()).release());
    still.takeGeometryFromFirstI1();
    body.showXafsSpectrum(45, 40);
    Spectrum want;
    still.buildMuT(45, 40, body.muTConditions(), want);
    const XafsSpectrum &got = body.xafsView()->target();
    ASSERT_EQ(got.count(), want.count());
    for (int i = 0; i < want.count(); ++i)
        EXPECT_DOUBLE_EQ(got.y(i), want.y(i)) << i;

    // Clear All Shifts: every I1 image, not the I0 series.
    body.loaded(Series::I0, DriftSeries::image(o, {0, 0}, 0).release(), 0);
    body.finishedLoad(Series::I0);
    ASSERT_TRUE(body.stack().setImageShift(Series::I0, 0, 2, -1));
    child<QCheckBox>(proc, "ASetShift")->setChecked(false);
    child<QPushButton>(proc, "ClearAllShifts")->click();
    for (const TiffData *image : images)
        EXPECT_EQ(QPoint(image->shiftX(), image->shiftY()), QPoint(0, 0));
    EXPECT_EQ(body.stack().i0()[0]->shiftX(), 2);

    // Set Shift applies the trial shift to the shown image.
    child<QLineEdit>(proc, "ShiftX")->setText("7");
    child<QLineEdit>(proc, "ShiftY")->setText("-2");
    child<QPushButton>(proc, "SetShift")->click();
    EXPECT_EQ(QPoint(images[3]->shiftX(), images[3]->shiftY()), QPoint(7, -2));
    body.clearFiles(Series::I1); // the processor lets go of the image
    EXPECT_EQ(proc->image(), nullptr);
}

TEST(Registration, ProcessorMessagesAndThreshold) {
    ImgProc proc;
    DebugLog::Capture log;
    proc.drawOnImage(); // Compare is on by default
    EXPECT_TRUE(log.contains("no bin image"));
    auto a = DriftSeries::image({}, {0, 0}, 0);
    child<QCheckBox>(&proc, "EdgeDetect")->setChecked(true);
    child<QCheckBox>(&proc, "BinaryImage")->setChecked(true);
    proc.newImage(a.get());
    EXPECT_TRUE(log.contains("no ref bin image"));
    proc.setRefBin();
    DriftSeries::Options small;
    small.width = 50;
    auto b = DriftSeries::image(small, {0, 0}, 0);
    proc.newImage(b.get());
    EXPECT_TRUE(log.contains("size mis-match"));
    // Threshold edit -> slider, slider -> threshold.
    auto *th = child<QLineEdit>(&proc, "BinThV");
    auto *slider = child<QSlider>(&proc, "BinThVSlider");
    const double lo = proc.edgeImage().min, hi = proc.edgeImage().max;
    th->setText(QString::number(lo + (hi - lo) * 0.25));
    emit th->editingFinished();
    EXPECT_EQ(slider->value(), 250);
    slider->setValue(999);
    EXPECT_EQ(th->text(), QString::number(lo + (hi - lo) * 0.999, 'g', 6));
    slider->setValue(0);
    EXPECT_EQ(th->text(), QString::number(lo, 'g', 6));
    proc.newImage(nullptr); // none: an empty edge image
    EXPECT_TRUE(proc.edgeImage().isEmpty());
}

TEST(Registration, Analyzer2DarkCheckAndSwitches) {
    AppSettings::setShowAnalyzer2Button(false);
    {
        Body hidden;
        EXPECT_TRUE(hidden.findChild<QPushButton *>("ShowAnalyzer2")->isHidden());
    }
    AppSettings::setShowAnalyzer2Button(true);
    Body body;
    AppSettings::setShowAnalyzer2Button(false);
    EXPECT_FALSE(body.findChild<QPushButton *>("ShowAnalyzer2")->isHidden());
    Analyzer2 *panel = body.analyzer2();

    DebugLog::Capture log;
    child<QPushButton>(panel, "CollectQInfo")->click();
    EXPECT_TRUE(log.contains("do collect Q Info"));

    QTemporaryDir dir;
    const QString saved = QDir::currentPath();
    QDir::setCurrent(dir.path());
    child<QPushButton>(panel, "DarkCheck")->click(); // no images: nothing
    EXPECT_FALSE(body.darkCheckRun()->isRunning());
    DriftSeries::Options o;
    loadSeries(body, o, {{0, 0}, {0, 0}, {1, 0}});
    child<QLineEdit>(panel, "HistgBins")->setText("0");
    child<QPushButton>(panel, "DarkCheck")->click();
    EXPECT_TRUE(log.contains("bins must be at least 1"));
    child<QLineEdit>(panel, "HistgBins")->setText("100");
    child<QLineEdit>(panel, "DarkTh")->setText("2500"); // the features only
    child<QPushButton>(panel, "DarkCheck")->click();
    ASSERT_TRUE(TestSupport::waitUntil([&] {
        return !body.darkCheckRun()->isRunning() &&
               child<QPushButton>(panel, "DarkCheck")->isEnabled();
    }));
    QDir::setCurrent(saved);
    EXPECT_TRUE(QFile::exists(dir.filePath("dark-hg-all.dat")));
    EXPECT_TRUE(QFile::exists(dir.filePath("dark-allDarkPointNums.dat")));
    const DarkCheckRun::Report &r = body.darkCheckRun()->report();
    ASSERT_EQ(r.result.counts.size(), 3);
    EXPECT_GT(r.result.counts[1], r.result.counts[2]); // the drift moved some off

    // The mask switch drives the process-wide mask's use flag.
    const ErrPoints savedMask = ErrPoints::processWide();
    auto *use = child<QCheckBox>(panel, "UseErrPMask");
    EXPECT_FALSE(use->isEnabled()); // no mask configured
    panel->setUseErrPMaskEnabled(true);
    use->setChecked(true);
    EXPECT_TRUE(ErrPoints::processWide().use());
    use->setChecked(false);
    EXPECT_FALSE(ErrPoints::processWide().use());
    ErrPoints::setProcessWide(savedMask);
}

// Every control of the processor says what it does; its shift-file buttons
// load and save the series' shifts through their dialogs.
TEST(Registration, ProcessorControlsExplainThemselvesAndShiftFilesGoThroughTheDialogs) {
    Body body;
    ImgProc *proc = body.imgProc();
    for (QWidget *w : proc->findChildren<QWidget *>())
        if (w->window() == proc->window() &&
            (qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w) ||
             qobject_cast<QComboBox *>(w) || qobject_cast<QProgressBar *>(w) ||
             w->objectName() == "AlignPlot"))
            EXPECT_FALSE(w->toolTip().isEmpty()) << w->objectName().toStdString();
    DriftSeries::Options o;
    loadSeries(body, o, {QPoint(0, 0), QPoint(0, 0)});
    QTemporaryDir dir;
    const QString in = TestSupport::writeFile(dir, "in.txt", "1 -3 2 0.8\n");
    child<QPushButton>(proc, "LoadShifts")->click();
    QFileDialog *open = nullptr;
    for (QFileDialog *d : proc->findChildren<QFileDialog *>())
        if (d->isVisible())
            open = d;
    ASSERT_NE(open, nullptr);
    emit open->fileSelected(in);
    open->hide();
    EXPECT_EQ(body.stack().i1().at(1)->shiftX(), -3);
    EXPECT_EQ(body.stack().i1().at(1)->shiftY(), 2);
    emit proc->shiftFileToSaveChosen(dir.filePath("out.txt"));
    EXPECT_TRUE(QFile::exists(dir.filePath("out.txt")));
}
