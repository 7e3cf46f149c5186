#include "batch/BatchDispatcher.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "batch/ExCmdTable.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// Stands in for the main window: records every external command it receives
// and answers finishBatchExec, at once or when told to.
class FakeExecutor : public QObject {
    Q_OBJECT
public:
    struct Received {
        QString command;
        QStringList args;
        bool inRem;
    };
    QVector<Received> received;
    bool answerAtOnce = true;

    void answer() { emit finishBatchExec(ExCmdTable::idOf(received.last().command)); }
    QStringList commands() const {
        QStringList out;
        for (const Received &r : received)
            out << (r.command + (r.args.isEmpty() ? "" : " " + r.args.join(' ')));
        return out;
    }

signals:
    void finishBatchExec(int id);

public slots:
    void execCmdSlot(CmdLine cmd, bool inRem) {
        received.append({cmd.command, cmd.args, inRem});
        if (answerAtOnce)
            answer();
    }
};

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        AppSettings::setDataRoot("D:/root");
        dispatcher = new BatchDispatcher;
        dispatcher->moveToThread(&thread);
        QObject::connect(dispatcher, &BatchDispatcher::execCmdSig, &executor,
                         &FakeExecutor::execCmdSlot);
        QObject::connect(&executor, &FakeExecutor::finishBatchExec, dispatcher,
                         &BatchDispatcher::finishBatchExec);
        QObject::connect(dispatcher, &BatchDispatcher::Log, &executor,
                         [this](const QString &text) { log += text; });
        QObject::connect(dispatcher, &BatchDispatcher::batchEnded, &executor, [this] { ++ended; });
        thread.start();
    }
    void TearDown() override {
        thread.quit();
        thread.wait();
        delete dispatcher;
        AppSettings::resetDefaults();
    }
    void dispatch(const QStringList &lines) {
        QMetaObject::invokeMethod(dispatcher, "doDispatchCmds", Q_ARG(QStringList, lines));
    }
    bool runToEnd(const QStringList &lines, int timeoutMs = 10000) {
        const int before = ended;
        dispatch(lines);
        return TestSupport::waitUntil([&] { return ended > before; }, timeoutMs);
    }

    QThread thread;
    BatchDispatcher *dispatcher = nullptr;
    FakeExecutor executor;
    QString log;
    int ended = 0;
};

} // namespace

TEST_F(Dispatcher, LoopRunsTheBodyWithEachValue) {
    ASSERT_TRUE(runToEnd({":for i XX 1 3", "seek_image XX", ":next i"}));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 1", "seek_image 2", "seek_image 3"}));
    EXPECT_TRUE(log.startsWith("for i : XX = 1\nseek_image : 1\nnext i : XX = 2\n"));
    EXPECT_TRUE(log.endsWith("seek_image : 3\nnext i : XX = 3\n"));
}

TEST_F(Dispatcher, ZeroPaddingCountingDownAndSteps) {
    ASSERT_TRUE(runToEnd({":FOR a N 001 003", "seek_image N", ":Next a"}));
    ASSERT_TRUE(runToEnd({":for b N 5 1 2", "seek_image N", ":next b"}));
    // Only the size of the step counts; its sign cannot send a loop astray.
    ASSERT_TRUE(runToEnd({":for c N 1 4 -3", "seek_image N", ":next c"}));
    ASSERT_TRUE(runToEnd({":for d N 2 2", "seek_image N", ":next d"}));
    EXPECT_EQ(executor.commands(),
              QStringList({"seek_image 001", "seek_image 002", "seek_image 003", "seek_image 5",
                           "seek_image 3", "seek_image 1", "seek_image 1", "seek_image 4",
                           "seek_image 2"}));
}

// Loops at the ends of the 64-bit range finish instead of wrapping round to
// the other end and counting on for ever.
TEST_F(Dispatcher, LoopsAtTheEndsOfTheIntegerRangeFinish) {
    ASSERT_TRUE(runToEnd(
        {":for a N 9223372036854775806 9223372036854775807 5", "seek_image N", ":next a"}));
    ASSERT_TRUE(runToEnd(
        {":for b N -9223372036854775807 -9223372036854775808", "seek_image N", ":next b"}));
    ASSERT_TRUE(runToEnd(
        {":for c N -9223372036854775808 -9223372036854775808", "seek_image N", ":next c"}));
    ASSERT_TRUE(runToEnd({":for d N 0 1 -9223372036854775808", "seek_image N", ":next d"}));
    ASSERT_TRUE(runToEnd({":for e N -01 -3", "seek_image N", ":next e"}));
    EXPECT_EQ(executor.commands(),
              QStringList({"seek_image 9223372036854775806", "seek_image -9223372036854775807",
                           "seek_image -9223372036854775808", "seek_image -9223372036854775808",
                           "seek_image 0", "seek_image -01", "seek_image -2", "seek_image -3"}));
}

