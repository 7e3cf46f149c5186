#pragma once
// The entry point of a benchmark program that links the core libraries only:
// a QGuiApplication on the offscreen platform (unless another is asked for),
// with the debug log kept off the terminal so the figures stay readable.
#include <QGuiApplication>
#include <benchmark/benchmark.h>

inline int coreBenchMain(int argc, char **argv) {
    qputenv("LUMENSTACK_QUIET_LOG", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
