#include "app/ParamStore.h"
#include "app/DebugLog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TestSupport::writeFile;

TEST(ParamStore, ExactAnyCaseAndHistoryViews) {
    ParamStore store;
    store.set("DataRoot", "D:/a", " D:/a");
    store.set("batch", "x", " x 1");
    store.set("DataRoot", "D:/b", " D:/b");
    store.set("BATCH", "y", " y 2");

    EXPECT_TRUE(store.contains("DataRoot"));
    EXPECT_FALSE(store.contains("dataroot"));
    EXPECT_EQ(store.value("DataRoot"), "D:/b");
    EXPECT_EQ(store.value("dataroot", "none"), "none");
    EXPECT_EQ(store.valueAnyCase("DATAROOT"), "D:/b");
    EXPECT_EQ(store.valueAnyCase("Batch"), "y");
    EXPECT_EQ(store.valueAnyCase("missing", "dflt"), "dflt");
    EXPECT_EQ(store.rest("DataRoot"), " D:/b");

    EXPECT_EQ(store.history().size(), 4);
    EXPECT_EQ(store.allRests("Batch"), QStringList({" x 1", " y 2"}));
    EXPECT_TRUE(store.allRests("nothing").isEmpty());
    EXPECT_EQ(store.keys(), QStringList({"DataRoot", "batch", "BATCH"}));

    ParamStore variables; // batch variables: set a million times in a loop
    variables.setKeepHistory(false);
    for (int i = 0; i < 1000; ++i)
        variables.set("$i$", QString::number(i), QString::number(i));
    EXPECT_TRUE(variables.history().isEmpty());
    EXPECT_EQ(variables.value("$i$"), "999");
    EXPECT_EQ(variables.keys(), QStringList({"$i$"}));
}

class ConfigReader : public ::testing::Test {
protected:
    QString write(const QString &name, const QByteArray &text) {
        return writeFile(dir, name, text);
    }
    QTemporaryDir dir;
    ParamStore store;
};

TEST_F(ConfigReader, KeyValueRestWithCommentsAndQuotes) {
    const QString path = write("a.cfg", "DataRoot  D:/scan   # the data\n"
                                        "BatchRoot \"D:/my data\"\n"
                                        "dataroot E:/lower\n"
                                        "batch :echo a # comment\n"
                                        "Name \"it's\" # still text\n"
                                        "   \n"
                                        "# only a comment\n"
                                        "errpoints ep.dat\n");
    store.readConfigFile(path);

    EXPECT_EQ(store.value("DataRoot"), "D:/scan");
    EXPECT_EQ(store.rest("DataRoot"), "  D:/scan   ");
    EXPECT_EQ(store.value("BatchRoot"), "D:/my data");
    EXPECT_EQ(store.value("dataroot"), "E:/lower");
    EXPECT_EQ(store.allRests("batch"), QStringList({" :echo a "}));
    // The apostrophe inside the quoted word leaves the quote flag on, so the
    // "#" after it is ordinary text.
    EXPECT_EQ(store.rest("Name"), " \"it's\" # still text");
    EXPECT_EQ(store.valueAnyCase("ErrPoints"), "ep.dat");
    EXPECT_EQ(store.history().size(), 6);
}

TEST_F(ConfigReader, LaterLineReplacesAndUnbalancedQuoteIsReported) {
    DebugLog::Capture capture;
    const QString path = write("a.cfg", "DataRoot D:/one\nDataRoot D:/two\n\"abc\n");
    store.readConfigFile(path);
    EXPECT_EQ(store.value("DataRoot"), "D:/two");
    EXPECT_EQ(store.allRests("DataRoot").size(), 2);
    EXPECT_TRUE(store.contains("abc"));
    EXPECT_EQ(store.value("abc", "x"), "");
    EXPECT_TRUE(capture.contains("item is started from quote but not ended by quote"));
}

TEST_F(ConfigReader, IncludeReadsInPlaceRelativeToWorkingFolder) {
    write("sub/inc.cfg", "batch :echo included\nKey inner\n");
    const QString path =
        write("main.cfg", "batch :echo first\ninclude sub/inc.cfg\nbatch :echo last\n");
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    store.readConfigFile(path);
    QDir::setCurrent(oldCwd);
    EXPECT_EQ(store.allRests("batch"),
              QStringList({" :echo first", " :echo included", " :echo last"}));
    EXPECT_EQ(store.value("Key"), "inner");
    EXPECT_FALSE(store.contains("include"));
}

TEST_F(ConfigReader, MissingFilesAreReportedAndReadingGoesOn) {
    DebugLog::Capture capture;
    const QString missing = dir.filePath("none.cfg");
    const QString path = write("a.cfg", "INCLUDE " + missing.toUtf8() + "\nKey after\n");
    store.readConfigFile(path);
    EXPECT_EQ(store.value("Key"), "after");
    EXPECT_EQ(capture.lines().filter("Can't open config file : " + missing).size(), 1);

    store.readConfigFile(dir.filePath("also-missing.cfg"));
    EXPECT_TRUE(capture.contains("Can't open config file : " + dir.filePath("also-missing.cfg")));
}

TEST_F(ConfigReader, SelfInclusionIsRefused) {
    DebugLog::Capture capture;
    const QString a = dir.filePath("a.cfg");
    const QString b = dir.filePath("b.cfg");
    write("a.cfg", "batch one\nINCLUDE " + b.toUtf8() + "\n");
    write("b.cfg", "batch two\nINCLUDE " + a.toUtf8() + "\nINCLUDE " + b.toUtf8() + "\n");
    store.readConfigFile(a);
    EXPECT_EQ(store.allRests("batch"), QStringList({" one", " two"}));
    EXPECT_EQ(capture.lines().filter("includes itself").size(), 2);
}

TEST_F(ConfigReader, IncludeDepthIsBounded) {
    DebugLog::Capture capture;
    const int files = ParamStore::MaxIncludeDepth + 5;
    for (int i = 0; i < files; ++i)
        write(QString("c%1.cfg").arg(i), "batch " + QByteArray::number(i) + "\nINCLUDE " +
                                             dir.filePath(QString("c%1.cfg").arg(i + 1)).toUtf8() +
                                             "\n");
    store.readConfigFile(dir.filePath("c0.cfg"));
    EXPECT_EQ(store.allRests("batch").size(), ParamStore::MaxIncludeDepth);
    EXPECT_TRUE(capture.contains("nested deeper than"));
}
