#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "batch/widgets/BatchCtrl.h"
#include "mainwindow/widgets/Body.h"
#include "support/TestSupport.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using TestSupport::waitUntil;

namespace {

class BodyBatch : public ::testing::Test {
protected:
    void TearDown() override { AppSettings::params() = ParamStore(); }
    bool logHas(Body &body, const QString &text) {
        return waitUntil([&] { return body.batchCtrl()->logText().contains(text); });
    }
};

} // namespace

TEST_F(BodyBatch, ShellWindowAndBatchButton) {
    Body body;
    EXPECT_EQ(body.windowTitle(), "Lumenstack");
    auto *button = body.findChild<QPushButton *>("BatchCtrlB");
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(body.batchCtrl()->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(body.batchCtrl()->isVisible());

    QSignalSpy finishing(&body, &Body::finishing);
    body.show();
    body.close();
    EXPECT_EQ(finishing.size(), 1);
}

TEST_F(BodyBatch, ConfigurationBatchLinesRunAndErrPointsAreTaken) {
    AppSettings::params().set("batch", "", " :echo \"first\"");
    AppSettings::params().set("ErrPoints", "ep.dat", " ep.dat");
    AppSettings::params().set("BATCH", "", " :echo second");
    Body body;
    EXPECT_EQ(body.errPointsFileFromConfig(), "ep.dat");
    EXPECT_TRUE(logHas(body, "echo firstecho second"));
}

// Every command of the table has its handler now; what stays to check is a
// command the window refuses inside a remark block ("quit" there would end
// the program) and that the batch goes on after it.
TEST_F(BodyBatch, QuitInARemarkBlockIsReportedAndTheBatchGoesOn) {
    Body body;
    QSignalSpy finished(&body, &Body::finishBatchExec);
    emit body.batchCtrl()->doDispatchCmds({":rem_start", "quit", ":rem_end", ":echo done"});
    ASSERT_TRUE(logHas(body, "echo done"));
    EXPECT_TRUE(body.batchCtrl()->logText().contains("Err: quit\n"));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(NOT_EX_CMD));
}

TEST_F(BodyBatch, RegisteredHandlerRunsAndAnswersWhenItIsDone) {
    Body body;
    QStringList seen;
    body.registerCommand(SEEK_IMAGE, [&](const CmdLine &cmd) { seen << cmd.arg(0); });
    EXPECT_TRUE(body.hasCommandHandler(SEEK_IMAGE));
    emit body.batchCtrl()->doDispatchCmds({":let n 7", "SEEK_IMAGE $n$", ":echo after"});
    ASSERT_TRUE(waitUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen, QStringList({"7"}));
    QTest::qWait(50);
    EXPECT_FALSE(body.batchCtrl()->logText().contains("echo after")); // still waiting
    emit body.finishBatchExec(SEEK_IMAGE);
    EXPECT_TRUE(logHas(body, "echo after"));
}

TEST_F(BodyBatch, QuitEmitsFinishing) {
    Body body;
    QSignalSpy finishing(&body, &Body::finishing);
    emit body.batchCtrl()->doDispatchCmds({"Quit"});
    EXPECT_TRUE(waitUntil([&] { return finishing.size() == 1; }));
}

// Pictures are written whole or not at all; a save that fails is stated in
// the batch log and the batch goes on.
TEST_F(BodyBatch, FailedPictureSavesAreStatedInTheBatchLog) {
    QTemporaryDir dir;
    Body body;
    const QString missing = dir.filePath("no-such-folder/pic.png");
    emit body.batchCtrl()->doDispatchCmds({"save_image " + missing, ":echo done"});
    ASSERT_TRUE(logHas(body, "echo done"));
    const QString log = body.batchCtrl()->logText();
    EXPECT_TRUE(log.contains("Err: can not write " + missing + "\n"));
    EXPECT_TRUE(log.contains("Err: can not write " + dir.filePath("no-such-folder/pic-cBar.png")));
}