TEST_F(Dispatcher, NestedLoopsAndRestartingAnOuterLoop) {
    ASSERT_TRUE(
        runToEnd({":for o X 1 2", ":for i Y 1 2", "move_position X Y", ":next i", ":next o"}));
    EXPECT_EQ(executor.commands(), QStringList({"move_position 1 1", "move_position 1 2",
                                                "move_position 2 1", "move_position 2 2"}));
}

// A :for drops the loop of the same name and every loop opened after it; its
// arguments are joined and read again as items, so a quoted "name placeholder"
// pair counts as two items.
TEST_F(Dispatcher, ForReplacesSameNameLoopsAndRereadsItsArguments) {
    ASSERT_TRUE(runToEnd({":for a A 1 1", ":for b B 7 7", ":for a A 2 2", "seek_image A B",
                          ":next b", ":for \"c C\" 3 3", "seek_image C"}));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 2 B", "seek_image 3"}));
    EXPECT_TRUE(log.contains("next  :  = \nfor c : C = 3\n"));
}

TEST_F(Dispatcher, VariablesAndSubstitution) {
    ASSERT_TRUE(runToEnd({":let dir D:/scan", "save_image $dir$/a.tif $DataRoot$/b",
                          ":let self x$self$", "save_image $self$", ":let empty",
                          "save_image [$empty$]", ":let v $dir$", "save_image $v$"}));
    EXPECT_EQ(executor.commands(),
              QStringList({"save_image D:/scan/a.tif D:/root/b",
                           // a value holding its own key is inserted once
                           "save_image x$self$", "save_image []",
                           // values are stored as written, keys replaced in order set
                           "save_image $dir$"}));
}

TEST_F(Dispatcher, EchoSubstitutesAndWritesTheDebugLog) {
    DebugLog::Capture capture;
    ASSERT_TRUE(
        runToEnd({":let who world", ":for i N 1 1", ":echo \"hello $who$ N\" x", ":next i"}));
    EXPECT_TRUE(log.contains("echo hello world 1next i")); // no line feed after echo
    EXPECT_TRUE(capture.lines().contains("echo hello world 1"));
    EXPECT_TRUE(executor.received.isEmpty());
}

TEST_F(Dispatcher, ContinuationLinesJoin) {
    ASSERT_TRUE(runToEnd({"load_I1_files NEW \\  ", "a.tif b.tif", "skip_i1 \\"}));
    EXPECT_EQ(executor.commands(), QStringList({"load_I1_files NEW a.tif b.tif", "skip_i1"}));
}

TEST_F(Dispatcher, RemarkBlocksBlankLinesAndUnknownNames) {
    ASSERT_TRUE(runToEnd({"", "# comment", "no_such_command 1", ":rem_start", ":let x 1",
                          "save_image $x$", ":echo hidden", ":rem_end", "save_image $x$"}));
    ASSERT_EQ(executor.received.size(), 2);
    EXPECT_TRUE(executor.received[0].inRem);
    EXPECT_FALSE(executor.received[1].inRem);
    EXPECT_EQ(executor.commands(), QStringList({"save_image $x$", "save_image $x$"}));
    EXPECT_EQ(log, "save_image : $x$\n");
}

TEST_F(Dispatcher, EndStopsAndTheNextBatchStartsFresh) {
    ASSERT_TRUE(runToEnd({"seek_image 1", ":end", "seek_image 2"}));
    ASSERT_TRUE(runToEnd({"seek_image 3"}));
    ASSERT_TRUE(runToEnd({":next nothing"}));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 1", "seek_image 3"}));
    EXPECT_TRUE(log.endsWith("next  :  = \n"));
}

TEST_F(Dispatcher, LinesDispatchedWhileRunningRunAfterwardsInOrder) {
    executor.answerAtOnce = false;
    dispatch({"seek_image 1", "seek_image 2"});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return executor.received.size() == 1; }));
    dispatch({"seek_image 3", ":end", "seek_image 4"});
    dispatch({"seek_image 5"});
    executor.answerAtOnce = true;
    executor.answer();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 3; }));
    EXPECT_EQ(executor.commands(),
              QStringList({"seek_image 1", "seek_image 2", "seek_image 3", "seek_image 5"}));
}

