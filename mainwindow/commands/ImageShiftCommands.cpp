#include "mainwindow/commands/ImageShiftCommands.h"

#include "app/UserMessages.h"
#include "session/SessionDocument.h"

bool ImageShiftCommands::save(const SessionDocument &doc, const QString &file, const Saved &saved) {
    if (!doc.saveShifts(file)) {
        UserMessages::error(QStringLiteral("can not write %1").arg(file));
        return false;
    }
    if (saved)
        saved(file);
    return true;
}

void ImageShiftCommands::add(CommandSet &set, SessionDocument &doc, Saved saved) {
    set.add(LOAD_SHIFTS, [&doc](const CmdLine &c) {
        const UserMessage m = doc.loadShifts(c.arg(0));
        if (m.level == UserMessage::Level::Refusal)
            return m.text;
        UserMessages::hub().post(m.level, m.text);
        return QString();
    });
    set.addFileCommand(SAVE_SHIFTS, [&doc, saved](const QString &file) {
        save(doc, file, saved);
        return QString();
    });
    set.add(CLEAR_SHIFTS, [&doc](const CmdLine &) {
        doc.clearShifts();
        return QString();
    });
}
