#pragma once
// move_position X Y: the current point of the session document, exactly the
// pixel given (the views follow the document's currentPointChanged).
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace PointCommands {

void add(CommandSet &set, SessionDocument &doc);

} // namespace PointCommands
