#pragma once
// The batch commands of the calibration window: show it, read the standard,
// set the edge energy and the method, run the calibration (answered when the
// run ends) and save the energy-shift map it fills. calib_load_map and
// calib_clear_map act on the document (InputCommands).
#include <QObject>

class Body;

class CalibCommands : public QObject {
    Q_OBJECT
public:
    explicit CalibCommands(Body *body);

    void registerCommands();

private:
    Body *m_body;
};