TEST_F(Dispatcher, StopAbandonsTheBatchAndIgnoresItsLateAnswer) {
    executor.answerAtOnce = false;
    dispatch({"seek_image 1", "seek_image 2"});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return executor.received.size() == 1; }));
    dispatch({"seek_image 9"}); // pending, dropped by the stop
    QMetaObject::invokeMethod(dispatcher, "batchStopSlot");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 1; }));
    executor.answer(); // the abandoned command answers late
    dispatch({"seek_image 3", "seek_image 4"});
    ASSERT_TRUE(TestSupport::waitUntil([&] { return executor.received.size() == 2; }));
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 1", "seek_image 3"}));
    executor.answerAtOnce = true;
    executor.answer();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 2; }));
    EXPECT_EQ(executor.commands().last(), "seek_image 4");
}

TEST_F(Dispatcher, HundredThousandIterationsDoNotGrowTheStack) {
    QObject::disconnect(dispatcher, &BatchDispatcher::Log, nullptr, nullptr);
    ASSERT_TRUE(runToEnd({":for i N 1 100000", ":next i", "seek_image N"}, 120000));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 100000"}));
}

TEST_F(Dispatcher, StopInterruptsALongControlLoop) {
    QObject::disconnect(dispatcher, &BatchDispatcher::Log, nullptr, nullptr);
    dispatch({":for i N 1 2000000000", ":next i", "seek_image N"});
    QThread::msleep(20);
    QMetaObject::invokeMethod(dispatcher, "batchStopSlot");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 1; }, 20000));
    EXPECT_TRUE(executor.received.isEmpty());
}

// Each variable holds two copies of the previous one's key. Defined newest
// first, one substitution pass expands them all: $v23$ would become 2^23
// copies of v0's value (the hostile 24-line batch that took minutes and
// gigabytes before substitution was bounded).
QStringList doublingVariables(int n) {
    QStringList lines;
    for (int k = n - 1; k >= 1; --k)
        lines << QString(":let v%1 $v%2$$v%2$").arg(k).arg(k - 1);
    lines << ":let v0 abcdefgh";
    return lines;
}

TEST_F(Dispatcher, ExpansionPastTheBoundIsAnErrorNamingTheLineAndTheBatchGoesOn) {
    QStringList lines = doublingVariables(24);
    lines << "seek_image $v23$"
          << ":echo $v23$"
          << "seek_image $v16$"
          << "seek_image $v2$";
    ASSERT_TRUE(runToEnd(lines));
    EXPECT_TRUE(log.contains("Err: line 25: the text expands beyond 1048576 characters: "
                             "seek_image $v23$\n"));
    EXPECT_TRUE(log.contains("Err: line 26: "));
    ASSERT_EQ(executor.received.size(), 2); // the refused line is not sent
    EXPECT_EQ(executor.received.at(0).args.value(0).size(), 8 << 16);
    EXPECT_EQ(executor.commands().last(), "seek_image abcdefghabcdefghabcdefghabcdefgh");
}

// Stop raises the flag at once (from the window's thread); no line runs
// while it is up, and the queued batchStopSlot ends the batch and lowers it.
TEST_F(Dispatcher, StopRequestHaltsLinesUntilTheStopSlotEndsTheBatch) {
    dispatcher->requestStop();
    dispatch(doublingVariables(24) << "seek_image $v23$");
    QThread::msleep(50);
    QCoreApplication::processEvents();
    EXPECT_TRUE(executor.received.isEmpty());
    QMetaObject::invokeMethod(dispatcher, "batchStopSlot");
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 1; }));
    ASSERT_TRUE(runToEnd({"seek_image 5"}));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 5"}));
}

// With acknowledged logs, texts the window has not shown hold a loop back
// (instead of piling up in the event queue); once shown, the loop runs on.
TEST_F(Dispatcher, UnshownLogTextsHoldALongLoopBack) {
    dispatcher->acknowledgeLogs();
    dispatch({":for i N 1 20000", ":next i", "seek_image N"});
    QThread::msleep(300);
    QCoreApplication::processEvents();
    QObject::connect(dispatcher, &BatchDispatcher::Log, &executor,
                     [this] { dispatcher->logShown(); });
    const int shown = log.count('\n');
    EXPECT_GT(shown, BatchDispatcher::MaxLogBacklog);
    EXPECT_LE(shown, BatchDispatcher::MaxLogBacklog + 2 * BatchDispatcher::LinesPerEvent + 1);
    EXPECT_EQ(ended, 0);
    for (int i = 0; i < shown; ++i)
        dispatcher->logShown();
    ASSERT_TRUE(TestSupport::waitUntil([&] { return ended == 1; }, 120000));
    EXPECT_EQ(executor.commands(), QStringList({"seek_image 20000"}));
}

#include "BatchDispatcherTest.moc"
