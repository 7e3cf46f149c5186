#include "mainwindow/commands/ImageShiftCommands.h"

#include "app/UserMessages.h"
#include "session/SessionDocument.h"

void ImageShiftCommands::add(CommandSet &set, SessionDocument &doc) {
    set.add(LOAD_SHIFTS, [&doc](const CmdLine &c) {
        const UserMessage m = doc.loadShifts(c.arg(0));
        if (m.level == UserMessage::Level::Refusal)
            return m.text;
        UserMessages::hub().post(m.level, m.text);
        return QString();
    });
    set.add(CLEAR_SHIFTS, [&doc](const CmdLine &) {
        doc.clearShifts();
        return QString();
    });
}
