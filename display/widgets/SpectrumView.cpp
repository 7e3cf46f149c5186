#include "display/widgets/SpectrumView.h"

#include "app/AppSettings.h"
#include "display/ColorMap.h"
#include "display/DrawText.h"
#include "display/SpectrumPlot.h"
#include "display/TaggedFileName.h"
#include "display/widgets/DispA.h"
#include "spectrum/SpectrumFile.h"
#include "ui_SpectrumView.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QColor kStandardColor(255, 0, 0);
const QColor kEdgeColor(255, 0, 0);
const QColor kFrameColor(192, 192, 192);
const QColor kMarkerColor(0, 224, 0);
const QColor kStdLineColor(220, 192, 0);
const QColor kPreLineColor(0, 192, 220);
const QColor kPostLineColor(0, 220, 192);
const QColor kRawColor(255, 192, 0);
const QColor kFftColor(0, 192, 0);
const QColor kPreWindowColor(222, 244, 250);
const QColor kPostWindowColor(222, 250, 240);
const QColor kLegendBorder(160, 160, 160);
constexpr int kTickLength = 5;
constexpr int kLabelPointSize = 12;
constexpr int kLegendPointSize = 9;
constexpr int kLegendSwatch = 22;

QPen dashedPen(const QColor &c, const QVector<qreal> &pattern) {
    QPen pen(c, 1);
    pen.setDashPattern(pattern);
    return pen;
}

} // namespace

SpectrumView::SpectrumView(QWidget *parent) : QFrame(parent), m_ui(new Ui_SpectrumView) {
    m_ui->setupUi(this);
    connectForm();
}

SpectrumView::~SpectrumView() = default;

void SpectrumView::connectForm() {
    DispA *area = m_ui->Xafs;
    connect(area, &DispA::drawImage1, this, &SpectrumView::draw);
    connect(area, &DispA::mouseMoved0, this, &SpectrumView::onMouseMoved);
    connect(area, &DispA::wheelMoved0, this, &SpectrumView::onWheelMoved);
    connect(m_ui->ResetXScale, &QPushButton::clicked, this, &SpectrumView::resetXScale);
    connect(m_ui->Save, &QPushButton::clicked, this, &SpectrumView::showSaveDialog);
    for (QCheckBox *box : {m_ui->Normalized, m_ui->ECorrect, m_ui->ShowRaw, m_ui->ShowFFT})
        connect(box, &QCheckBox::toggled, this, &SpectrumView::repaintPlot);
}

void SpectrumView::showSaveDialog() {
    if (!m_saveDialog) {
        m_saveDialog = new QFileDialog(this, tr("Save Spectra"), AppSettings::dataRoot());
        m_saveDialog->setOption(QFileDialog::DontUseNativeDialog);
        m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_saveDialog->setFileMode(QFileDialog::AnyFile);
        m_saveDialog->setNameFilters({tr("Data File (*.dat)"), tr("Any Files (* *.*)")});
        connect(m_saveDialog, &QFileDialog::fileSelected, this, &SpectrumView::saveData);
    }
    m_saveDialog->show();
}

DispA *SpectrumView::drawingArea() const {
    return m_ui->Xafs;
}

QImage SpectrumView::renderPlot() {
    return m_ui->Xafs->renderToImage();
}

void SpectrumView::repaintPlot() {
    m_ui->Xafs->update();
}

// ---- spectra in and out ----

double SpectrumView::setTarget(const XafsSpectrum &spectrum) {
    m_target = spectrum;
    followTarget();
    repaintPlot();
    emit updated();
    return m_target.midx() - m_standard.midx();
}

void SpectrumView::setStandard(const XafsSpectrum &spectrum) {
    m_standard = spectrum;
    repaintPlot();
}

void SpectrumView::addOther(const XafsSpectrum &spectrum, const QPen &pen) {
    // Pens are matched to spectra by index; pad with overlay colours so that a
    // pen given now lands on this spectrum.
    while (m_otherPens.size() < m_others.size())
        m_otherPens.append(QPen(ColorMap::overlayColor(m_otherPens.size())));
    m_others.append(spectrum);
    m_otherPens.append(pen);
    repaintPlot();
}

void SpectrumView::addOtherInOverlayColour(const XafsSpectrum &spectrum, qreal width) {
    addOther(spectrum, QPen(ColorMap::overlayColor(m_others.size()), width));
}

