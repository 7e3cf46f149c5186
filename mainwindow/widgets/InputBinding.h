#pragma once
// Keeps the session's settings (SessionInputs) equal to the window's fields
// as they are edited: the bin, I0 use, fluorescence and exposure fields, the
// element suggestion, the selected area, and the analysis panel's settings
// and reference rows. Each is taken on the field's change signal, before the
// window's own reactions to the same signal, so those read the new values
// from the session.
#include <QObject>

class Analyzer;
class SessionInputs;
class QWidget;

class InputBinding : public QObject {
    Q_OBJECT
public:
    // window: the main window, whose fields are found by object name.
    InputBinding(QWidget *window, SessionInputs *inputs);

    // The window's own fields and the series panels' exposures (after the
    // window's form is set up, before the window connects to them).
    void watchWindowFields();
    // The analysis panel's settings and rows (when the panel is made).
    void watchAnalyzer(const Analyzer *analyzer);

private:
    void takeConditions();
    void takeSuggestion();
    void takeArea();
    void takeAnalysis();
    void takeReferences();

    QWidget *m_window;
    SessionInputs *m_inputs;
    const Analyzer *m_analyzer = nullptr;
};
