// Test entry point for core units: a QGuiApplication (offscreen) so that QImage,
// fonts, queued signals and worker threads behave as in the program.
#include <QGuiApplication>
#include <gtest/gtest.h>

// Qt's platform plugins keep a few process-lifetime allocations; leak reports of
// those would drown real findings, so only memory errors are fatal in tests.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
