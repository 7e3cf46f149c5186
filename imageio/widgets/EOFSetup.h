#pragma once
// The energy-of-files panel of one series: reads its fields into EofSettings
// and asks EnergyOfFiles for the energy of each loaded file. It shows, as the
// fields are edited, the energies the series' files get under them, with the
// warnings of EnergyCheck and, when the numbers look like keV or a preset
// pattern reads the names better, a button that takes the offer. The I0
// panel may follow the I1 panel's setup ("Same as I1") instead of its own.
#include "imageio/EnergyOfFiles.h"

#include <QFrame>
#include <QMap>
#include <memory>

class QFileDialog;
class QTimer;
namespace Ui {
class EngOfFilesSetup;
}

class EOFSetup : public QFrame {
    Q_OBJECT
public:
    // One file of the series as the preview sees it. fileNo is its position
    // in the selected list; a negative fileNo marks an image whose energy
    // came with it (a stack file), which loadedEv then gives.
    struct SeriesFile {
        QString path;
        int fileNo = -1;
        double loadedEv = 0;
    };

    explicit EOFSetup(QWidget *parent = nullptr);
    ~EOFSetup() override;

    // The panel's own fields as they are now; texts that are not numbers read as 0.
    EofSettings settings() const;
    // The settings the energies come from: the leader's while following it.
    EofSettings effectiveSettings() const;
    // Energy in eV of the file at position fileNo of the selected list.
    double energyOfFile(const QString &path, int fileNo) const;
    const QVector<double> &refEnergies() const { return m_refEnergies; }
    // Folder where the reference-file dialog starts (DataRoot until set).
    void setDataRoot(const QString &folder);

    // Makes this panel able to take its energies from leader's setup: the
    // box SameAsI1 appears, ticked.
    void followSettingsOf(const EOFSetup *leader);
    bool followsLeader() const;
    void setFollowsLeader(bool on);

    // The series whose energies the preview shows.
    void appendSeriesFile(const SeriesFile &file);
    void clearSeriesFiles();
    // The preview's text and warnings as shown now (brought up to date first).
    QString previewText();
    QString warningsText();

    // The fields remembered between runs, by object name.
    static const QStringList &rememberedFields();
    QMap<QString, QString> rememberedValues() const;
    void restoreRemembered(const QMap<QString, QString> &values);

    // Field setters used by the series panel (and so by batch commands). On
    // a panel that follows a leader each of them first switches to the
    // panel's own settings, so that a batch setting them means what it says.
    void setEngByName(bool on);
    void setEngByCalc(bool on);
    void setEngCalcStart(double v);
    void setEngCalcDelta(double v);
    void setEngCalcEnd(double v);
    void setEngCalcNum(int n);
    void setEvenInEng(bool on);
    void setEvenInDeg(bool on);
    void setDispUnit(int index);
    void setEngByNameRegExp(const QString &pattern);
    void setEngByNameFactor(double factor);
    void setEngByRef(const QString &fileName);

signals:
    // A field (or the reference energies, or the choice to follow) changed.
    void settingsChanged();

public slots:
    void newStart();
    void newDelta();
    void newEnd();
    void newNumOfPoints();
    void newPattern();
    void newPatternSelected(const QString &pattern);
    void refFileSelected(const QString &fileName);
    void useSuggestedFactor();
    void useSuggestedPattern();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void connectFields();
    void recomputeEnd();
    void recomputeDelta();
    void patternTextChanged(const QString &text);
    void selectPatternInList(const QString &pattern);
    void leaveLeader();
    void fieldsChanged();
    void updatePreview();
    QVector<double> previewEnergies(const EofSettings &s) const;
    QStringList offers(const EofSettings &s, const QVector<double> &energies);
    QStringList loadedEnergyNote(const QVector<double> &energies) const;

    std::unique_ptr<Ui::EngOfFilesSetup> m_ui;
    QFileDialog *m_refDialog = nullptr;
    QVector<double> m_refEnergies;
    const EOFSetup *m_leader = nullptr;
    QVector<SeriesFile> m_series;
    QTimer *m_seriesTimer = nullptr;
    // The factor the pattern in the field implies (1, or 1000 for keV).
    double m_patternFactor = 1;
    QString m_suggestedPattern;
    bool m_previewStale = true;
};
