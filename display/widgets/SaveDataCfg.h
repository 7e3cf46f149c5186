#pragma once
// The save-data configuration: whether a result map is saved as a 16-bit TIFF
// (with an optional fixed scale, at full size or one sample per analysed bin)
// or as text (comma or space separated, one "X Y Val" line per bin or one line
// of values per bin row). The main window reads the choice when it saves.
#include <QFrame>

class QCheckBox;
namespace Ui {
class SaveDataCfg;
}

class SaveDataCfg : public QFrame {
    Q_OBJECT
public:
    explicit SaveDataCfg(QWidget *parent = nullptr);
    ~SaveDataCfg() override;

    bool saveAsTiff() const;
    bool tiffFixedScale() const;
    double tiffScaleMin() const;
    double tiffScaleMax() const;
    bool tiffAsAnalyzed() const;
    // The TIFF holds the map's values as 32-bit floats (NaN where no bin
    // was analysed) instead of a 16-bit picture of them.
    bool tiffAsFloat() const;
    bool textCommaSeparated() const;
    bool textXYVal() const;

public slots:
    // The text/TIFF option frames follow the chosen format.
    void toggledSaveAs(bool asTiff);
    void setSaveAsTiff();
    void setSaveAsText();
    void setSaveTiffScaleFixed(bool f);
    void setSaveTiffScaleMin(double v);
    void setSaveTiffScaleMax(double v);
    void setSaveTiffAsAnalyzed(bool f);
    void setSaveTiffAsFloat(bool f);
    void setSaveTextAsCSV();
    void setSaveTextAsSSV();
    void setSaveTextAsXYVal();
    void setSaveTextAsValValVal();

private:
    Ui::SaveDataCfg *ui;
    QCheckBox *m_asFloat = nullptr;
};
