// The batch language: the input is a batch text run by a real dispatcher.
// External commands are answered at once; a batch that would run on (a long
// loop) is stopped after a fixed number of logged lines.
#include "FuzzSupport.h"

#include "batch/BatchDispatcher.h"

#include <QCoreApplication>

namespace {

constexpr int MaxLoggedLines = 4000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzSupport::ensureApplication();
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    BatchDispatcher dispatcher;
    bool ended = false;
    int logged = 0;
    QObject::connect(&dispatcher, &BatchDispatcher::batchEnded, [&] { ended = true; });
    QObject::connect(&dispatcher, &BatchDispatcher::Log, [&](const QString &) {
        if (++logged == MaxLoggedLines)
            dispatcher.batchStopSlot();
    });
    QObject::connect(&dispatcher, &BatchDispatcher::execCmdSig, [&](const CmdLine &, bool) {
        QMetaObject::invokeMethod(&dispatcher, "finishBatchExec", Qt::QueuedConnection,
                                  Q_ARG(int, 0));
    });
    dispatcher.doDispatchCmds(text.split('\n'));
    while (!ended)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents(); // a late answer to a stopped batch
    return 0;
}
