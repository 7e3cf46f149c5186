#include "app/Startup.h"
#include "app/AppSettings.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ParamStore collect(const QStringList &args) {
    ParamStore store;
    Startup::collectOptions(QStringList{"/opt/lumenstack"} + args, &store);
    return store;
}

class StartupSettings : public ::testing::Test {
protected:
    void SetUp() override { AppSettings::resetDefaults(); }
    void TearDown() override { AppSettings::resetDefaults(); }
};

} // namespace

TEST(CollectOptions, ValuesRestsAndMissingValues) {
    const ParamStore s = collect({"-d", "-e", "-b", "run.bat", "w1", "w2", "-x", "-br"});
    EXPECT_TRUE(s.contains("-d"));
    EXPECT_EQ(s.value("-d", "x"), ""); // directly followed by another option
    EXPECT_TRUE(s.contains("-e"));
    EXPECT_EQ(s.value("-b"), "run.bat");
    EXPECT_EQ(s.rest("-b"), "run.bat w1 w2");
    EXPECT_TRUE(s.contains("-x"));
    EXPECT_EQ(s.value("-br", "x"), ""); // last argument
    EXPECT_EQ(s.history().size(), 5);
    EXPECT_FALSE(s.contains("w1"));
}

TEST(CollectOptions, RepeatedOptionReplacesAndQtOptionsAreKept) {
    const ParamStore s = collect({"plain", "-c", "a.cfg", "-platform", "offscreen", "-c", "b.cfg"});
    EXPECT_EQ(s.value("-c"), "b.cfg");
    EXPECT_EQ(s.value("-platform"), "offscreen");
    EXPECT_FALSE(s.contains("plain"));
}

TEST(CollectOptions, RawArgumentsAreLatin1) {
    const char *argv[] = {"prog", "-d", "D:/caf\xe9"};
    ParamStore s;
    Startup::collectOptions(3, argv, &s);
    EXPECT_EQ(s.value("-d"), QString("D:/caf") + QChar(0xe9));
}

TEST(ConfigPath, DefaultBesideProgramThenCThenConfig) {
    QTemporaryDir dir;
    const QString appDir = dir.path();
    EXPECT_EQ(Startup::configPath(collect({}), appDir), "");
    const QString cfg = TestSupport::writeFile(dir, "config.cfg", "x 1\n");
    EXPECT_EQ(Startup::configPath(collect({}), appDir), QFileInfo(cfg).canonicalFilePath());
    EXPECT_EQ(Startup::configPath(collect({"-c", "one.cfg"}), appDir), "one.cfg");
    EXPECT_EQ(Startup::configPath(collect({"-config", "two.cfg", "-c", "one.cfg"}), appDir),
              "two.cfg");
}

TEST_F(StartupSettings, DefaultsWithoutOptionsOrConfiguration) {
    Startup::settleSettings(collect({}));
    EXPECT_EQ(AppSettings::dataRoot(), "C:/Data");
    EXPECT_EQ(AppSettings::batchRoot(), "C:/Data");
    EXPECT_FALSE(AppSettings::showAnalyzer2Button());
    const Startup::Options o = Startup::options(collect({}));
    EXPECT_TRUE(o.batchFile.isEmpty());
    EXPECT_FALSE(o.execBatch);
    EXPECT_FALSE(o.noTranslation);
}

TEST_F(StartupSettings, OptionsOverrideConfiguration) {
    ParamStore s = collect({"-d", "/data", "-showA2B"});
    s.set("DataRoot", "/cfg-data");
    s.set("BatchRoot", "/cfg-batch");
    s.set("ShowAnalyzer2Button", "1");
    Startup::settleSettings(s);
    EXPECT_EQ(AppSettings::dataRoot(), "/data");
    EXPECT_EQ(AppSettings::batchRoot(), "/cfg-batch");
    EXPECT_FALSE(AppSettings::showAnalyzer2Button()); // "-showA2B" without a value hides

    Startup::settleSettings(collect({"-showA2B", "1", "-d"}));
    EXPECT_TRUE(AppSettings::showAnalyzer2Button());
    EXPECT_EQ(AppSettings::dataRoot(), "");
}

TEST_F(StartupSettings, ConfigurationLineNamedLikeAnOptionReplacesIt) {
    QTemporaryDir dir;
    ParamStore s = collect({"-d", "/from-command-line", "-b", "x.bat", "-x", "-e"});
    s.readConfigFile(
        TestSupport::writeFile(dir, "c.cfg", "-d /from-config\nShowAnalyzer2Button 2\n"));
    Startup::settleSettings(s);
    EXPECT_EQ(AppSettings::dataRoot(), "/from-config");
    EXPECT_FALSE(AppSettings::showAnalyzer2Button());
    const Startup::Options o = Startup::options(s);
    EXPECT_EQ(o.batchFile, "x.bat");
    EXPECT_TRUE(o.execBatch);
    EXPECT_TRUE(o.noTranslation);
}
