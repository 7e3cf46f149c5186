// Align Series of the image processor in the real main window: a series that
// drifts across an absorption edge aligned through the button in the
// background, its plot with a suspect image, the processor's preview and
// Shift X / Y on the aligned images, Stop and Clear All Shifts; the batch
// command align_series and its refusals.
#include "analysis/SeriesAlignRun.h"
#include "analysis/widgets/AlignPlotView.h"
#include "analysis/widgets/ImgProc.h"
#include "display/widgets/ColorBar.h"
#include "display/widgets/ImgDispA.h"
#include "gui/mainwindow/BodyBatchRun.h"
#include "imageio/TiffData.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/MessagesWindow.h"
#include "support/DriftSeries.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <gtest/gtest.h>

namespace {

class AlignSeriesTest : public ::testing::Test {
protected:
    static constexpr int Images = 12;
    static constexpr int Blank = 9; // a frame without the sample: no match

    void SetUp() override {
        DriftSeries::EdgeOptions o;
        o.images = Images;
        o.noise = 60;
        o.bAbove = 0.3; // contrast that changes across the edge without reversing
        drift = DriftSeries::edgeDrifts(Images, true);
        DriftSeries::Options flat;
        flat.contrast = 0;
        flat.noise = 20; // less spread than the sample's frames: never the auto reference
        for (int i = 0; i < Images; ++i) {
            TiffData *image = i == Blank ? DriftSeries::image(flat, {}, i).release()
                                         : DriftSeries::edgeImage(o, drift[i], i).release();
            body.loaded(Series::I1, image, i);
        }
        body.finishedLoad(Series::I1);
        for (int i = 0; i < Images; ++i)
            body.stack().i1().at(i)->setEnergy(7100 + 2.0 * i);
        proc = body.imgProc();
    }

    template <typename T> T *child(const char *name) {
        T *c = proc->findChild<T *>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString newMessages() { return messagesSince(body, seen); }
    QPointF shiftOf(int i) const {
        const TiffData *image = body.stack().i1().at(i);
        return QPointF(image->shiftDX(), image->shiftDY());
    }
    bool noShifts() const {
        for (int i = 0; i < Images; ++i)
            if (shiftOf(i) != QPointF())
                return false;
        return true;
    }
    // Relative to image 0 whatever the reference: the drift undone.
    void expectAligned() const {
        for (int i = 0; i < Images; ++i)
            if (i != Blank)
                EXPECT_EQ(shiftOf(i) - shiftOf(0), drift[0] - drift[i]) << i;
    }

    Body body;
    ImgProc *proc = nullptr;
    QVector<QPointF> drift;
    int seen = 0;
};

} // namespace

TEST_F(AlignSeriesTest, ButtonAlignsPlotsSuspectsStopsAndClears) {
    auto *run = child<QPushButton>("AlignSeries");
    child<QSpinBox>("AlignReference")->setValue(0);
    child<QSpinBox>("AlignUpsample")->setValue(1);
    child<QCheckBox>("AlignApplyI0")->setChecked(true);
    body.loaded(Series::I0, DriftSeries::image({}, {}, 0).release(), 0); // fewer I0 images than I1
    body.finishedLoad(Series::I0);

    // Stop at once: even a run that got through every image changes nothing.
    run->click();
    EXPECT_EQ(run->text(), "Stop");
    run->click();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return run->text() == "Align Series"; }));
    EXPECT_TRUE(noShifts());
    EXPECT_TRUE(newMessages().contains("Align Series stopped: no shift was changed"));

    run->click();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return run->text() == "Align Series"; }));
    expectAligned();
    EXPECT_EQ(child<QProgressBar>("AlignProgress")->value(), 100);
    EXPECT_EQ(body.stack().i0().at(0)->shiftDX(), 0);
    const QString said = newMessages();
    EXPECT_TRUE(said.contains("the I0 images keep their shifts: the I0 series has 1 images and "
                              "the I1 series 12"))
        << qPrintable(said);
    EXPECT_TRUE(said.contains("Align Series: 11 of 12 I1 images moved")) << qPrintable(said);
    EXPECT_TRUE(said.contains("check them: 9")) << qPrintable(said);

    const AlignmentPlot &plot = child<AlignPlotView>("AlignPlot")->plot();
    ASSERT_EQ(plot.x.size(), Images);
    EXPECT_TRUE(plot.byEnergy);
    EXPECT_EQ(plot.x[3], 7106);
    EXPECT_EQ(plot.dx[3], drift[0].x() - drift[3].x());
    for (int i = 0; i < Images; ++i)
        EXPECT_EQ(plot.suspect[i], i == Blank) << i;
    EXPECT_EQ(plot.nearestImage(7113.2), 7);

    // The processor shows the image shown and its shift, not a blank preview.
    body.showData(3);
    EXPECT_EQ(child<QLineEdit>("ShiftX")->text(), "-3");
    EXPECT_EQ(child<QLineEdit>("ShiftY")->text(), "0");
    proc->show();
    const QImage shown = child<ImgDispA>("DispA")->shownPicture();
    QSet<QRgb> greys;
    for (int y = 0; y < shown.height(); y += 3)
        for (int x = 0; x < shown.width(); x += 3)
            greys.insert(shown.pixel(x, y));
    EXPECT_GT(greys.size(), 10);

    child<QPushButton>("ClearAllShifts")->click();
    EXPECT_TRUE(noShifts());
    run->click(); // the window closes on a running alignment: it stops first
}

