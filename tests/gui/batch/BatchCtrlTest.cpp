#include "batch/widgets/BatchCtrl.h"
#include "app/AppSettings.h"
#include "app/DebugLog.h"
#include "support/TestSupport.h"

#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <gtest/gtest.h>

namespace {

template <typename T> T *child(QWidget &w, const char *name) {
    T *found = w.findChild<T *>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

} // namespace

TEST(BatchCtrl, NamedWidgetsAndTexts) {
    BatchCtrl ctrl;
    const QList<QPair<const char *, QString>> buttons = {
        {"Load", "Load"},   {"Save", "Save"},  {"ClearLog", "Clear Log"},
        {"Clear", "Clear"}, {"Exec", "Exec."}, {"Stop", "Stop"}};
    for (const auto &b : buttons)
        EXPECT_EQ(child<QPushButton>(ctrl, b.first)->text(), b.second);
    auto *tabs = ctrl.findChild<QTabWidget *>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), "Batch Cmds");
    EXPECT_EQ(tabs->tabText(1), "Progress Log");
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(child<QPlainTextEdit>(ctrl, "BatchCmds")));
    EXPECT_TRUE(tabs->widget(1)->isAncestorOf(child<QPlainTextEdit>(ctrl, "BatchLogs")));
}

TEST(BatchCtrl, ButtonsDispatchStopAndClear) {
    BatchCtrl ctrl;
    QSignalSpy dispatched(&ctrl, &BatchCtrl::doDispatchCmds);
    QSignalSpy stopped(&ctrl, &BatchCtrl::batchStop);
    child<QPlainTextEdit>(ctrl, "BatchCmds")->setPlainText(":echo a\n\nquit");
    QTest::mouseClick(child<QPushButton>(ctrl, "Exec"), Qt::LeftButton);
    ASSERT_EQ(dispatched.size(), 1);
    EXPECT_EQ(dispatched.at(0).at(0).toStringList(), QStringList({":echo a", "", "quit"}));
    ctrl.execBatchSlot();
    EXPECT_EQ(dispatched.size(), 2);

    QTest::mouseClick(child<QPushButton>(ctrl, "Stop"), Qt::LeftButton);
    EXPECT_EQ(stopped.size(), 1);

    ctrl.Log("one\n");
    ctrl.Log("two");
    EXPECT_EQ(ctrl.logText(), "one\ntwo");
    QTest::mouseClick(child<QPushButton>(ctrl, "ClearLog"), Qt::LeftButton);
    EXPECT_TRUE(ctrl.logText().isEmpty());
    QTest::mouseClick(child<QPushButton>(ctrl, "Clear"), Qt::LeftButton);
    EXPECT_TRUE(ctrl.batchText().isEmpty());
}

TEST(BatchCtrl, SaveAndLoadFiles) {
    QTemporaryDir dir;
    BatchCtrl ctrl;
    child<QPlainTextEdit>(ctrl, "BatchCmds")->setPlainText(":for i X 1 2\nseek_image X\n:next i");
    const QString path = dir.filePath("run.bat");
    ctrl.save(path);
    EXPECT_EQ(TestSupport::readFile(path), ":for i X 1 2\nseek_image X\n:next i");

    ctrl.clear();
    ctrl.setBatchFile(path);
    EXPECT_EQ(ctrl.batchText(), ":for i X 1 2\nseek_image X\n:next i\n");

    ctrl.load(dir.filePath("missing.bat")); // silently keeps the text
    EXPECT_EQ(ctrl.batchText(), ":for i X 1 2\nseek_image X\n:next i\n");
    ctrl.save(dir.filePath("no/such/folder/x.bat"));
    EXPECT_FALSE(QFile::exists(dir.filePath("no/such/folder/x.bat")));
}

// Whatever the locale's encoding, a saved batch with non-ASCII file names
// loads back as it was written.
TEST(BatchCtrl, SavedBatchLoadsBackUnchangedInAnyLocaleEncoding) {
    QTextCodec *const previous = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    QTemporaryDir dir;
    BatchCtrl ctrl;
    const QString text = QString("save_image D:/caf") + QChar(0xe9) + "/a.png\n";
    child<QPlainTextEdit>(ctrl, "BatchCmds")->setPlainText(text);
    ctrl.save(dir.filePath("run.bat"));
    ctrl.clear();
    ctrl.load(dir.filePath("run.bat"));
    QTextCodec::setCodecForLocale(previous);
    EXPECT_EQ(ctrl.batchText(), text);
}

TEST(BatchCtrl, DialogsStartInBatchRoot) {
    QTemporaryDir dir;
    AppSettings::setBatchRoot(dir.path());
    BatchCtrl ctrl;
    AppSettings::resetDefaults();
    QTest::mouseClick(child<QPushButton>(ctrl, "Load"), Qt::LeftButton);
    EXPECT_TRUE(ctrl.loadDialog()->isVisible());
    EXPECT_EQ(ctrl.loadDialog()->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(ctrl.saveDialog()->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(QDir(ctrl.loadDialog()->directory()).canonicalPath(),
              QDir(dir.path()).canonicalPath());
    EXPECT_EQ(ctrl.saveDialog()->nameFilters(),
              QStringList({"Batch File (*.bat)", "Any Files (* *.*)"}));
    ctrl.loadDialog()->hide();
}

TEST(BatchCtrl, CommandErrorGoesToBothLogs) {
    DebugLog::Capture capture;
    BatchCtrl ctrl;
    ctrl.showCmdErr(CmdLine::parse("  save_image   a.png # note"));
    EXPECT_EQ(ctrl.logText(), "Err: save_image a.png\n");
    EXPECT_TRUE(capture.lines().contains("cmd save_image a.png"));
    EXPECT_TRUE(capture.lines().contains("Err: save_image a.png"));
}

// A batch may log without end: the window keeps its last lines under a note
// of how many went, and cuts an overlong line (a 10 MB echo), while the debug
// log still gets everything.
TEST(BatchCtrl, LogKeepsItsLastLinesAndCutsOverlongOnes) {
    DebugLog::Capture capture;
    BatchCtrl ctrl;
    auto *log = child<QPlainTextEdit>(ctrl, "BatchLogs");
    EXPECT_FALSE(log->isUndoRedoEnabled());
    ctrl.setLogLimits(100, 50);
    for (int i = 1; i <= 1000; ++i)
        ctrl.Log(QString("line %1\n").arg(i));
    const QStringList lines = ctrl.logText().split('\n');
    EXPECT_LE(lines.size(), 100 + 100 / 8 + 2);
    EXPECT_EQ(lines.first(),
              QString("[... %1 earlier lines dropped from this window; the debug log keeps them "
                      "all ...]")
                  .arg(ctrl.droppedLogLines()));
    EXPECT_EQ(ctrl.droppedLogLines() + lines.size() - 2, 1000);
    EXPECT_EQ(lines.at(1), QString("line %1").arg(ctrl.droppedLogLines() + 1));
    EXPECT_EQ(lines.at(lines.size() - 2), "line 1000");

    ctrl.logMirrored("echo " + QString(10 << 20, 'e'));
    EXPECT_TRUE(ctrl.logText().endsWith(" ... [10485715 characters cut]"))
        << ctrl.logText().right(60).toStdString();
    EXPECT_EQ(capture.lines().last().size(), 5 + (10 << 20));
    ctrl.clearLog();
    EXPECT_EQ(ctrl.droppedLogLines(), 0);
}
