#pragma once
// A file dialog completes a typed name in a list that is a pop-up window of
// its own. Closing the dialog while the list is open left the list floating
// over the main window. Once installed, every file dialog of the program
// takes its completion lists down with it when it hides.
namespace DialogPopups {

// Idempotent; needs the application object.
void closeCompletionsWithTheirDialogs();

} // namespace DialogPopups
