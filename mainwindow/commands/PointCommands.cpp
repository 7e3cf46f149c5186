#include "mainwindow/commands/PointCommands.h"

#include "session/SessionDocument.h"

#include <QCoreApplication>

void PointCommands::add(CommandSet &set, SessionDocument &doc) {
    set.add(MOVE_POSITION, [&doc](const CmdLine &c) {
        bool okX = false, okY = false;
        const int x = c.arg(0).toInt(&okX);
        const int y = c.arg(1).toInt(&okY);
        if (!okX || !okY)
            return CommandSet::refusal(
                MOVE_POSITION,
                QCoreApplication::translate("PointCommands",
                                            "X Y are a pixel's column and row, two integers"));
        doc.setCurrentPoint(QPoint(x, y));
        return QString();
    });
}
