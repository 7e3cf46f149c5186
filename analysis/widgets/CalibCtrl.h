#pragma once
// The calibration window: method and search steps, the standard spectrum with
// its background model, the background model of the bins' spectra, edge
// energy and crystal for the map file conversion, the map's geometry fields,
// map file buttons, run/clear buttons, progress and statistics. It holds the
// standard; the main window runs the calibration and owns the map.
#include "analysis/Calibration.h"
#include "spectrum/XafsSpectrum.h"

#include <QFileDialog>
#include <QWidget>

namespace Ui {
class CalibCtrl;
}

class CalibCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CalibCtrl(QWidget *parent = nullptr);
    ~CalibCtrl() override;

    bool hasStandard() const { return m_stdLoaded; }
    const XafsSpectrum &standard() const { return m_std; }
    QString standardFileName() const;

    CalibMethod method() const;
    void setMethod(CalibMethod m);
    CalibSteps steps() const;
    bool targetVictoreen() const;
    // EdgeEeV as a number (0 when empty or not a number).
    double edgeEnergy() const;
    // Spacing of the selected crystal.
    double spacing() const;
    bool checkSize() const;
    int xOffset() const;
    int yOffset() const;
    // Width, Height, XOffset, YOffset := the values.
    void setGeometry(int width, int height, int x0, int y0);
    void setEMPFileName(const QString &name);
    // The four statistics fields (6 significant digits); empty when invalid.
    void showStats(const CalibStats &s);
    // The normalisation of the bins' spectra (element suggestion, fixed
    // edge): the standard is normalised the same way, anew when it changes.
    void setSuggestion(const SuggestElm &suggestion, double sampleFrom, double sampleTo);

signals:
    void newStdFileLoaded();
    void execCalibration();
    void saveEMap(const QString &fname);
    void loadEMap(const QString &fname);
    void clearMap();
    // The background model of the bins' spectra changed.
    void targetBGChanged();

public slots:
    void newFile(const QString &fname);
    void stdBGToggled(bool victoreen);
    void loadStd(const QString &fname);
    void setEdgeEV(const QString &text);
    void loadEShiftMap(const QString &fname);
    void progress(double percent);

private:
    QFileDialog *mapDialog(QFileDialog::AcceptMode mode);
    // Reads and normalises the standard; false (why said) when it cannot.
    bool readStandard(const QString &fname, XafsSpectrum *out, QString *why) const;

    Ui::CalibCtrl *ui;
    XafsSpectrum m_std;
    bool m_stdLoaded = false;
    QString m_stdFile;
    SuggestElm m_suggestion;
    double m_sampleFrom = 0;
    double m_sampleTo = 0;
    QFileDialog *m_saveDialog = nullptr;
    QFileDialog *m_loadDialog = nullptr;
};
