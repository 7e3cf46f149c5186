// Sessions without a window: session_save writes what the window gives,
// session_load hands back the same session when every file is as it was and
// refuses, naming the file, when one is missing or changed.
#include "batch/BatchCheck.h"
#include "batch/ExCmdTable.h"
#include "session/SessionCommands.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Fixture {
    QTemporaryDir dir;     // holds the session file and the series
    QTemporaryDir outside; // a reference elsewhere: stored absolute
    Session session;

    Fixture() {
        QDir(dir.path()).mkpath("data/i 1");
        const QString a = TestSupport::writeFile(dir, "data/i 1/a.tif", "aaaa");
        const QString b = TestSupport::writeFile(dir, "data/i 1/b.tif", "bbbbbb");
        const QString ref = TestSupport::writeFile(outside, "ref.dat", "7000 0.1\n");
        const QString bg = TestSupport::writeFile(dir, "bg.dat", "7000 0.2\n");
        session.i1.files = {SessionFile::of(a), SessionFile::of(b)};
        session.i1.energy.pattern = "(\\d+)eV";
        session.i0.energy.sameAsI1 = true;
        session.dark = SessionFile::of(a);
        session.background = SessionFile::of(bg);
        session.totalI0OfI1 = SessionFile::of(ref);
        session.useI0 = true;
        session.binW = 2;
        session.area = QRectF(QPointF(1, 2), QPointF(30, 20));
        session.darkAreaI1 = QRectF(QPointF(3, 4), QPointF(8, 9));
        session.suggestion = {true, "Fe", 0, "7112", "-20", "20", true, 7120.25};
        session.references = {{1, SessionFile::of(ref), true, -1.5, true}};
        session.shifts = {{1, 0.25, -3}};
        session.lcfOld = true;
        session.fields = {{"LCFRange1", "7100"},
                          {"LCFRange2", "7300"},
                          {"ThJumpSigma", "2"},
                          {"DarkExpTime", "150"}};
    }
    QString sessionFile() const { return dir.filePath("work.json"); }
};

CmdLine line(const QString &text) {
    return CmdLine::parse(text);
}

} // namespace

TEST(Session, SavedAndLoadedByTheCommandsWithPathsRelativeBelowTheSessionFile) {
    Fixture f;
    Session applied;
    int applies = 0;
    SessionCommands commands([&] { return f.session; },
                             [&](const Session &s) {
                                 applied = s;
                                 ++applies;
                                 return QString();
                             });
    ASSERT_EQ(commands.save(line("session_save " + f.sessionFile())), "");
    const QJsonObject json =
        QJsonDocument::fromJson(TestSupport::readFile(f.sessionFile())).object();
    EXPECT_EQ(json["i1"]["files"][0]["path"].toString(), "data/i 1/a.tif");
    EXPECT_EQ(json["references"][0]["file"]["path"].toString(), f.outside.filePath("ref.dat"));

    ASSERT_EQ(commands.load(line("session_load " + f.sessionFile())), "");
    EXPECT_EQ(applies, 1);
    EXPECT_TRUE(applied == f.session);
    // The loads name the files as saved, quoted where they hold a space.
    const QStringList lines = SessionBatch::lines(applied, "shifts.txt");
    const auto load = std::find_if(lines.begin(), lines.end(), [](const QString &l) {
        return ExCmdTable::idOf(CmdLine::parse(l).command) == LOAD_I1_FILES;
    });
    ASSERT_NE(load, lines.end());
    EXPECT_EQ(CmdLine::parse(*load).args,
              QStringList({"NEW", f.session.i1.files[0].path, f.session.i1.files[1].path}));
    EXPECT_TRUE(lines.contains("load_shifts shifts.txt"));
}

