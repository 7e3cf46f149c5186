#include "display/widgets/SpectrumView.h"
#include "display/widgets/DispA.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

// A K-edge-like spectrum: sloping pre-edge, a smooth step of height 1 at
// edge, gently sloping post-edge; 2 eV steps from e0 to e1.
XafsSpectrum edgeSpectrum(double e0, double e1, double edge, double eShift = 0) {
    Spectrum s;
    for (double e = e0; e <= e1 + 1e-9; e += 2)
        s.addPoint(e, 0.2 + 0.0002 * (e - e0) + 1.0 / (1.0 + std::exp(-(e - edge) / 2.0)));
    return XafsSpectrum(s, "test", 1, eShift, SuggestElm());
}

Spectrum rawSpectrum(int n) {
    Spectrum s;
    for (int k = 0; k < n; ++k)
        s.addPoint(9000 + k, 1000 + 100 * std::sin(k * 0.7));
    return s;
}

// True when some pixel within r of (x, y) has colour c.
bool colourNear(const QImage &img, double x, double y, QRgb c, int r = 2) {
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            const QPoint p(int(std::lround(x)) + dx, int(std::lround(y)) + dy);
            if (img.rect().contains(p) && img.pixel(p) == c)
                return true;
        }
    return false;
}

int countColour(const QImage &img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == c;
    return n;
}

class SpectrumViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(800, 600);
        view.show();
        QApplication::processEvents();
        area = view.drawingArea();
    }
    void wheel(int x, int y, int delta) {
        QWheelEvent ev(QPointF(x, y), area->mapToGlobal(QPoint(x, y)), QPoint(), QPoint(0, delta),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(area, &ev);
    }
    template <class T> T *child(const char *name) { return view.findChild<T *>(name); }

    SpectrumView view;
    DispA *area = nullptr;
};

} // namespace

TEST_F(SpectrumViewTest, FormHasItsNamedWidgets) {
    EXPECT_EQ(view.windowTitle(), "XAFS");
    ASSERT_NE(child<QCheckBox>("Normalized"), nullptr);
    EXPECT_TRUE(child<QCheckBox>("Normalized")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("ECorrect")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("ShowRaw")->isChecked());
    SpectrumView fresh;
    EXPECT_EQ(fresh.findChild<QLabel *>("ExtMsg")->text().toStdString(), "TextLabel");
    EXPECT_EQ(fresh.findChild<QPushButton *>("ResetXScale")->toolTip().toStdString(),
              "Reset X Axis Scale");
    EXPECT_EQ(child<QLineEdit>("XVal")->text(), "0");
}

