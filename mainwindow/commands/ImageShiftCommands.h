#pragma once
// The registration shifts of the I1 images in the session document:
// load_shifts FILE (a shift file, "index dx dy score" per line), save_shifts
// FILE and clear_shifts. What a load took is said to the user; a refused file
// leaves the shifts in use.
#include "mainwindow/commands/CommandSet.h"

class SessionDocument;

namespace ImageShiftCommands {

// Called with the file a save wrote (the window writes what it was made
// from beside it).
using Saved = std::function<void(const QString &file)>;

// False when the file could not be written (said to the user).
bool save(const SessionDocument &doc, const QString &file, const Saved &saved);

void add(CommandSet &set, SessionDocument &doc, Saved saved = {});

} // namespace ImageShiftCommands