void SpectrumView::addOther(const XafsSpectrum &spectrum) {
    m_others.append(spectrum);
    repaintPlot();
}

void SpectrumView::clearOthers() {
    m_others.clear();
    m_otherPens.clear();
    repaintPlot();
}

void SpectrumView::setRaw(const Spectrum &spectrum) {
    m_raw = spectrum;
    repaintPlot();
    emit updated();
}

void SpectrumView::setFollow(bool follow) {
    m_window.follow = follow;
}

void SpectrumView::setMarkerEnergy(double energy) {
    m_markerEnergy = energy;
    repaintPlot();
}

void SpectrumView::attachElementRows(EdgeEnergyTexts edgeEnergyTexts) {
    m_elementRows = std::move(edgeEnergyTexts);
    repaintPlot();
}

bool SpectrumView::saveData(const QString &fname) {
    const QString suffix = QStringLiteral("dat");
    bool ok = true;
    QStringList written;
    const auto save = [&](const QString &tag, const XafsSpectrum &s, bool subtractEShift) {
        const QString path = taggedFileName(fname, tag, suffix);
        const bool saved = SpectrumFile::write(path, s, subtractEShift);
        if (saved)
            written << path;
        ok = saved && ok;
    };
    save(QStringLiteral("T"), m_target, true);
    save(QStringLiteral("std"), m_standard, false);
    for (int i = 0; i < m_others.size(); ++i)
        save(QString("other%1").arg(i), m_others[i], false);
    if (!written.isEmpty())
        emit spectraSaved(written);
    return ok;
}

void SpectrumView::setNormalize(bool f) {
    m_ui->Normalized->setChecked(f);
    repaintPlot();
}

void SpectrumView::setEnergyCorrection(bool f) {
    m_ui->ECorrect->setChecked(f);
    repaintPlot();
}

// ---- energy window and mouse ----

void SpectrumView::followTarget() {
    const double shift = m_target.shifted() ? m_target.shift() : 0.0;
    m_window.followRange(m_target.xMin() - shift, m_target.xMax() - shift);
}

void SpectrumView::update() {
    followTarget();
    repaintPlot();
}

void SpectrumView::resetXScale() {
    m_window.reset();
    repaintPlot();
    emit updated();
}

QColor SpectrumView::preWindowColor() {
    return kPreWindowColor;
}

QColor SpectrumView::postWindowColor() {
    return kPostWindowColor;
}

QFont SpectrumView::labelFont() const {
    QFont font = m_ui->Xafs->font();
    font.setPointSize(kLabelPointSize);
    return font;
}

// The widest tick label of the y window, so that the margin fits the labels.
int SpectrumView::yLabelWidth(double yLo, double yHi) const {
    const QFontMetrics fm(labelFont());
    int w = fm.horizontalAdvance(QStringLiteral("0.0"));
    for (double v : ChCoord::ticks(std::min(yLo, yHi), std::max(yLo, yHi)).values())
        w = std::max(w, fm.horizontalAdvance(QString::number(v, 'g', 6)));
    return w;
}

// The drawing area's transform: y grows upwards; the data area lies inside
// the frame with a gap, the margins hold the tick labels and axis titles.
void SpectrumView::setPlotFrame(double yLo, double yHi, double xLo, double xHi) {
    ChCoord &cc = m_ui->Xafs->cc();
    cc.setScreen(0, m_ui->Xafs->height(), m_ui->Xafs->width(), 0);
    m_layout = PlotLayout::compute(m_ui->Xafs->size(), QFontMetrics(labelFont()).height(),
                                   yLabelWidth(yLo, yHi));
    const QRect &d = m_layout.data;
    cc.setPlotArea(d.left(), d.bottom(), d.right(), d.top());
    cc.setRealX(xLo, xHi);
    cc.setRealY(yLo, yHi);
}

SpectrumView::YWindow SpectrumView::readoutYWindow() const {
    const Spectrum &s =
        m_ui->Normalized->isChecked() ? m_target.doubleNormalizedPreBase() : m_target;
    return {s.yMin(), s.yMax()};
}

// Energies on the axis are effective energies, corrected by the spectrum's
// own energy-shift value when energy correction is on.
double SpectrumView::shownShift(const XafsSpectrum &s) const {
    return m_ui->ECorrect->isChecked() ? s.eShiftValue() : 0.0;
}