TEST_F(SpectrumViewTest, WindowFollowsTargetZoomsAndResets) {
    QSignalSpy updated(&view, &SpectrumView::updated);
    XafsSpectrum std = edgeSpectrum(8900, 9100, 8995);
    view.setStandard(std);
    const double dE = view.setTarget(edgeSpectrum(8900, 9100, 9000));
    EXPECT_NEAR(dE, view.target().midx() - std.midx(), 1e-12);
    EXPECT_GT(dE, 0);
    EXPECT_EQ(updated.count(), 1);
    EXPECT_DOUBLE_EQ(view.energyWindow().xMinShown, 8900);
    EXPECT_DOUBLE_EQ(view.energyWindow().xMaxShown, 9100);

    // A wheel step up in the middle of the plot zooms in about the mouse.
    area->grab();
    const int mx = area->width() / 2;
    const double a = area->cc().screenToRealX(mx);
    wheel(mx, area->height() / 2, 120);
    const EnergyWindow &w = view.energyWindow();
    EXPECT_NEAR(w.xMaxShown - w.xMinShown, 200 / 1.1, 1e-9);
    EXPECT_NEAR((a - w.xMinShown) / (w.xMaxShown - w.xMinShown), (a - 8900) / 200, 1e-12);
    EXPECT_EQ(updated.count(), 2);

    // A new target while following replaces both windows; reset restores it.
    view.setTarget(edgeSpectrum(8950, 9050, 9000));
    EXPECT_DOUBLE_EQ(w.xMinShown, 8950);
    wheel(mx, area->height() / 2, -120);
    EXPECT_NEAR(w.xMaxShown - w.xMinShown, 110, 1e-9);
    QTest::mouseClick(child<QPushButton>("ResetXScale"), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(w.xMinShown, 8950);
    EXPECT_DOUBLE_EQ(w.xMaxShown, 9050);

    // Not following: the window stays.
    view.setFollow(false);
    view.setTarget(edgeSpectrum(7000, 7200, 7100));
    EXPECT_DOUBLE_EQ(w.xMinShown, 8950);
    EXPECT_DOUBLE_EQ(w.xMinReset, 8950);
}

TEST_F(SpectrumViewTest, WithoutTargetPointsMouseAndWheelChangeNothing) {
    QSignalSpy updated(&view, &SpectrumView::updated);
    wheel(400, 300, 120);
    QTest::mouseMove(area, QPoint(300, 200));
    EXPECT_DOUBLE_EQ(view.energyWindow().xMinShown, 0);
    EXPECT_DOUBLE_EQ(view.energyWindow().xMaxShown, 1);
    EXPECT_EQ(child<QLineEdit>("XVal")->text(), "0");
    EXPECT_EQ(child<QLabel>("Position")->text(), "0");
    EXPECT_EQ(updated.count(), 0);
}

TEST_F(SpectrumViewTest, MouseReadsOutEnergyIndexAndPansWithLeftDrag) {
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    area->grab();
    const ChCoord &cc = area->cc();
    const int sx = int(std::lround(cc.realToScreenX(9031)));
    QTest::mouseMove(area, QPoint(sx, 200));
    const double e = child<QLineEdit>("XVal")->text().toDouble();
    EXPECT_NEAR(e, 9031, 1.0);
    // Points every 2 eV from 8900: the first midpoint beyond e.
    const int expected = int(std::floor((e - 8900 - 1) / 2)) + 1;
    EXPECT_EQ(child<QLabel>("Position")->text().toInt(), expected);
    EXPECT_EQ(child<QLineEdit>("YVal")->text().count('.'), 1);

    // Dragging 50 pixels to the right moves the energies with the mouse.
    const double perPixel = cc.screenToRealDX(1);
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(sx, 200));
    QTest::mouseMove(area, QPoint(sx + 50, 200));
    QMouseEvent move(QEvent::MouseMove, QPointF(sx + 50, 200), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(area, &move);
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(sx + 50, 200));
    EXPECT_NEAR(view.energyWindow().xMinShown, 8900 - 50 * perPixel, 1e-6);
}

TEST_F(SpectrumViewTest, SaveWritesTaggedSpectrumFiles) {
    QTemporaryDir dir;
    view.setTarget(edgeSpectrum(8900, 9100, 9000, 5.0));
    view.setStandard(edgeSpectrum(8900, 9100, 8995, 3.0));
    view.addOther(edgeSpectrum(8900, 9000, 8950, 7.0), QPen(Qt::blue));
    ASSERT_TRUE(view.saveData(dir.filePath("run.dat")));
    for (const char *name : {"run-T.dat", "run-std.dat", "run-other0.dat"})
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(name))) << name;
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("run-other1.dat")));

    // Only the target's energies are corrected by its energy-shift value.
    auto firstEnergy = [&](const QString &name) {
        const QList<QByteArray> lines = TestSupport::readFile(dir.filePath(name)).split('\n');
        for (const QByteArray &l : lines)
            if (!l.startsWith('#') && !l.isEmpty())
                return l.split('\t').value(0).toDouble();
        return -1.0;
    };
    EXPECT_DOUBLE_EQ(firstEnergy("run-T.dat"), 8895);
    EXPECT_DOUBLE_EQ(firstEnergy("run-std.dat"), 8900);
    EXPECT_DOUBLE_EQ(firstEnergy("run-other0.dat"), 8900);

    // A name without suffix gets "dat".
    ASSERT_TRUE(view.saveData(dir.filePath("plain")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("plain-T.dat")));
    EXPECT_FALSE(view.saveData(dir.filePath("missing/run.dat")));

    // The Save button's dialog writes the same set for the chosen file.
    QTest::mouseClick(child<QPushButton>("Save"), Qt::LeftButton);
    auto *dialog = view.findChild<QFileDialog *>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(), QStringList({"Data File (*.dat)", "Any Files (* *.*)"}));
    emit dialog->fileSelected(dir.filePath("dlg.dat"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("dlg-other0.dat")));
    dialog->close();
}

