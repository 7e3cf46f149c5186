#include "mainwindow/commands/DarkCommands.h"

#include "session/SessionDocument.h"

void DarkCommands::add(CommandSet &set, SessionDocument &doc,
                       std::function<QString()> stackLayout) {
    set.addFileCommand(LOAD_DARK, [&doc, stackLayout](const QString &file) {
        return doc.loadDark(file, stackLayout ? stackLayout() : QString());
    });
    set.add(CLEAR_DARK, [&doc](const CmdLine &) {
        doc.clearDark();
        return QString();
    });
}
