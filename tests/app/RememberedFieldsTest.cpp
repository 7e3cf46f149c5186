#include "app/RememberedFields.h"
#include "app/Startup.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using RememberedFields::Values;

namespace {

Values readBack(const QString &path) {
    ParamStore store;
    store.readConfigFile(path);
    return RememberedFields::fromStore(store);
}

} // namespace

// Written into the configuration, read back by the configuration reader: the
// user's lines stay, the block is replaced, a missing file is created.
TEST(RememberedFields, BlockRoundTripKeepsTheUsersLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("config.cfg");
    const Values first = {{"Body/HWidth", "2"},
                          {"SelectI1Files/Pattern", "(\\d|)\\d\\d\\d\\d_\\d\\d\\d\\d"},
                          {"Odd/Text", "it's \"50%\" # not a comment\tdé"},
                          {"Odd/Empty", ""}};
    QString error;
    ASSERT_TRUE(RememberedFields::save(path, first, &error)) << error.toStdString();
    EXPECT_EQ(readBack(path), first);

    const QByteArray above = "DataRoot \"/my data\"   # where scans live\n\nbatch :echo hi\n";
    const QByteArray below = "# my own note\nBatchRoot /b";
    const QByteArray block = TestSupport::readFile(path);
    TestSupport::writeFile(dir, "config.cfg", above + block + below);
    const Values second = {{"Body/HWidth", "3"}};
    ASSERT_TRUE(RememberedFields::save(path, second, &error));
    const QByteArray text = TestSupport::readFile(path);
    EXPECT_TRUE(text.startsWith(above + RememberedFields::BeginMarker.toUtf8()));
    EXPECT_TRUE(text.endsWith("\n" + below + "\n"));
    EXPECT_EQ(text.count(">>> Lumenstack"), 1);
    EXPECT_EQ(readBack(path), second);
    ParamStore store;
    store.readConfigFile(path);
    EXPECT_EQ(store.value("DataRoot"), "/my data");
    EXPECT_EQ(store.allRests("batch"), QStringList{" :echo hi"});

    // A file of the user's without a block gets one at its end.
    EXPECT_EQ(RememberedFields::replaceBlock("a 1", {{"X/Y", "z"}}),
              "a 1\n\n" + RememberedFields::BeginMarker + "\nRemember X/Y \"z\"\n" +
                  RememberedFields::EndMarker + "\n");
    // A folder where the file should be is reported, not replaced.
    EXPECT_FALSE(RememberedFields::save(dir.path(), second, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(RememberedFields, WrittenToTheConfigurationTheProgramReads) {
    QTemporaryDir dir;
    ParamStore none, given;
    given.set("-config", "/etc/ls.cfg");
    // No config.cfg yet: it is where the first save creates it.
    EXPECT_EQ(Startup::rememberPath(none, dir.path()), QDir(dir.path()).filePath("config.cfg"));
    EXPECT_FALSE(Startup::configGiven(none));
    EXPECT_EQ(Startup::rememberPath(given, dir.path()), "/etc/ls.cfg");
    EXPECT_TRUE(Startup::configGiven(given));
}