TEST_F(SpectrumViewTest, NormalizedPlotDrawsCurvesEdgeAndMarker) {
    view.setStandard(edgeSpectrum(8900, 9100, 8980));
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    view.setMarkerEnergy(8950);
    view.attachElementRows([] { return QStringList{"9060", "not a number"}; });
    const QImage img = view.renderPlot();
    const ChCoord &cc = area->cc();

    // Target (black) well above the edge lies near normalised 1; standard in red.
    const XafsSpectrum &t = view.target();
    const int i = 90; // 9080 eV
    const double x = cc.realToScreenX(t.doubleNormalizedPreBase().x(i));
    const double y = cc.realToScreenY(t.doubleNormalizedPreBase().y(i));
    EXPECT_TRUE(colourNear(img, x, y, qRgb(0, 0, 0)));
    // Between the two edges the standard (edge 20 eV lower) is well above the target.
    const Spectrum &sn = view.standard().doubleNormalizedPreBase();
    EXPECT_TRUE(
        colourNear(img, cc.realToScreenX(sn.x(45)), cc.realToScreenY(sn.y(45)), qRgb(255, 0, 0)));
    EXPECT_FALSE(colourNear(img, x, cc.realToScreenY(0.5), qRgb(0, 0, 0), 1));

    // Edge line in red, marker in green, element row line in red.
    const double edgeX = cc.realToScreenX(t.midx());
    EXPECT_TRUE(colourNear(img, edgeX, cc.realToScreenY(0.2), qRgb(255, 0, 0), 1));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(8950), cc.realToScreenY(0.5), qRgb(0, 224, 0), 1));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(9060), cc.realToScreenY(0.4), qRgb(255, 0, 0), 1));
    // Background lines belong to the raw plot only.
    EXPECT_EQ(countColour(img, qRgb(0, 192, 220)), 0);
    EXPECT_TRUE(child<QLabel>("ExtMsg")->text().startsWith("dMut = "));
    EXPECT_TRUE(child<QLabel>("ExtMsg")->text().endsWith(" [eV]"));
}

TEST_F(SpectrumViewTest, UnnormalizedPlotDrawsBackgroundLines) {
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    view.setNormalize(false);
    const QImage img = view.renderPlot();
    EXPECT_GT(countColour(img, qRgb(0, 192, 220)), 20); // pre-edge line
    EXPECT_GT(countColour(img, qRgb(0, 220, 192)), 20); // post-edge line
    const ChCoord &cc = area->cc();
    const XafsSpectrum &t = view.target();
    EXPECT_TRUE(
        colourNear(img, cc.realToScreenX(t.x(10)), cc.realToScreenY(t.y(10)), qRgb(0, 0, 0)));
}