void SpectrumView::onMouseMoved() {
    if (m_target.isEmpty())
        return;
    const MouseC &mc = m_ui->Xafs->mc();
    const YWindow y = readoutYWindow();
    setPlotFrame(y.lo, y.hi, m_window.xMinShown, m_window.xMaxShown);
    const ChCoord &cc = m_ui->Xafs->cc();
    const double dE = cc.screenToRealX(mc.prevPos().x()) - cc.screenToRealX(mc.x());
    if (mc.pressed() && mc.code() == MouseC::Left && std::isfinite(dE)) {
        m_window.pan(dE);
        setPlotFrame(y.lo, y.hi, m_window.xMinShown, m_window.xMaxShown);
        repaintPlot();
        emit updated();
    }
    const double e = cc.screenToRealX(mc.x());
    m_ui->XVal->setText(QString::number(e, 'f', 1));
    m_ui->YVal->setText(QString::number(cc.screenToRealY(mc.y()), 'f', 3));
    // The point whose drawn energy is nearest to the mouse, compared in the
    // stored abscissae.
    const double stored = e + (m_target.shifted() ? m_target.shift() : 0.0) + shownShift(m_target);
    const int i = SpectrumPlot::positionIndex(
        m_target.count(), [this](int k) { return m_target.x(k); }, stored);
    m_ui->Position->setText(QString::number(i));
}

void SpectrumView::onWheelMoved() {
    if (m_target.isEmpty())
        return;
    const MouseC &mc = m_ui->Xafs->mc();
    const YWindow y = readoutYWindow();
    setPlotFrame(y.lo, y.hi, m_window.xMinShown, m_window.xMaxShown);
    const ChCoord &cc = m_ui->Xafs->cc();
    const double a = cc.screenToRealX(mc.x());
    if (!std::isfinite(a)) // a plot area without width has no energy under the mouse
        return;
    m_window.zoomAbout(a, mc.wheelFactor());
    m_ui->XVal->setText(QString::number(a, 'g', 6));
    m_ui->YVal->setText(QString::number(cc.screenToRealY(mc.y()), 'g', 6));
    repaintPlot();
    emit updated();
}

// ---- drawing ----

void SpectrumView::draw(QPainter *p) {
    p->save();
    setAxisTitles();
    if (m_ui->ShowRaw->isChecked()) {
        if (m_ui->ShowFFT->isChecked())
            drawFftDisplay(*p);
        else
            drawRawDisplay(*p);
        drawFrameAndTicks(*p);
    } else {
        drawSpectra(*p);
        drawEnergyLines(*p);
        drawFrameAndTicks(*p);
    }
    drawAxisTitles(*p);
    collectLegend();
    drawLegend(*p);
    p->restore();
    m_ui->ExtMsg->setText(SpectrumPlot::extMsg(m_target.dMut(), m_target.midx()));
}

void SpectrumView::drawSpectra(QPainter &p) {
    const YWindow y = readoutYWindow();
    setPlotFrame(y.lo, y.hi, m_window.xMinShown, m_window.xMaxShown);
    p.save();
    // Curves zoomed beyond the window stop short of the frame line.
    p.setClipRect(m_layout.frame.adjusted(2, 2, -2, -2));
    if (m_ui->Normalized->isChecked())
        drawNormalizedSpectra(p);
    else
        drawRawSpectra(p);
    p.restore();
    // The ticks describe the target's window.
    setPlotFrame(y.lo, y.hi, m_window.xMinShown, m_window.xMaxShown);
}

QPen SpectrumView::otherPen(int i) const {
    return i < m_otherPens.size() ? m_otherPens[i] : QPen(ColorMap::overlayColor(i));
}

void SpectrumView::drawNormalizedSpectra(QPainter &p) {
    drawCurve(p, m_standard, m_standard.doubleNormalizedPreBase(), QPen(kStandardColor), 0);
    for (int i = 0; i < m_others.size(); ++i) {
        if (m_others[i].visible())
            drawCurve(p, m_others[i], m_others[i].doubleNormalizedPreBase(), otherPen(i), 0);
    }
    drawCurve(p, m_target, m_target.doubleNormalizedPreBase(), QPen(Qt::black, 2),
              SpectrumPlot::kTargetBreakGapEV);
}

