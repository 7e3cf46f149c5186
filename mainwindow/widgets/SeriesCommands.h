#pragma once
// The batch commands of the two image series: loads (by list or by a folder's
// name filters), clearing, the panels' cut, skip and "show latest" settings,
// the use of I0, and each panel's energy setup. They set the panels as the
// user would; a load answers the dispatcher when the loader's queue runs
// empty, everything else at once.
#include "batch/CmdLine.h"
#include "measurement/MeasurementStack.h"

#include <QObject>

class Body;
class SelectDataFiles;

class SeriesCommands : public QObject {
    Q_OBJECT
public:
    explicit SeriesCommands(Body *body);

    // Registers the commands with the window.
    void registerCommands();

private:
    void registerLoadCommands();
    void registerPanelCommands();
    void registerEnergyCommands();
    void load(Series s, int id, const CmdLine &cmd);
    void loadOfPattern(Series s, const CmdLine &cmd);
    SelectDataFiles *panel(Series s) const;

    Body *m_body;
};
