#pragma once
// What the main window keeps for the analysis panel, its map runs and the
// data export; private to the Body*.cpp files.
#include "mainwindow/widgets/Body.h"
#include "spectrum/XafsSpectrum.h"

#include <QVector>

class Analyzer;
class MapRun;
class RunBoard;
class QFileDialog;
class SaveDataCfg;

struct Body::AnalysisState {
    enum class Run { None, LCF, RA, Elems };

    Analyzer *analyzer = nullptr;
    MapRun *run = nullptr;
    // Every run of the window (map, components, alignment) under one control.
    RunBoard *runs = nullptr;
    Run kind = Run::None;
    // The maps the current (or last) run writes, in the run's map order.
    QVector<Analyzed2DRes *> runMaps;
    // Copies of the reference spectra an LCF run reads: rows may load other
    // files while it goes on.
    QVector<XafsSpectrum> runReferences;
    // The command id a batch line waits on for the end of the run, -1 none.
    int batchWaiting = -1;
    // Ends already handled when a run was halted; their finished signals,
    // still queued, are dropped.
    int endsHandled = 0;

    SaveDataCfg *saveDataCfg = nullptr;
    QFileDialog *dataDialog = nullptr;
    QFileDialog *spectraDialog = nullptr;
};
