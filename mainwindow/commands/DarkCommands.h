#pragma once
// load_dark FILE and clear_dark on the session document. A dark given as an
// HDF5 stack file is that stack's dark image, read with the layout the I1
// series' loads would use (stackLayout). set_i1/i0_dark_area make the
// session's selected area the series' dark area; clear_i1/i0_dark_area
// switch it off.
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace DarkCommands {

void add(CommandSet &set, SessionDocument &doc, std::function<QString()> stackLayout);

} // namespace DarkCommands
