#pragma once
// The energy-of-files panel of one series: reads its fields into EofSettings
// and asks EnergyOfFiles for the energy of each loaded file.
#include "imageio/EnergyOfFiles.h"

#include <QFrame>
#include <memory>

class QFileDialog;
namespace Ui {
class EngOfFilesSetup;
}

class EOFSetup : public QFrame {
    Q_OBJECT
public:
    explicit EOFSetup(QWidget *parent = nullptr);
    ~EOFSetup() override;

    // The fields as they are now; texts that are not numbers read as 0.
    EofSettings settings() const;
    // Energy in eV of the file at position fileNo of the selected list.
    double energyOfFile(const QString &path, int fileNo) const;
    const QVector<double> &refEnergies() const { return m_refEnergies; }
    // Folder where the reference-file dialog starts (DataRoot until set).
    void setDataRoot(const QString &folder);

    // Field setters used by the series panel (and so by batch commands).
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

public slots:
    void newStart();
    void newDelta();
    void newEnd();
    void newNumOfPoints();
    void newPattern();
    void newPatternSelected(const QString &pattern);
    void refFileSelected(const QString &fileName);

private:
    void recomputeEnd();
    void recomputeDelta();

    std::unique_ptr<Ui::EngOfFilesSetup> m_ui;
    QFileDialog *m_refDialog = nullptr;
    QVector<double> m_refEnergies;
};
