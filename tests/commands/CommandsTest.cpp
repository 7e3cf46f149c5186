// The batch commands that act on the session document, run without a window:
// each line leaves the document as the window would and says so by exactly
// one event, and a refused line changes nothing and says nothing (the views
// redraw on these events, a refusal must not redraw them over stale state).
#include "mainwindow/commands/DarkCommands.h"
#include "mainwindow/commands/ImageShiftCommands.h"
#include "mainwindow/commands/PointCommands.h"
#include "mainwindow/commands/ShiftMapCommands.h"
#include "mainwindow/commands/SpectrumCommands.h"
#include "session/SessionDocument.h"
#include "support/TestSupport.h"

#include "imageio/TiffData.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {

enum Event { Dark, Background, TotalI0, Point, ShiftMap, Shifts, None };

struct Step {
    QString line;
    QString refusal; // the start of the refusal; empty: done
    Event event;     // the one event the line gives (None for a refusal)
    std::function<bool(const SessionDocument &)> state;
};

} // namespace

TEST(Commands, ActOnTheDocumentWithOneEventEachAndRefuseWithTheirTexts) {
    QTemporaryDir dir;
    const QString dark = dir.filePath("dark.tif");
    ASSERT_TRUE(TiffData::writeConstantTiff(dark, 8, 6, 100));
    const QString spectrum =
        TestSupport::writeFile(dir, "ref.dat", "7000 0.1\n7010 0.2\n7020 0.4\n");
    const QString shifts = TestSupport::writeFile(dir, "shifts.txt", "0 1 2 1\n");
    const QString words = TestSupport::writeFile(dir, "notes.txt", "nothing\n");

    SessionDocument doc;
    int guarded = 0;
    doc.setChangeGuard([&] { ++guarded; });
    std::map<Event, int> events;
    QObject::connect(&doc, &SessionDocument::darkChanged, [&] { ++events[Dark]; });
    QObject::connect(&doc, &SessionDocument::backgroundChanged, [&] { ++events[Background]; });
    QObject::connect(&doc, &SessionDocument::totalI0Changed, [&] { ++events[TotalI0]; });
    QObject::connect(&doc, &SessionDocument::currentPointChanged, [&] { ++events[Point]; });
    QObject::connect(&doc, &SessionDocument::shiftMapChanged, [&] { ++events[ShiftMap]; });
    QObject::connect(&doc, &SessionDocument::shiftsChanged, [&] { ++events[Shifts]; });

    CommandSet set;
    DarkCommands::add(set, doc, {});
    SpectrumCommands::add(set, doc, {});
    bool calibrating = false;
    ShiftMapCommands::add(set, doc, {[&] { return calibrating; }, {}});
    PointCommands::add(set, doc);
    QStringList saved; // the files a save wrote, for their sidecars
    ImageShiftCommands::add(set, doc, [&](const QString &file) { saved << file; });
    const QString savedShifts = dir.filePath("saved.txt");

    doc.inputs().setArea(QRectF(1, 2, 3, 1));
    const auto hasDark = [](const SessionDocument &d) { return d.stack().dark() != nullptr; };
    const Step steps[] = {
        {"load_dark " + dark, "", Dark,
         [&](const SessionDocument &d) { return hasDark(d) && d.darkFile() == dark; }},
        {"load_dark " + dir.filePath("missing.tif"), "Dark frame not loaded from missing.tif: ",
         None, [&](const SessionDocument &d) { return d.darkFile() == dark; }},
        {"load_dark", "load_dark refused: no file given", None, hasDark},
        // The selected area (below the detector's corner) as a dark area.
        {"set_i0_dark_area", "", Dark,
         [](const SessionDocument &d) {
             const DarkArea &a = d.stack().darkArea(Series::I0);
             return a.on && a.rect == QRectF(1, 2, 3, 1);
         }},
        {"clear_i0_dark_area", "", Dark,
         [](const SessionDocument &d) { return !d.stack().darkArea(Series::I0).on; }},
        {"load_bg " + words, "Background spectrum not read from notes.txt: no spectrum in the file",
         None, [](const SessionDocument &d) { return !d.backgroundLoaded(); }},
        {"load_bg " + spectrum, "", Background,
         [&](const SessionDocument &d) { return d.backgroundFile() == spectrum; }},
        {"load_total_i0_of_i1 " + spectrum, "", TotalI0,
         [](const SessionDocument &d) { return !d.stack().totalI0OfI1().isEmpty(); }},
        {"load_total_i0_of_i0 " + words, "Total I0 not read from notes.txt", None,
         [](const SessionDocument &d) { return d.totalI0File(Series::I0).isEmpty(); }},
        {"clear_total_i0_of_i1", "", TotalI0,
         [](const SessionDocument &d) { return d.stack().totalI0OfI1().isEmpty(); }},
        {"clear_bg", "", Background,
         [](const SessionDocument &d) { return !d.backgroundLoaded(); }},
        {"clear_dark", "", Dark, [&](const SessionDocument &d) { return !hasDark(d); }},
        {"move_position 7 5", "", Point,
         [](const SessionDocument &d) { return d.currentPoint() == QPoint(7, 5); }},
        {"move_position 7 5", "", None,
         [](const SessionDocument &d) { return d.currentPoint() == QPoint(7, 5); }},
        {"move_position x 5", "move_position refused: ", None,
         [](const SessionDocument &d) { return d.currentPoint() == QPoint(7, 5); }},
        {"calib_load_map " + dir.filePath("none.emp"), "Map not loaded from none.emp: ", None,
         [](const SessionDocument &d) { return !d.shiftMapValid(); }},
        // Shifts for images the series does not have: taken, none applied.
        {"load_shifts " + shifts, "", Shifts,
         [](const SessionDocument &d) { return d.stack().i1().isEmpty(); }},
        {"load_shifts " + words, "Shifts not loaded from notes.txt", None,
         [](const SessionDocument &d) { return d.stack().i1().isEmpty(); }},
        {"clear_shifts", "", None,
         [](const SessionDocument &d) { return d.stack().i1().isEmpty(); }},
        {"save_shifts " + savedShifts, "", None,
         [&](const SessionDocument &) { return saved == QStringList{savedShifts}; }},
        {"load_shifts " + savedShifts, "", Shifts,
         [](const SessionDocument &d) { return d.stack().i1().isEmpty(); }},
        {"load_shifts " + dir.filePath("none.txt"), "Shifts not loaded from none.txt", None,
         [](const SessionDocument &d) { return d.stack().i1().isEmpty(); }},
        {"calib_clear_map", "", ShiftMap,
         [](const SessionDocument &d) { return !d.shiftMapValid() && d.shiftMapFile().isEmpty(); }},
    };
    for (const Step &step : steps) {
        events.clear();
        const QString why = set.run(CmdLine::parse(step.line));
        const std::string where = step.line.toStdString();
        if (step.refusal.isEmpty())
            EXPECT_EQ(why, QString()) << where;
        else
            EXPECT_TRUE(why.startsWith(step.refusal)) << where << ": " << why.toStdString();
        EXPECT_TRUE(step.state(doc)) << where;
        int total = 0;
        for (const auto &[event, count] : events)
            total += count;
        EXPECT_EQ(total, step.event == None ? 0 : 1) << where;
        if (step.event != None)
            EXPECT_EQ(events[step.event], 1) << where;
    }
    EXPECT_GT(guarded, 0);

    // While a calibration writes the map, a file is not read over it.
    calibrating = true;
    EXPECT_TRUE(set.run(CmdLine::parse("calib_load_map " + dir.filePath("none.emp")))
                    .startsWith("Calibration running: not loading "));
}