TEST_F(SpectrumViewTest, TargetCurveIsBrokenAtWideEnergyGaps) {
    Spectrum s;
    auto mu = [](double e) { return 1.0 + 0.001 * (e - 8900); };
    for (double e = 8900; e <= 8960; e += 2)
        s.addPoint(e, mu(e));
    for (double e = 9040; e <= 9100; e += 2)
        s.addPoint(e, mu(e));
    view.setTarget(XafsSpectrum(s, "gap", 1, 0, SuggestElm()));
    view.setNormalize(false);
    const QImage img = view.renderPlot();
    const ChCoord &cc = area->cc();
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(8930), cc.realToScreenY(mu(8930)), qRgb(0, 0, 0)));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(9070), cc.realToScreenY(mu(9070)), qRgb(0, 0, 0)));
    // No line bridges the 80 eV hole.
    EXPECT_FALSE(
        colourNear(img, cc.realToScreenX(9000), cc.realToScreenY(mu(9000)), qRgb(0, 0, 0)));
}

TEST_F(SpectrumViewTest, RawAndFourierDisplays) {
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    view.setRaw(rawSpectrum(40));
    child<QCheckBox>("ShowRaw")->setChecked(true);
    QImage img = view.renderPlot();
    const ChCoord &cc = area->cc();
    EXPECT_DOUBLE_EQ(cc.rx1(), 40);
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(5), cc.realToScreenY(view.raw().y(5)),
                           qRgb(255, 192, 0), 1));
    EXPECT_EQ(countColour(img, qRgb(0, 192, 0)), 0);

    // 40 points show 4 magnitudes on [0, 4].
    child<QCheckBox>("ShowFFT")->setChecked(true);
    img = view.renderPlot();
    EXPECT_DOUBLE_EQ(cc.rx1(), 4);
    EXPECT_GT(countColour(img, qRgb(0, 192, 0)), 10);
    EXPECT_EQ(countColour(img, qRgb(255, 192, 0)), 0);

    // Nine points show nothing.
    view.setRaw(rawSpectrum(9));
    img = view.renderPlot();
    EXPECT_EQ(countColour(img, qRgb(0, 192, 0)), 0);
}

TEST_F(SpectrumViewTest, EnergyCorrectionMovesOnlyTheTarget) {
    view.setStandard(edgeSpectrum(8900, 9100, 9000));
    view.setTarget(edgeSpectrum(8900, 9100, 9000, 20.0));
    const double midx = view.target().midx();
    const Spectrum &tn = view.target().doubleNormalizedPreBase();
    const double e = tn.x(51), y = tn.y(51); // 9002 eV, on the rise of the edge
    QImage img = view.renderPlot();
    const ChCoord &cc = area->cc();
    // Corrected, the target and its edge sit 20 eV lower, the standard stays put.
    EXPECT_TRUE(
        colourNear(img, cc.realToScreenX(midx - 20), cc.realToScreenY(0.1), qRgb(255, 0, 0), 1));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(e - 20), cc.realToScreenY(y), qRgb(0, 0, 0)));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(e), cc.realToScreenY(y), qRgb(255, 0, 0)));

    // The read-out index follows the drawn position: the point drawn under the
    // mouse at 8980 eV is the one measured at 9000 eV (index 50).
    QTest::mouseMove(area, QPoint(int(std::lround(cc.realToScreenX(8980.5))), 200));
    EXPECT_EQ(child<QLabel>("Position")->text().toInt(), 50);

    view.setEnergyCorrection(false);
    img = view.renderPlot();
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(midx), cc.realToScreenY(0.1), qRgb(255, 0, 0), 1));
    EXPECT_TRUE(colourNear(img, cc.realToScreenX(e), cc.realToScreenY(y), qRgb(0, 0, 0)));
    EXPECT_FALSE(colourNear(img, cc.realToScreenX(e - 20), cc.realToScreenY(y), qRgb(0, 0, 0)));
}

