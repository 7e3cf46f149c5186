#pragma once
// Additional setup of one image series: dark-area buttons and label, the
// show-latest and ignore-"Live" switches, and the series' error-point mask,
// which the loader applies to every file of the series.
#include "imageio/ErrPoints.h"

#include <QFrame>
#include <QRectF>
#include <memory>

class QFileDialog;
namespace Ui {
class SelectDataFilesAdditionalSetup;
}

class SelectDataFilesAdditionalSetup : public QFrame {
    Q_OBJECT
public:
    explicit SelectDataFilesAdditionalSetup(QWidget *parent = nullptr);
    ~SelectDataFilesAdditionalSetup() override;

    const ErrPoints &errPoints() const { return m_errPoints; }
    bool showLatest() const;
    void setShowLatest(bool on);
    bool ignoreLive() const;
    QFileDialog *errPsDialog() const { return m_errPsDialog; }
    // The layout HDF5 stack files are read with: a layout file's path or a
    // shipped layout's resource path (default: the generic layout).
    QString stackLayout() const;
    // Chooses a shipped layout by name, or a layout file (added to the list).
    void setStackLayout(const QString &fileOrName);
    QFileDialog *layoutDialog() const { return m_layoutDialog; }
    // Folder where the mask file dialog starts (DataRoot until set).
    void setDataRoot(const QString &folder);

signals:
    void setDarkArea();
    void clearDarkArea();

public slots:
    // Reads the series' mask; the file label shows the name on success and is
    // emptied on failure. An empty name just leaves an empty, unused mask.
    void errPsDefSelected(const QString &fileName);
    void toggledUseErrPs(bool on);
    void darkArea(const QRectF &area);

private:
    std::unique_ptr<Ui::SelectDataFilesAdditionalSetup> m_ui;
    QFileDialog *m_errPsDialog = nullptr;
    QFileDialog *m_layoutDialog = nullptr;
    ErrPoints m_errPoints;
};
