#pragma once
// The batch commands of the edge suggestion (the element, its edge, the edge
// energy and the pre- and post-edge limits), which set the window's fields as
// the user would and then normalise the references anew with what they set,
// and quit, which ends the program at the batch's end.
#include <QObject>

class Body;

class SettingsCommands : public QObject {
    Q_OBJECT
public:
    explicit SettingsCommands(Body *body);

    // Registers the commands with the window.
    void registerCommands();

private:
    void registerSuggestionCommands();

    Body *m_body;
};
