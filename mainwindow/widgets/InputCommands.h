#pragma once
// The batch commands of inputs that a session holds and the window sets by
// hand. Those acting on the session document (the dark frame, the background
// and total-I0 spectra, the energy-shift map file, the registration shifts,
// the current point) come
// from the window-free command set (mainwindow/commands); the window's views
// follow the document's events. The rest set fields as the user would: the
// dark exposure, the edge-jump threshold, the LCF range and the "LCF as old"
// box, the emptying of reference rows and the I0 energies following I1. So a
// session, a recorded batch and a user reach the same state by the same path.
#include "batch/CmdLine.h"

#include <QObject>
#include <QString>

class Body;

class InputCommands : public QObject {
    Q_OBJECT
public:
    explicit InputCommands(Body *body);

    // Registers the commands with the window (refusals to the user messages).
    void registerCommands();

    // The object names of the fields set_dark_exp_time, suggesting_jump_th
    // and analyzer_set_LCF_range set (the last two in the analysis panel).
    static const char *const DarkExposureField;
    static const char *const JumpThresholdField;
    static const char *const LcfRangeStartField;
    static const char *const LcfRangeEndField;

private:
    void registerDocumentCommands();

    Body *m_body;
};
