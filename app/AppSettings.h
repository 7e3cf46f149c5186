#pragma once
// Process-wide settings, written only during start-up and read by the rest of
// the program: the start folder of data file dialogs, the folder of the batch
// window's dialogs, the visibility of the second analysis panel's button, and
// the one store holding the command-line options and configuration entries.
#include "app/ParamStore.h"

#include <QString>

class AppSettings {
public:
    static const QString DefaultRoot; // "C:/Data"

    static QString dataRoot();
    static QString batchRoot();
    static bool showAnalyzer2Button();

    static void setDataRoot(const QString &folder);
    static void setBatchRoot(const QString &folder);
    static void setShowAnalyzer2Button(bool show);

    // The configuration file the windows' remembered fields are written to
    // when the main window closes (and read from at start); empty: nothing
    // is remembered, as in a batch run from the command line or in tests.
    static QString rememberPath();
    static void setRememberPath(const QString &path);

    // Back to the start-up defaults (both folders "C:/Data", button hidden,
    // nothing remembered).
    static void resetDefaults();

    // The process-wide store of options and configuration entries.
    static ParamStore &params();
};
