#include "mainwindow/commands/DarkCommands.h"

#include "session/SessionDocument.h"

namespace {

void addDarkAreaCommands(CommandSet &set, SessionDocument &doc, Series s, EX_CMD_ID setId,
                         EX_CMD_ID clearId) {
    set.add(setId, [&doc, s](const CmdLine &) {
        doc.setDarkArea(s, doc.inputs().area());
        return QString();
    });
    set.add(clearId, [&doc, s](const CmdLine &) {
        doc.clearDarkArea(s);
        return QString();
    });
}

} // namespace

void DarkCommands::add(CommandSet &set, SessionDocument &doc,
                       std::function<QString()> stackLayout) {
    set.addFileCommand(LOAD_DARK, [&doc, stackLayout](const QString &file) {
        return doc.loadDark(file, stackLayout ? stackLayout() : QString());
    });
    set.add(CLEAR_DARK, [&doc](const CmdLine &) {
        doc.clearDark();
        return QString();
    });
    addDarkAreaCommands(set, doc, Series::I1, SET_I1_DARK_AREA, CLEAR_I1_DARK_AREA);
    addDarkAreaCommands(set, doc, Series::I0, SET_I0_DARK_AREA, CLEAR_I0_DARK_AREA);
}