// The batch command completes when the run ends; wrong arguments and a run
// that cannot start are refused, answered at once and change no shift.
TEST_F(AlignSeriesTest, BatchCommandAlignsAndRefuses) {
    const struct {
        const char *line;
        const char *said;
    } refused[] = {
        {"align_series phase 1", "takes METHOD UPSAMPLE REFERENCE, 2 arguments given"},
        {"align_series edge 1 0", "method \"edge\": phase, gradient or chain"},
        {"align_series phase 0 0", "upsample \"0\": a whole number from 1 to 100"},
        {"align_series phase 101 0", "upsample \"101\""},
        {"align_series phase 1.5 0", "upsample \"1.5\""},
        {"align_series phase 1 -1", "reference \"-1\": an image index from 0, or auto"},
        {"align_series chain 1 first", "reference \"first\""},
        {"align_series phase 1 12", "Align Series not started: reference 12 but only 12 images"},
    };
    for (const auto &r : refused) {
        ASSERT_TRUE(runBatchUntil(body, {r.line}, "refused")) << r.line;
        EXPECT_TRUE(newMessages().contains(r.said)) << r.line;
        EXPECT_TRUE(noShifts()) << r.line;
    }
    // An I0 series as long as the I1 series takes the same shifts.
    for (int i = 0; i < Images; ++i)
        body.loaded(Series::I0, DriftSeries::image({}, {}, i).release(), i);
    body.finishedLoad(Series::I0);
    child<QCheckBox>("AlignApplyI0")->setChecked(true);
    ASSERT_TRUE(runBatchUntil(body, {"ALIGN_SERIES Phase 1 auto"}, "aligned"));
    expectAligned();
    for (int i = 0; i < Images; ++i) {
        const TiffData *i0 = body.stack().i0().at(i);
        EXPECT_EQ(QPointF(i0->shiftDX(), i0->shiftDY()), shiftOf(i)) << i;
    }
    EXPECT_EQ(child<QComboBox>("AlignMethod")->currentIndex(), 0);
    EXPECT_EQ(child<QSpinBox>("AlignReference")->text(), "auto");
    const QString said = newMessages();
    EXPECT_TRUE(said.contains("the I0 images took the same shifts")) << qPrintable(said);
    EXPECT_TRUE(said.contains("check them: 9")) << qPrintable(said);
}
