#pragma once
// The registration shifts of the I1 images in the session document:
// load_shifts FILE (a shift file, "index dx dy score" per line) and
// clear_shifts. What a load took is said to the user; a refused file leaves
// the shifts in use.
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace ImageShiftCommands {

void add(CommandSet &set, SessionDocument &doc);

} // namespace ImageShiftCommands
