#pragma once
// The window that plots XAFS spectra: the spectrum at the current image
// position (the target) with its background lines, a standard to compare it
// with, further spectra, and the raw spectrum of the position or the Fourier
// magnitudes of it. It also writes its spectra to spectrum files.
//
// The main window replaces the target on every mouse move over the image, so
// setting a target only copies (the point lists are shared, not duplicated)
// and repainting reuses its buffers.
#include "display/EnergyWindow.h"
#include "display/PlotLayout.h"
#include "display/PolylineRuns.h"
#include "spectrum/FourierTransform.h"
#include "spectrum/XafsSpectrum.h"

#include <QFrame>
#include <QPen>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

class DispA;
class QFileDialog;
class Ui_SpectrumView;

class SpectrumView : public QFrame {
    Q_OBJECT
public:
    // Gives the texts of the edge-energy fields of the analysis panel's
    // element rows, read anew at every repaint.
    using EdgeEnergyTexts = std::function<QStringList()>;

    explicit SpectrumView(QWidget *parent = nullptr);
    ~SpectrumView() override;

    // Copies the spectrum in as the target; while following, the shown and
    // reset energy windows become its energy range. Returns the target's edge
    // minus the standard's edge (eV).
    double setTarget(const XafsSpectrum &spectrum);
    void setStandard(const XafsSpectrum &spectrum);
    // A further spectrum drawn with pen; without a pen, with overlay colour i.
    void addOther(const XafsSpectrum &spectrum, const QPen &pen);
    void addOther(const XafsSpectrum &spectrum);
    // A further spectrum in its overlay colour, at pen width: spectrum i of
    // those added after clearOthers takes the colour of category i on a map
    // of categories.
    void addOtherInOverlayColour(const XafsSpectrum &spectrum, qreal width);
    void clearOthers();
    void setRaw(const Spectrum &spectrum);
    void setFollow(bool follow);
    // Energy of the current image, drawn as a marker; <= 0 draws none.
    void setMarkerEnergy(double energy);
    // An empty function detaches.
    void attachElementRows(EdgeEnergyTexts edgeEnergyTexts);

    const XafsSpectrum &target() const { return m_target; }
    const XafsSpectrum &standard() const { return m_standard; }
    const QVector<XafsSpectrum> &others() const { return m_others; }
    const Spectrum &raw() const { return m_raw; }
    const EnergyWindow &energyWindow() const { return m_window; }
    double markerEnergy() const { return m_markerEnergy; }
    DispA *drawingArea() const;
    // The drawing area as painted at its current size.
    QImage renderPlot();
    // Frame and data area of the last layout (drawing-area pixels).
    const PlotLayout &plotLayout() const { return m_layout; }
    // Axis titles and legend labels of the last drawing.
    const QString &xAxisTitle() const { return m_xTitle; }
    const QString &yAxisTitle() const { return m_yTitle; }
    QStringList legendLabels() const;
    // Light fills behind the fit windows of the background lines.
    static QColor preWindowColor();
    static QColor postWindowColor();

signals:
    void updated();
    void spectraSaved(const QStringList &files);

public slots:
    void draw(QPainter *p);
    void onMouseMoved();
    void onWheelMoved();
    void resetXScale();
    // While following, the windows are set to the target's energy range; repaints.
    void update();
    // Writes base-T (energies corrected by the target's energy-shift value),
    // base-std and base-otherN beside fname ("dat" when it has no suffix);
    // spectraSaved names those written. False when any of them could not be
    // written.
    bool saveData(const QString &fname);
    void setNormalize(bool f);
    void setEnergyCorrection(bool f);

private:
    struct YWindow {
        double lo;
        double hi;
    };
    struct LegendEntry {
        QString label;
        QPen pen;
        QColor fill; // valid: a filled swatch instead of a line
    };

    void connectForm();
    void showSaveDialog();
    void repaintPlot();
    void followTarget();
    void setPlotFrame(double yLo, double yHi, double xLo, double xHi);
    YWindow readoutYWindow() const;
    double shownShift(const XafsSpectrum &s) const;
    QPen otherPen(int i) const;

    void drawSpectra(QPainter &p);
    void drawNormalizedSpectra(QPainter &p);
    void drawRawSpectra(QPainter &p);
    void drawBackgroundLines(QPainter &p, const XafsSpectrum &s, const QPen &prePen,
                             const QPen &postPen);
    void drawCurve(QPainter &p, const XafsSpectrum &owner, const Spectrum &curve, const QPen &pen,
                   double breakGap);
    void drawRawDisplay(QPainter &p);
    void drawFftDisplay(QPainter &p);
    void drawVerticalLine(QPainter &p, double x, const QPen &pen);
    void drawEnergyLines(QPainter &p);
    void drawFrameAndTicks(QPainter &p);
    void drawAxisTitles(QPainter &p);
    void drawFitWindows(QPainter &p, const XafsSpectrum &s);
    void addLegend(const QString &label, const QPen &pen, const QColor &fill = QColor());
    void collectLegend();
    void drawLegend(QPainter &p);
    QString otherLabel(int i) const;
    void setAxisTitles();
    QFont labelFont() const;
    int yLabelWidth(double yLo, double yHi) const;

    std::unique_ptr<Ui_SpectrumView> m_ui;
    QFileDialog *m_saveDialog = nullptr;
    XafsSpectrum m_target;
    XafsSpectrum m_standard;
    QVector<XafsSpectrum> m_others;
    QVector<QPen> m_otherPens;
    Spectrum m_raw;
    FourierTransform m_fourier;
    EnergyWindow m_window;
    double m_markerEnergy = -1;
    EdgeEnergyTexts m_elementRows;
    PolylineRuns m_runs;
    PlotLayout m_layout;
    QString m_xTitle;
    QString m_yTitle;
    QVector<LegendEntry> m_legend;
};
