// Entry point shared by the benchmark programs: a QApplication on the offscreen
// platform (unless another is asked for), so that images, fonts, widgets and
// queued signals behave as in the program, with the debug log kept off the
// terminal so the figures stay readable.
#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char **argv) {
    qputenv("LUMENSTACK_QUIET_LOG", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
