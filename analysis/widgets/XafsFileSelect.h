#pragma once
// Chooser of one XAFS spectrum file: a use box, a read-only field with the
// chosen name, a "Select" button opening a file dialog and a "Clear" button.
// Used for the total-I0 spectra, the background spectrum and the reference
// rows of the analysis panel.
#include <QFrame>

class QFileDialog;
namespace Ui {
class XafsFileSelect;
}

class XafsFileSelect : public QFrame {
    Q_OBJECT
public:
    explicit XafsFileSelect(QWidget *parent = nullptr);
    ~XafsFileSelect() override;

    QString fileName() const { return m_fileName; }
    bool isLoaded() const { return m_loaded; }
    bool isUse() const;
    void setSelectText(const QString &text);
    // Shows fname as the file in use again, without announcing a new file:
    // after a chosen file was refused, the one still in use (empty: none).
    void revertTo(const QString &fname);
    QFileDialog *fileDialog() const { return m_dialog; }

signals:
    void newFile(const QString &fname);
    void cleared();
    void changedUse(bool use);

public slots:
    // As if the file had been chosen in the dialog.
    void fileSelected(const QString &fname);
    void clear();
    void setUse(bool use);
    void showUse(bool show);
    void setMaxSelectBW(int w);
    void setMaxClearBW(int w);

private:
    void showName(const QString &fname);

    Ui::XafsFileSelect *ui;
    QFileDialog *m_dialog;
    QString m_fileName;
    bool m_loaded = false;
};
