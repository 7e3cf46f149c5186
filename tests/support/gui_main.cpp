// Test entry point for widget tests: a real QApplication on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

// Qt's platform plugins keep a few process-lifetime allocations; leak reports of
// those would drown real findings, so only memory errors are fatal in tests.
extern "C" const char *__asan_default_options() {
    return "detect_leaks=0";
}

int main(int argc, char **argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle("Fusion");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
