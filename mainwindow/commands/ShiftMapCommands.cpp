#include "mainwindow/commands/ShiftMapCommands.h"

#include "session/SessionDocument.h"

#include <QCoreApplication>

namespace {

bool running(const ShiftMapCommands::Calibration &c) {
    return c.running && c.running();
}

} // namespace

QString ShiftMapCommands::load(SessionDocument &doc, const Calibration &calibration,
                               const QString &file) {
    if (running(calibration))
        return QCoreApplication::translate("ShiftMapCommands",
                                           "Calibration running: not loading ") +
               file;
    return doc.readShiftMap(file, calibration.fileOptions ? calibration.fileOptions()
                                                          : EmpFile::LoadOptions());
}

void ShiftMapCommands::clear(SessionDocument &doc, const Calibration &calibration) {
    if (!running(calibration))
        doc.clearShiftMap();
}

void ShiftMapCommands::add(CommandSet &set, SessionDocument &doc, Calibration calibration) {
    set.add(CALIB_LOAD_MAP,
            [&doc, calibration](const CmdLine &c) { return load(doc, calibration, c.arg(0)); });
    set.add(CALIB_CLEAR_MAP, [&doc, calibration](const CmdLine &) {
        clear(doc, calibration);
        return QString();
    });
}
