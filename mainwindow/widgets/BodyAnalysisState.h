#pragma once
// What the main window keeps for the analysis panel and the data export;
// private to the Body*.cpp files. The map run in flight is the document's
// (SessionDocument::mapRun).
#include "mainwindow/widgets/Body.h"

class Analyzer;
class QFileDialog;
class SaveDataCfg;

struct Body::AnalysisState {
    Analyzer *analyzer = nullptr;
    SaveDataCfg *saveDataCfg = nullptr;
    QFileDialog *dataDialog = nullptr;
    QFileDialog *spectraDialog = nullptr;
};
