#pragma once
// The spectra read from files into the session document: the background
// (load_bg, clear_bg), normalised with the element suggestion in force, and
// the total-I0 spectra of either series (load/clear_total_i0_of_i1/i0).
#include "mainwindow/commands/CommandSet.h"
#include "spectrum/SuggestElm.h"

class SessionDocument;

namespace SpectrumCommands {

void add(CommandSet &set, SessionDocument &doc, std::function<SuggestElm()> suggestion);

} // namespace SpectrumCommands