TEST(Session, LoadRefusesAMissingOrChangedFileAndAppliesNothing) {
    const struct {
        const char *what;
        std::function<void(const QString &)> change;
    } cases[] = {
        {"removed", [](const QString &p) { QFile::remove(p); }},
        {"grown",
         [](const QString &p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::Append));
             file.write("x");
         }},
        {"touched",
         [](const QString &p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                              QFileDevice::FileModificationTime);
         }},
    };
    for (const auto &c : cases) {
        Fixture f;
        int applies = 0;
        SessionCommands commands([&] { return f.session; },
                                 [&](const Session &) {
                                     ++applies;
                                     return QString();
                                 });
        ASSERT_EQ(commands.save(line("session_save " + f.sessionFile())), "") << c.what;
        const QString changed = f.session.i1.files[1].path;
        c.change(changed);
        const QString why = commands.load(line("session_load " + f.sessionFile()));
        EXPECT_TRUE(why.contains(changed)) << c.what << ": " << qPrintable(why);
        EXPECT_EQ(applies, 0) << c.what;
    }
}

TEST(Session, RefusesFilesThatAreNoSession) {
    QTemporaryDir dir;
    const struct {
        const char *name;
        QByteArray bytes;
        const char *reason;
    } cases[] = {
        {"broken.json", "{\"format\": ", "not JSON"},
        {"other.json", "{\"format\": \"something\"}", "not a session file"},
        {"newer.json", "{\"format\": \"lumenstack-session\", \"version\": 99}", "newer"},
        {"nameless.json",
         "{\"format\": \"lumenstack-session\", \"i1\": {\"files\": [{\"size\": 1}]}}",
         "needs a path"},
    };
    for (const auto &c : cases) {
        Session s;
        QString why;
        EXPECT_FALSE(Session::load(TestSupport::writeFile(dir, c.name, c.bytes), &s, &why));
        EXPECT_TRUE(why.contains(c.reason)) << c.name << ": " << qPrintable(why);
    }
}

// The lines put every input back by its command, in an order that works: the
// dark before the loads (a stack takes no dark of its own then), the dark
// exposure after them, the rows emptied before the session's are set. Every
// line is a known command with as many arguments as it takes.
TEST(Session, LinesPutEveryInputBackByItsCommandInOrder) {
    Fixture f;
    f.session.dark = SessionFile();
    const QStringList lines = SessionBatch::lines(f.session, "shifts.txt");
    const QString bg = f.session.background.path, ref = f.session.totalI0OfI1.path;
    const QStringList expected[] = {
        {"clear_dark", "load_I1_files", "set_dark_exp_time 150", "select_region 3 4 8 9",
         "set_i1_dark_area", "clear_i0_dark_area", "select_region 1 2 30 20"},
        {"eng_same_as_i1_i0 1", "clear_I0_files"},
        {"load_total_i0_of_i1 " + ref, "clear_total_i0_of_i0", "load_bg " + bg},
        {"suggesting_jump_th 2", "analyzer_clear_LCF_std -1", "analyzer_set_LCF_std 1"},
        {"analyzer_set_LCF_mode 0", "analyzer_set_LCF_old 1", "analyzer_set_LCF_range 7100 7300"},
    };
    for (const QStringList &order : expected) {
        int at = -1;
        for (const QString &want : order) {
            const auto found = std::find_if(lines.begin() + (at + 1), lines.end(),
                                            [&](const QString &l) { return l.startsWith(want); });
            ASSERT_NE(found, lines.end()) << qPrintable(want);
            at = int(found - lines.begin());
        }
    }
    EXPECT_TRUE(BatchCheck::check(lines.join('\n')).isEmpty());
}

// A session written before the spectra were kept loads with none of them.
TEST(Session, OlderFilesWithoutTheSpectraStillLoad) {
    QTemporaryDir dir;
    Session s;
    s.background = SessionFile::of(TestSupport::writeFile(dir, "bg.dat", "7000 1\n"));
    QString why;
    ASSERT_TRUE(
        Session::load(TestSupport::writeFile(dir, "old.json",
                                             "{\"format\": \"lumenstack-session\", "
                                             "\"version\": 1, \"fit\": {\"kind\": \"MLCF\"}}"),
                      &s, &why))
        << qPrintable(why);
    EXPECT_FALSE(s.background.isSet() || s.totalI0OfI1.isSet() || s.totalI0OfI0.isSet());
    EXPECT_TRUE(s.mlcf && !s.lcfOld);
}
