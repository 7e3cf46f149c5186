#pragma once
// File-selection panel of one image series (I1 or I0): picks files, holds the
// loading options, lists the loaded files with their energies, and owns the
// series' energy-of-files panel and additional setup dialog.
#include "imageio/ErrPoints.h"

#include <QFrame>
#include <QMap>
#include <QRectF>
#include <QStringList>
#include <memory>

class EOFSetup;
class SelectDataFilesAdditionalSetup;
class SelectImgDialog;
namespace Ui {
class SelectDataFiles;
}

class SelectDataFiles : public QFrame {
    Q_OBJECT
public:
    explicit SelectDataFiles(QWidget *parent = nullptr);
    ~SelectDataFiles() override;

    // Appends a loaded file to Selected with its energy from the energy-of-files
    // panel, updates Count and returns the energy (eV).
    double addFile(const QString &path, int fNo);
    // The same for an image whose file gave its energy (a stack file).
    double addFileWithEnergy(const QString &path, double energy);
    // The stack layout chosen in the additional setup (a file or a shipped
    // layout), for HDF5 stack files.
    QString stackLayout() const;

    // Loading options as typed; texts that are not numbers read as 0.
    int skip() const;
    int cutFirst() const;
    int cutLast() const;
    bool loadNewFiles() const;
    bool ignoreLive() const;
    bool showLatest() const;
    double expTimeMS() const;
    // The series' error-point mask, handed to the loader with every load.
    ErrPoints errPoints() const;

    EOFSetup *eofSetup() const { return m_eofSetup; }
    SelectDataFilesAdditionalSetup *additionalSetup() const { return m_additionalSetup; }
    SelectImgDialog *fileDialog() const { return m_fileDialog; }
    // Folder where the file dialogs start (DataRoot until set).
    void setDataRoot(const QString &folder);

    // This (I0) panel may take its energies from the energy setup of the
    // panel given (I1): its box SameAsI1 appears, ticked. A batch command
    // that sets one of this panel's energy fields unticks it.
    void followEnergySetupOf(const SelectDataFiles *leader);
    bool energiesFromLeader() const;

    // The energy setup's fields remembered between runs, by object name.
    QMap<QString, QString> rememberedValues() const;
    void restoreRemembered(const QMap<QString, QString> &values);

signals:
    void currentIndexChanged(int idx);
    void filesSelected(const QStringList &files, bool newFile);
    void clear();
    void setDarkArea();
    void clearDarkArea();

public slots:
    void newImageSelected(int i);
    void clearFiles();
    void prev();
    void next();
    void select(int idx);
    void setSkip(int n);
    void setCutF(int n);
    void setCutL(int n);
    void setShowLatest(bool on);
    void setEngByName(bool on);
    void setEngByNameRegExp(const QString &pattern);
    void setEngByNameFactor(double factor);
    void setEngByCalc(bool on);
    void setEngCalcStart(double v);
    void setEngCalcDelta(double v);
    void setEngCalcEnd(double v);
    void setEngCalcNum(int n);
    void setEvenInEng(bool on);
    void setEvenInDeg(bool on);
    void setDispUnit(int index);
    void setEngByRef(const QString &fileName);
    void setExpTimeMS(double ms, bool ok);
    void darkArea(const QRectF &area);

private:
    void updateCount();
    void connectWidgets();
    void nameEnergySetup(const QString &seriesTitle);
    static void showWindow(QWidget *w);

    std::unique_ptr<Ui::SelectDataFiles> m_ui;
    EOFSetup *m_eofSetup = nullptr;
    SelectDataFilesAdditionalSetup *m_additionalSetup = nullptr;
    SelectImgDialog *m_fileDialog = nullptr;
};
