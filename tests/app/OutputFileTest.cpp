// Writing files: regular files are replaced whole or not at all, devices are
// written directly with every error reported (never replaced by a file).
#include "app/OutputFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool writeAll(const QString &path, const QByteArray &bytes, bool cancel = false) {
    OutputFile out(path);
    if (!out.open())
        return false;
    out.device()->write(bytes);
    if (cancel) {
        out.cancel();
        return false;
    }
    return out.commit();
}

} // namespace

TEST(OutputFile, RegularFilesAreReplacedWholeOrNotAtAll) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a.txt");
    ASSERT_TRUE(writeAll(path, "first"));
    EXPECT_EQ(TestSupport::readFile(path), "first");
    EXPECT_FALSE(writeAll(path, "second", true));
    EXPECT_EQ(TestSupport::readFile(path), "first");
    EXPECT_FALSE(writeAll(dir.filePath("missing/b.txt"), "x"));
    EXPECT_FALSE(writeAll(dir.path(), "x")); // a folder
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"a.txt"}));
}

// /dev/full takes nothing: the write must fail, and the device must stay a
// device (a temporary file renamed over it would replace it, for root).
TEST(OutputFile, DevicesAreWrittenDirectlyAndTheirErrorsReported) {
    if (!QFileInfo::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    OutputFile full("/dev/full");
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Text));
    EXPECT_TRUE(full.direct());
    full.device()->write(QByteArray(100000, 'x'));
    EXPECT_FALSE(full.commit());
    EXPECT_FALSE(QFileInfo("/dev/full").isFile());
    EXPECT_TRUE(writeAll("/dev/null", QByteArray(100000, 'x')));
    EXPECT_FALSE(QFileInfo("/dev/null").isFile());
}