// Each curve on its own y window: the standard, the others and the target
// differ in absorption, and only their shapes are compared.
void SpectrumView::drawRawSpectra(QPainter &p) {
    ChCoord &cc = m_ui->Xafs->cc();
    drawFitWindows(p, m_target);
    if (!m_standard.isEmpty()) {
        cc.setRealY(m_standard.yMin(), m_standard.yMax());
        const QPen stdLines = dashedPen(kStdLineColor, {6, 2});
        drawBackgroundLines(p, m_standard, stdLines, stdLines);
        drawCurve(p, m_standard, m_standard, QPen(kStandardColor), 0);
    }
    for (int i = 0; i < m_others.size(); ++i) {
        const XafsSpectrum &o = m_others[i];
        if (!o.visible() || o.isEmpty())
            continue;
        cc.setRealY(o.yMin(), o.yMax());
        drawCurve(p, o, o, otherPen(i), 0);
    }
    if (m_target.isEmpty())
        return;
    cc.setRealY(m_target.yMin(), m_target.yMax());
    drawCurve(p, m_target, m_target, QPen(Qt::black, 2), SpectrumPlot::kTargetBreakGapEV);
    drawBackgroundLines(p, m_target, dashedPen(kPreLineColor, {8, 3}),
                        dashedPen(kPostLineColor, {8, 3, 3, 3}));
}

void SpectrumView::drawCurve(QPainter &p, const XafsSpectrum &owner, const Spectrum &curve,
                             const QPen &pen, double breakGap) {
    const ChCoord &cc = m_ui->Xafs->cc();
    const double eShift = shownShift(owner);
    m_runs.build(
        curve.count(), [&](int i) { return QPointF(curve.effectiveX(i) - eShift, curve.y(i)); },
        [&](const QPointF &r) { return QPointF(cc.realToScreenX(r.x()), cc.realToScreenY(r.y())); },
        breakGap);
    p.setPen(pen);
    m_runs.draw(p);
}

// The background lines evaluated at the spectrum's own energies.
void SpectrumView::drawBackgroundLines(QPainter &p, const XafsSpectrum &s, const QPen &prePen,
                                       const QPen &postPen) {
    const ChCoord &cc = m_ui->Xafs->cc();
    const double eShift = shownShift(s);
    auto toScreen = [&](const QPointF &r) {
        return QPointF(cc.realToScreenX(r.x()), cc.realToScreenY(r.y()));
    };
    for (const VictLine *line : {&s.pre(), &s.post()}) {
        m_runs.build(
            s.count(),
            [&](int i) {
                const double e = s.effectiveX(i);
                return QPointF(e - eShift, line->lineValue(e));
            },
            toScreen, 0);
        p.setPen(line == &s.pre() ? prePen : postPen);
        m_runs.draw(p);
    }
}

// Raw point k is drawn at x = k, so the whole spectrum fills the window [0, n].
void SpectrumView::drawRawDisplay(QPainter &p) {
    const int n = m_raw.count();
    setPlotFrame(m_raw.yMin(), m_raw.yMax(), 0, n);
    if (n == 0)
        return;
    const ChCoord &cc = m_ui->Xafs->cc();
    m_runs.build(
        n, [&](int k) { return QPointF(k, m_raw.y(k)); },
        [&](const QPointF &r) { return QPointF(cc.realToScreenX(r.x()), cc.realToScreenY(r.y())); },
        0);
    p.setPen(QPen(kRawColor));
    m_runs.draw(p);
}

void SpectrumView::drawFftDisplay(QPainter &p) {
    const int n = m_raw.count();
    const int m = SpectrumPlot::fftShownCount(n);
    if (m == 0) {
        setPlotFrame(0, 1, 0, 1);
        return;
    }
    m_fourier.setSize(n);
    m_fourier.transform(m_raw);
    const double *mag = m_fourier.magnitudes();
    if (!mag)
        return;
    const SpectrumPlot::Range y = SpectrumPlot::fftMagnitudeWindow(mag, m);
    setPlotFrame(y.lo, y.hi, 0, m);
    const ChCoord &cc = m_ui->Xafs->cc();
    m_runs.build(
        m, [&](int k) { return QPointF(k, mag[k]); },
        [&](const QPointF &r) { return QPointF(cc.realToScreenX(r.x()), cc.realToScreenY(r.y())); },
        0);
    p.setPen(QPen(kFftColor));
    m_runs.draw(p);
}

void SpectrumView::drawVerticalLine(QPainter &p, double x, const QPen &pen) {
    const ChCoord &cc = m_ui->Xafs->cc();
    const double sx = cc.realToScreenX(x);
    if (!std::isfinite(sx) || sx < cc.sx0() || sx > cc.sx1())
        return;
    p.setPen(pen);
    p.drawLine(QPointF(sx, cc.sy0()), QPointF(sx, cc.sy1()));
}