TEST_F(SpectrumViewTest, OtherSpectraUseTheirPensOrOverlayColours) {
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    view.addOther(edgeSpectrum(8900, 9100, 8960), QPen(QColor(0, 0, 255)));
    view.addOther(edgeSpectrum(8900, 9100, 9040)); // overlay colour 1: green
    QImage img = view.renderPlot();
    EXPECT_GT(countColour(img, qRgb(0, 0, 255)), 50);
    EXPECT_GT(countColour(img, qRgb(0, 255, 0)), 50);

    // A hidden spectrum is not drawn.
    XafsSpectrum hidden = edgeSpectrum(8900, 9100, 8930);
    hidden.setVisible(0);
    view.clearOthers();
    view.addOther(hidden, QPen(QColor(0, 0, 255)));
    img = view.renderPlot();
    EXPECT_EQ(countColour(img, qRgb(0, 0, 255)), 0);
}

TEST_F(SpectrumViewTest, DegenerateSpectraDrawAndReadOutSafely) {
    // Nothing set yet, then a single-point target: zero-width windows.
    EXPECT_FALSE(view.renderPlot().isNull());
    Spectrum one;
    one.addPoint(9000, 1.5);
    view.setTarget(XafsSpectrum(one, "one", 1, 0, SuggestElm()));
    view.setNormalize(false);
    EXPECT_FALSE(view.renderPlot().isNull());
    QTest::mouseMove(area, QPoint(300, 200));
    EXPECT_EQ(child<QLabel>("Position")->text(), "0");
    wheel(300, 200, 120);
    EXPECT_TRUE(std::isfinite(view.energyWindow().xMinShown));

    // Fewer than 30 raw points: the magnitudes' window stays degenerate (from
    // the largest double to the smallest normal one) yet drawing stays finite;
    // an empty raw spectrum draws nothing.
    child<QCheckBox>("ShowRaw")->setChecked(true);
    child<QCheckBox>("ShowFFT")->setChecked(true);
    view.setRaw(rawSpectrum(25));
    view.renderPlot();
    EXPECT_EQ(area->cc().ry0(), std::numeric_limits<double>::max());
    EXPECT_EQ(area->cc().ry1(), std::numeric_limits<double>::min());
    view.setRaw(Spectrum());
    child<QCheckBox>("ShowFFT")->setChecked(false);
    const QImage img = view.renderPlot();
    EXPECT_EQ(countColour(img, qRgb(255, 192, 0)), 0);
}

TEST_F(SpectrumViewTest, AxisTitlesAndLegendFollowTheMode) {
    view.setStandard(edgeSpectrum(8900, 9100, 8980));
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    view.setRaw(rawSpectrum(40));
    view.setMarkerEnergy(8950);
    const struct {
        bool normalized, raw, fft;
        const char *x, *y, *inLegend, *notInLegend;
    } cases[] = {
        {true, false, false, "Energy (eV)", "normalised mu*t", "image energy", "pre-edge line"},
        {false, false, false, "Energy (eV)", "mu*t", "pre-edge fit window", "I1 sum of the bin"},
        {true, true, false, "Point number", "I1 (counts)", "I1 sum of the bin", "measured"},
        {true, true, true, "Frequency index", "FFT magnitude", "FFT of the I1 sum", "standard"},
    };
    // The fit's curve is named for what it is, a reference by its file.
    XafsSpectrum fit = edgeSpectrum(8900, 9100, 8990), ref = edgeSpectrum(8900, 9100, 8985);
    fit.setName("anal-LCF");
    ref.setName("ref_A.dat");
    view.addOther(fit);
    view.addOther(ref);
    view.setNormalize(true);
    view.renderPlot();
    EXPECT_TRUE(view.legendLabels().contains("Fitted curve"));
    EXPECT_TRUE(view.legendLabels().contains("ref_A.dat"));
    for (const auto &c : cases) {
        view.setNormalize(c.normalized);
        child<QCheckBox>("ShowRaw")->setChecked(c.raw);
        child<QCheckBox>("ShowFFT")->setChecked(c.fft);
        const QImage img = view.renderPlot();
        EXPECT_EQ(view.xAxisTitle(), c.x);
        EXPECT_EQ(view.yAxisTitle(), c.y);
        EXPECT_TRUE(view.legendLabels().contains(c.inLegend)) << c.inLegend;
        EXPECT_FALSE(view.legendLabels().contains(c.notInLegend)) << c.notInLegend;
        // The titles are painted: dark text under the tick labels and left of them.
        const QRect f = view.plotLayout().frame;
        const int dark = [&] {
            int n = 0;
            QFont font = area->font();
            font.setPointSize(12);
            for (int y = f.bottom() + 3 + QFontMetrics(font).height(); y < img.height(); ++y)
                for (int x = f.left(); x < f.right(); ++x)
                    n += qGray(img.pixel(x, y)) < 100;
            for (int y = f.top(); y < f.bottom(); ++y)
                for (int x = 0; x < 16; ++x)
                    n += qGray(img.pixel(x, y)) < 100;
            return n;
        }();
        EXPECT_GT(dark, 40) << c.x;
    }
}

