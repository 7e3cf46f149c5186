#pragma once
// The energy-shift map of the session document from and to nothing:
// calib_load_map FILE and calib_clear_map. While a calibration writes the map
// it is neither read over nor cleared.
#include "analysis/EmpFile.h"
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace ShiftMapCommands {

// What the calibration says about the map's file: whether a run is writing
// the map, and the edge energy and size check a file is read with.
struct Calibration {
    std::function<bool()> running;
    std::function<EmpFile::LoadOptions()> fileOptions;
};

// "" when read, else the refusal.
QString load(SessionDocument &doc, const Calibration &calibration, const QString &file);
// Nothing while a calibration runs.
void clear(SessionDocument &doc, const Calibration &calibration);

void add(CommandSet &set, SessionDocument &doc, Calibration calibration);

} // namespace ShiftMapCommands
