#include "mainwindow/widgets/SeriesRunCommands.h"

#include "analysis/RunBoard.h"
#include "analysis/SeriesAlignRun.h"
#include "analysis/widgets/ImgProc.h"
#include "app/UserMessages.h"
#include "batch/ExCmdTable.h"
#include "mainwindow/widgets/Body.h"
#include "mainwindow/widgets/ComponentRunControl.h"

SeriesRunCommands::SeriesRunCommands(Body *body) : QObject(body), m_body(body) {}

void SeriesRunCommands::registerCommands() {
    registerAlignCommand();
    registerComponentCommands();
}

// align_series METHOD UPSAMPLE REFERENCE: the processor's group shows the
// settings and runs them.
void SeriesRunCommands::registerAlignCommand() {
    Body *b = m_body;
    b->registerCommand(ALIGN_SERIES, [b](const CmdLine &cmd) {
        ImgProc *proc = b->imgProc();
        SeriesAlignment::Request r = proc->alignRequest();
        QString why;
        bool started = false;
        if (!SeriesAlignment::parseRequest(cmd.args, &r, &why)) {
            UserMessages::refuse(tr("align_series refused: %1").arg(why));
        } else if (b->alignRun()->isRunning()) {
            UserMessages::refuse(tr("align_series refused: an alignment is running"));
        } else {
            proc->setAlignRequest(r);
            started = b->startAlignment(r);
        }
        if (!started || !b->document().runs().answerAtEnd(b->alignRun(), ALIGN_SERIES))
            emit b->finishBatchExec(ALIGN_SERIES);
    });
}

void SeriesRunCommands::registerComponentCommands() {
    Body *b = m_body;
    b->componentRunControl()->registerCommands(
        [b](EX_CMD_ID id, Body::CommandHandler h) { b->registerCommand(id, std::move(h)); },
        [b](EX_CMD_ID id) { emit b->finishBatchExec(id); });
}