// Curves keep a gap to the frame: every frame pixel keeps the frame colour,
// also with the window zoomed so that the curves run out of it.
TEST_F(SpectrumViewTest, CurvesNeverTouchTheFrame) {
    view.setStandard(edgeSpectrum(8900, 9100, 8980));
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    const QRgb frameColour = qRgb(192, 192, 192);
    for (int zoom = 0; zoom < 2; ++zoom)
        for (bool normalized : {true, false}) {
            view.setNormalize(normalized);
            const QImage img = view.renderPlot();
            const QRect f = view.plotLayout().frame;
            int offFrame = 0;
            for (int x = f.left(); x <= f.right(); ++x)
                offFrame += (img.pixel(x, f.top()) != frameColour) +
                            (img.pixel(x, f.bottom()) != frameColour);
            for (int y = f.top(); y <= f.bottom(); ++y)
                offFrame += (img.pixel(f.left(), y) != frameColour) +
                            (img.pixel(f.right(), y) != frameColour);
            EXPECT_EQ(offFrame, 0) << "zoom " << zoom << " normalized " << normalized;
            // The extreme points lie inside the data area, clear of the frame.
            const ChCoord &cc = area->cc();
            const XafsSpectrum &t = view.target();
            const QRect d = view.plotLayout().data;
            EXPECT_TRUE(f.adjusted(3, 3, -3, -3).contains(d));
            if (zoom == 0) {
                EXPECT_GE(cc.realToScreenX(t.x(0)), d.left());
                EXPECT_LE(cc.realToScreenX(t.x(t.count() - 1)), d.right());
            }
            // Zoom in around the middle for the second round.
            if (zoom == 0 && !normalized)
                wheel(area->width() / 2, area->height() / 2, 360);
        }
}

TEST_F(SpectrumViewTest, FitWindowsAreShadedInTheRawPlotOnly) {
    view.setTarget(edgeSpectrum(8900, 9100, 9000));
    const XafsSpectrum &t = view.target();
    const auto shadeAt = [&](const XafsSpectrum::FitWindow &w) {
        const QImage img = view.renderPlot();
        const ChCoord &cc = area->cc();
        const QRect d = view.plotLayout().data;
        return img.pixelColor(int(cc.realToScreenX((w.lo + w.hi) / 2)),
                              d.top() + d.height() * 6 / 10);
    };
    ASSERT_LT(t.preFitWindow().lo, t.preFitWindow().hi);
    ASSERT_LT(t.postFitWindow().lo, t.postFitWindow().hi);
    view.setNormalize(false);
    EXPECT_EQ(shadeAt(t.preFitWindow()), SpectrumView::preWindowColor());
    EXPECT_EQ(shadeAt(t.postFitWindow()), SpectrumView::postWindowColor());
    view.setNormalize(true);
    EXPECT_EQ(shadeAt(t.preFitWindow()), QColor(Qt::white));
}
