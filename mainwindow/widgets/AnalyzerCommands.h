#pragma once
// The batch commands of the analysis panel and of its element panel. Each
// sets a field as the user would or calls the slot a button calls. The map
// runs (LCF/MLCF, residual absorption, elements) answer the dispatcher when
// they end (also when stopped); a run that cannot start answers at once, so
// a batch never waits for ever.
#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <QObject>

class Body;

class AnalyzerCommands : public QObject {
    Q_OBJECT
public:
    explicit AnalyzerCommands(Body *body);

    void registerCommands();

private:
    void registerFitCommands();
    void registerScaleCommands();
    void registerElemsCommands();
    void registerElemsBackgroundCommands();
    void runCommand(EX_CMD_ID id);
    void setFixedE0Command(const CmdLine &c);

    Body *m_body;
};
