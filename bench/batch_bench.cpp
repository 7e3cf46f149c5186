// Per-line cost of the batch language: parsing a line, and running a loop of
// control lines through the dispatcher on its own thread.
#include "batch/BatchDispatcher.h"
#include "batch/CmdLine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <benchmark/benchmark.h>

static void BM_ParseCommandLine(benchmark::State &state) {
    const QString line = "load_I1_files NEW \"D:/my data/scan_001.tif\" scan_002.tif # two";
    for (auto _ : state)
        benchmark::DoNotOptimize(CmdLine::parse(line));
}
BENCHMARK(BM_ParseCommandLine);

// Items are loop passes of two control lines (:let and :next), measured over
// whole batches of state.range(0) passes.
static void BM_DispatcherLoop(benchmark::State &state) {
    const int passes = int(state.range(0));
    QThread thread;
    auto *dispatcher = new BatchDispatcher;
    dispatcher->moveToThread(&thread);
    thread.start();
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(dispatcher, &BatchDispatcher::batchEnded, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            dispatcher, "doDispatchCmds",
            Q_ARG(QStringList,
                  QStringList({QString(":for i N 1 %1").arg(passes), ":let v $v$N", ":next i"})));
        loop.exec();
    }
    thread.quit();
    thread.wait();
    delete dispatcher;
    state.SetItemsProcessed(state.iterations() * passes);
}
BENCHMARK(BM_DispatcherLoop)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
