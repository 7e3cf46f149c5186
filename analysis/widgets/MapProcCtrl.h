#pragma once
// Map processing of the analysis panel (mode "SelProcMaps"): map 1 and map 2
// filled by loading an ".emp" file or by capturing the map shown, combined bin
// by bin (Sub, Mask, Div) into "Processed Map"; which of the three is shown.
#include "analysis/EmpFile.h"
#include "analysis/SumUp.h"

#include <QFrame>
#include <functional>

class Analyzed2DRes;
class QFileDialog;
namespace Ui {
class MapProcCtrl;
}

class MapProcCtrl : public QFrame {
    Q_OBJECT
public:
    MapProcCtrl(Analyzed2DRes *map1, Analyzed2DRes *map2, Analyzed2DRes *processed,
                QWidget *parent = nullptr);
    ~MapProcCtrl() override;

    // The map shown in this mode: map 1, map 2 or the processed map.
    Analyzed2DRes *selectedMap() const;
    MapOperation operation() const;
    // What Capture copies (the panel's map of the mode used before this one).
    void setCaptureSource(std::function<Analyzed2DRes *()> source) { m_source = source; }
    // The bins of the window's images that Process combines the maps over (a
    // grid of no width: no images, the grid of map 1 is used).
    void setGridSource(std::function<AnalyzeCond()> grid) { m_grid = std::move(grid); }

signals:
    void loadMap(const QString &fname, Analyzed2DRes &map, EMPHeader &header);
    void changedSelection();

public slots:
    void captureAsMap1();
    void captureAsMap2();
    void processMaps();
    // As if the file had been chosen in the dialog of map 1 (2).
    void loadMap1(const QString &fname);
    void loadMap2(const QString &fname);

private:
    QFileDialog *openDialog();
    void capture(Analyzed2DRes *target, class QLineEdit *name);
    void load(const QString &fname, Analyzed2DRes *target, class QLineEdit *name);

    Ui::MapProcCtrl *ui;
    Analyzed2DRes *m_map1;
    Analyzed2DRes *m_map2;
    Analyzed2DRes *m_processed;
    std::function<Analyzed2DRes *()> m_source;
    std::function<AnalyzeCond()> m_grid;
};
