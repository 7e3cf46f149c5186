// The window's batch commands, grouped by subject, each group a child of the
// window that registers its handlers with it.
#include "mainwindow/widgets/Body.h"

#include "mainwindow/widgets/AnalyzerCommands.h"
#include "mainwindow/widgets/CalibCommands.h"
#include "mainwindow/widgets/DisplayCommands.h"
#include "mainwindow/widgets/ExportCommands.h"
#include "mainwindow/widgets/SeriesCommands.h"
#include "mainwindow/widgets/SeriesRunCommands.h"
#include "mainwindow/widgets/SessionControl.h"
#include "mainwindow/widgets/SettingsCommands.h"

void Body::registerCommands() {
    (new SeriesCommands(this))->registerCommands();
    (new DisplayCommands(this))->registerCommands();
    (new SettingsCommands(this))->registerCommands();
    (new AnalyzerCommands(this))->registerCommands();
    (new ExportCommands(this))->registerCommands();
    (new CalibCommands(this))->registerCommands();
    (new SeriesRunCommands(this))->registerCommands();
    m_session->registerCommands();
}
