#include "batch/CmdLine.h"
#include "batch/ExCmdTable.h"

#include <gtest/gtest.h>

TEST(CmdLine, ParsesCommandAndArguments) {
    const CmdLine c = CmdLine::parse("  load_I1_files   NEW \"D:/my data/a.tif\" \"\"  b.tif ");
    EXPECT_TRUE(c.valid);
    EXPECT_FALSE(c.control);
    EXPECT_EQ(c.command, "load_I1_files");
    EXPECT_EQ(c.args, QStringList({"NEW", "D:/my data/a.tif", "b.tif"}));
    EXPECT_EQ(c.lineText, "load_I1_files NEW \"D:/my data/a.tif\" \"\" b.tif");
    EXPECT_EQ(c.arg(5), "");
}

TEST(CmdLine, HashEndsMessageTextButNotItems) {
    const CmdLine c = CmdLine::parse(":echo a # b");
    EXPECT_TRUE(c.control);
    EXPECT_EQ(c.lineText, ":echo a");
    EXPECT_EQ(c.args, QStringList({"a", "#", "b"}));

    EXPECT_FALSE(CmdLine::parse("   # only a comment").valid);
    EXPECT_FALSE(CmdLine::parse(" \t ").valid);
}

TEST(ExCmdTable, EveryIdentifierRoundTripsInAnyCase) {
    for (int id = 0; id < ExCmdTable::Count; ++id) {
        const QString name = ExCmdTable::nameOf(id);
        EXPECT_EQ(ExCmdTable::idOf(name), id) << name.toStdString();
        EXPECT_EQ(ExCmdTable::idOf(name.toUpper()), id);
        EXPECT_EQ(ExCmdTable::idOf(name.toLower()), id);
    }
    EXPECT_EQ(ExCmdTable::nameOf(LOAD_I1_FILES), "load_I1_files");
    EXPECT_EQ(ExCmdTable::nameOf(XAFS_VIEW_ENERUGY_CORRECTION), "xafs_view_enerugy_correction");
    EXPECT_EQ(ExCmdTable::nameOf(QUIT), "quit");
    EXPECT_EQ(ExCmdTable::nameOf(USE_I0), "Use_I0");
    EXPECT_EQ(ExCmdTable::nameOf(CLEAR_I1_DARK_AREA), "clear_i1_dark_area");
    EXPECT_EQ(ExCmdTable::nameOf(126), "not ex cmd");
}

TEST(ExCmdTable, UnknownNamesAndIdentifiers) {
    EXPECT_EQ(ExCmdTable::idOf("no_such_command"), NOT_EX_CMD);
    EXPECT_FALSE(ExCmdTable::isExternal("not ex cmd"));
    EXPECT_FALSE(ExCmdTable::isExternal(":for"));
    EXPECT_TRUE(ExCmdTable::isExternal("SEEK_IMAGE"));
    EXPECT_EQ(ExCmdTable::nameOf(127), "UnKnow ExCMD id");
    EXPECT_EQ(ExCmdTable::nameOf(-1), "UnKnow ExCMD id");
}

// Commands added after the built-in table keep every built-in identifier and
// are found by name in any case like the others.
TEST(ExCmdTableTest, ExtensionCommandsFollowTheBuiltInTable) {
    const QVector<EX_CMD_ID> ids = ExCmdTable::allIds();
    ASSERT_EQ(ids.size(), ExCmdTable::Count + ExCmdTable::ExtensionCount);
    EXPECT_EQ(ids.at(126), NOT_EX_CMD);
    for (int k = ExCmdTable::Count; k < ids.size(); ++k) {
        const QString name = ExCmdTable::nameOf(ids.at(k));
        EXPECT_GT(int(ids.at(k)), int(NOT_EX_CMD));
        EXPECT_EQ(ExCmdTable::idOf(name.toUpper()), ids.at(k)) << name.toStdString();
        EXPECT_TRUE(ExCmdTable::isExternal(name));
    }
    EXPECT_EQ(ExCmdTable::idOf("analyzer_set_fixed_e0"), ANALYZER_SET_FIXED_E0);
    EXPECT_EQ(ExCmdTable::nameOf(ANALYZER_SELECT_SIGMA_IMAGE), "analyzer_select_sigma_image");
    EXPECT_EQ(ExCmdTable::nameOf(ExCmdTable::FirstExtension + ExCmdTable::ExtensionCount),
              "UnKnow ExCMD id");
}
