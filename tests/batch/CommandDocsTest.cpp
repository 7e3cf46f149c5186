// The batch-language reference: every external command of the table carries a
// description, and docs/batch-reference.md is the current generated text.
#include "batch/CommandDocs.h"
#include "batch/BatchCheck.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

TEST(CommandDocs, EveryExternalCommandIsDescribedOnce) {
    EXPECT_TRUE(CommandDocs::undocumentedCommands().isEmpty())
        << "batch commands without a CommandDocs entry (batch/CommandDocs.cpp): "
        << CommandDocs::undocumentedCommands().join(", ").toStdString();
    QSet<int> seen;
    for (const CommandDocs::CommandDoc &d : CommandDocs::all()) {
        const std::string name = ExCmdTable::nameOf(d.id).toStdString();
        EXPECT_TRUE(ExCmdTable::isExternal(ExCmdTable::nameOf(d.id))) << "not a command: " << d.id;
        EXPECT_FALSE(seen.contains(d.id)) << "described twice: " << name;
        seen.insert(d.id);
        EXPECT_STRNE(d.arguments, "") << name;
        EXPECT_STRNE(d.effect, "") << name;
    }
    // The completion rules the window keeps: loads wait for the loader, runs
    // for their end, quit for nothing.
    const struct {
        EX_CMD_ID id;
        CommandDocs::Completion c;
    } rules[] = {{LOAD_I1_FILES_OF_PATTERN, CommandDocs::Completion::LoadEnds},
                 {ANALYZER_EXEC_LCF, CommandDocs::Completion::RunEnds},
                 {CALIB_EXEC, CommandDocs::Completion::RunEnds},
                 {CALIB_LOAD_MAP, CommandDocs::Completion::AtOnce},
                 {QUIT, CommandDocs::Completion::Never}};
    for (const auto &r : rules) {
        ASSERT_NE(CommandDocs::find(r.id), nullptr);
        EXPECT_EQ(CommandDocs::find(r.id)->completion, r.c)
            << ExCmdTable::nameOf(r.id).toStdString();
    }
}

TEST(CommandDocs, CommittedReferenceIsTheGeneratedOne) {
    const QString md = CommandDocs::referenceMarkdown();
    EXPECT_TRUE(md.contains("| `load_I1_files_of_pattern` | NEW, folder, filter ... |"));
    EXPECT_TRUE(md.contains("| `:for` |"));
    QFile file(QStringLiteral(LS_SOURCE_DIR "/docs/batch-reference.md"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()) == md)
        << "docs/batch-reference.md is out of date: "
           "lumenstack-tool batch-reference --out docs/batch-reference.md";
}

// The argument counts the check reads from the reference, and the batches
// this repository ships pass it: every documented count fits real use.
TEST(CommandDocs, ArgumentCountsFitTheShippedBatches) {
    const struct {
        const char *arguments;
        int min, max;
    } ranges[] = {{"none", 0, 0},
                  {"integer", 1, 1},
                  {"flag, [number or auto]", 1, 2},
                  {"NEW, file ...", 2, -1},
                  {"text", 1, -1}};
    for (const auto &r : ranges) {
        int min = -9, max = -9;
        BatchCheck::argumentRange(QString::fromLatin1(r.arguments), &min, &max);
        EXPECT_EQ(min, r.min) << r.arguments;
        EXPECT_EQ(max, r.max) << r.arguments;
    }
    QFile demo(QStringLiteral(LS_SOURCE_DIR "/examples/demo.bat"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    for (const BatchCheck::Problem &p : BatchCheck::check(QString::fromUtf8(demo.readAll())))
        ADD_FAILURE() << "demo.bat:" << p.line << ": " << p.text.toStdString();
}