// The edge of the target, the energy of the current image and the edges of
// the element rows the analysis panel works on.
void SpectrumView::drawEnergyLines(QPainter &p) {
    if (!m_target.isEmpty())
        drawVerticalLine(p, m_target.midx() - shownShift(m_target), QPen(kEdgeColor, 2));
    if (m_markerEnergy > 0)
        drawVerticalLine(p, m_markerEnergy, QPen(kMarkerColor));
    if (!m_elementRows)
        return;
    for (const QString &text : m_elementRows()) {
        bool ok = false;
        const double e = text.trimmed().toDouble(&ok);
        if (ok)
            drawVerticalLine(p, e, QPen(kEdgeColor));
    }
}

// Lightly shaded behind the curves: the energies the pre- and post-edge lines
// were fitted over, so a window that misses the flat parts shows at a glance.
void SpectrumView::drawFitWindows(QPainter &p, const XafsSpectrum &s) {
    if (s.isEmpty())
        return;
    const ChCoord &cc = m_ui->Xafs->cc();
    const double eShift = shownShift(s);
    const QRect &d = m_layout.data;
    const auto fill = [&](const XafsSpectrum::FitWindow &w, const QColor &c) {
        const double a = cc.realToScreenX(w.lo - eShift);
        const double b = cc.realToScreenX(w.hi - eShift);
        if (!std::isfinite(a) || !std::isfinite(b) || !(b > a))
            return;
        p.fillRect(QRectF(QPointF(a, d.top()), QPointF(b, d.bottom() + 1)), c);
    };
    fill(s.preFitWindow(), kPreWindowColor);
    fill(s.postFitWindow(), kPostWindowColor);
}

void SpectrumView::setAxisTitles() {
    if (m_ui->ShowRaw->isChecked() && m_ui->ShowFFT->isChecked()) {
        m_xTitle = tr("Frequency index");
        m_yTitle = tr("FFT magnitude");
    } else if (m_ui->ShowRaw->isChecked()) {
        m_xTitle = tr("Point number");
        m_yTitle = tr("I1 (counts)");
    } else {
        m_xTitle = tr("Energy (eV)");
        m_yTitle = m_ui->Normalized->isChecked() ? tr("normalised mu*t") : tr("mu*t");
    }
}

