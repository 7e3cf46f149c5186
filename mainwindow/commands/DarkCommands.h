#pragma once
// load_dark FILE and clear_dark on the session document. A dark given as an
// HDF5 stack file is that stack's dark image, read with the layout the I1
// series' loads would use (stackLayout).
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace DarkCommands {

void add(CommandSet &set, SessionDocument &doc, std::function<QString()> stackLayout);

} // namespace DarkCommands