void SpectrumView::drawFrameAndTicks(QPainter &p) {
    const ChCoord &cc = m_ui->Xafs->cc();
    const QRect &frame = m_layout.frame;
    const int labelH = QFontMetrics(labelFont()).height();
    DrawText::Style xLabel;
    xLabel.pointSize = kLabelPointSize;
    xLabel.align = Qt::AlignHCenter | Qt::AlignTop;
    DrawText::Style yLabel = xLabel;
    yLabel.align = Qt::AlignRight | Qt::AlignVCenter;

    p.setPen(QPen(Qt::black, 1));
    const ChCoord::Ticks xt =
        ChCoord::ticks(std::min(cc.rx0(), cc.rx1()), std::max(cc.rx0(), cc.rx1()));
    for (double v : xt.values()) {
        const double sx = cc.realToScreenX(v);
        p.drawLine(QPointF(sx, frame.bottom()), QPointF(sx, frame.bottom() - kTickLength));
        DrawText::draw(&p, QRectF(sx - 60, frame.bottom() + 3, 120, labelH),
                       QString::number(v, 'g', 6), xLabel);
    }
    const ChCoord::Ticks yt =
        ChCoord::ticks(std::min(cc.ry0(), cc.ry1()), std::max(cc.ry0(), cc.ry1()));
    for (double v : yt.values()) {
        const double sy = cc.realToScreenY(v);
        p.drawLine(QPointF(frame.left(), sy), QPointF(frame.left() + kTickLength, sy));
        DrawText::draw(&p, QRectF(0, sy - labelH / 2.0, frame.left() - 4, labelH),
                       QString::number(v, 'g', 6), yLabel);
    }
    p.setPen(QPen(kFrameColor, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame);
}

// The x title under the tick labels, the y title upright at the left edge.
void SpectrumView::drawAxisTitles(QPainter &p) {
    const QRect &frame = m_layout.frame;
    const int labelH = QFontMetrics(labelFont()).height();
    DrawText::Style title;
    title.pointSize = kLabelPointSize;
    title.align = Qt::AlignCenter;
    DrawText::draw(&p, QRectF(frame.left(), frame.bottom() + 3 + labelH, frame.width(), labelH),
                   m_xTitle, title);
    title.angle = 90;
    DrawText::draw(&p, QRectF(2, frame.top(), labelH, frame.height()), m_yTitle, title);
}

void SpectrumView::addLegend(const QString &label, const QPen &pen, const QColor &fill) {
    m_legend.append({label, pen, fill});
}

QString SpectrumView::otherLabel(int i) const {
    const QString &name = m_others[i].name();
    if (name.isEmpty() || name == QLatin1String("No Name"))
        return tr("spectrum %1").arg(i + 1);
    // The fit's curve keeps its internal name; the legend says what it is.
    if (name == QLatin1String("anal-LCF"))
        return tr("Fitted curve");
    if (name == QLatin1String("anal-MLCF"))
        return tr("Fitted curve (MLCF)");
    return name;
}

// One entry for every kind of line or fill the drawing shows now.
void SpectrumView::collectLegend() {
    m_legend.clear();
    if (m_ui->ShowRaw->isChecked()) {
        if (m_ui->ShowFFT->isChecked()) {
            if (SpectrumPlot::fftShownCount(m_raw.count()) > 0)
                addLegend(tr("FFT of the I1 sum"), QPen(kFftColor));
        } else if (!m_raw.isEmpty()) {
            addLegend(tr("I1 sum of the bin"), QPen(kRawColor));
        }
        return;
    }
    const bool normalized = m_ui->Normalized->isChecked();
    if (!m_target.isEmpty())
        addLegend(tr("measured"), QPen(Qt::black, 2));
    if (!m_standard.isEmpty()) {
        addLegend(tr("standard"), QPen(kStandardColor));
        if (!normalized)
            addLegend(tr("standard background"), dashedPen(kStdLineColor, {6, 2}));
    }
    for (int i = 0; i < m_others.size(); ++i)
        if (m_others[i].visible() && !m_others[i].isEmpty())
            addLegend(otherLabel(i), otherPen(i));
    if (!m_target.isEmpty() && !normalized) {
        addLegend(tr("pre-edge line"), dashedPen(kPreLineColor, {8, 3}));
        addLegend(tr("post-edge line"), dashedPen(kPostLineColor, {8, 3, 3, 3}));
        addLegend(tr("pre-edge fit window"), QPen(), kPreWindowColor);
        addLegend(tr("post-edge fit window"), QPen(), kPostWindowColor);
    }
    if (!m_target.isEmpty())
        addLegend(tr("edge"), QPen(kEdgeColor, 2));
    if (m_markerEnergy > 0)
        addLegend(tr("image energy"), QPen(kMarkerColor));
}

QStringList SpectrumView::legendLabels() const {
    QStringList labels;
    for (const LegendEntry &e : m_legend)
        labels << e.label;
    return labels;
}

// A boxed list in the upper left corner of the data area, where the rising
// absorption curves leave room.
void SpectrumView::drawLegend(QPainter &p) {
    if (m_legend.isEmpty())
        return;
    QFont font = m_ui->Xafs->font();
    font.setPointSize(kLegendPointSize);
    const QFontMetrics fm(font);
    int textW = 0;
    for (const LegendEntry &e : m_legend)
        textW = std::max(textW, fm.horizontalAdvance(e.label));
    const int rowH = fm.height();
    const QRect box(m_layout.data.left() + 4, m_layout.data.top() + 4, kLegendSwatch + textW + 14,
                    rowH * m_legend.size() + 6);
    p.save();
    p.setFont(font);
    p.setPen(QPen(kLegendBorder, 1));
    p.setBrush(QColor(255, 255, 255, 230));
    p.drawRect(box);
    int y = box.top() + 3;
    for (const LegendEntry &e : m_legend) {
        const QRect swatch(box.left() + 4, y + 2, kLegendSwatch, rowH - 4);
        if (e.fill.isValid()) {
            p.fillRect(swatch, e.fill);
        } else {
            p.setPen(e.pen);
            p.drawLine(swatch.left(), swatch.center().y(), swatch.right(), swatch.center().y());
        }
        p.setPen(Qt::black);
        p.drawText(QRect(swatch.right() + 6, y, textW + 4, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                   e.label);
        y += rowH;
    }
    p.restore();
}
