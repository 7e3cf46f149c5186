// The session document says what changed only when something did: the
// window redraws and the reference rows are normalised anew on its events,
// so a repeated value must stay quiet.
#include "session/SessionDocument.h"

#include <gtest/gtest.h>

TEST(SessionDocument, EventsOnlyWhenTheStateChanges) {
    SessionDocument doc;
    int points = 0, maps = 0, references = 0;
    QObject::connect(&doc, &SessionDocument::currentPointChanged, [&] { ++points; });
    QObject::connect(&doc, &SessionDocument::shiftMapChanged, [&] { ++maps; });
    QObject::connect(&doc, &SessionDocument::referenceSuggestionChanged, [&] { ++references; });

    doc.setCurrentPoint(QPoint(0, 0)); // where it starts
    doc.setCurrentPoint(QPoint(3, 4));
    doc.setCurrentPoint(QPoint(3, 4));
    EXPECT_EQ(points, 1);
    EXPECT_EQ(doc.currentPoint(), QPoint(3, 4));

    doc.setShiftMapValid(false);
    doc.setShiftMapValid(true);
    doc.setShiftMapValid(true);
    EXPECT_EQ(maps, 1);
    EXPECT_EQ(doc.shiftMapInUse().values, nullptr); // valid, but no grid yet

    const SuggestElm s;
    const struct {
        double from, to;
        bool taken;
    } takes[] = {{8900, 9300, true}, {8900, 9300, false}, {8900, 9400, true}};
    for (const auto &t : takes)
        EXPECT_EQ(doc.takeReferenceSuggestion(s, t.from, t.to), t.taken) << t.from << " " << t.to;
    EXPECT_EQ(references, 2);
}

TEST(SessionDocument, TheStackOfALoadIsTakenOnce) {
    SessionDocument doc;
    doc.setI1StackSource({"a.h5", "layout.ini"});
    EXPECT_EQ(doc.takeI1StackSource().file, "a.h5");
    EXPECT_TRUE(doc.takeI1StackSource().file.isEmpty());
}

// The window writes its settings on every keystroke and toggle: each kind
// signals once per real change, and an area of the same place but cleared
// is a change (QRectF's fuzzy == would not see a sub-pixel move either).
TEST(SessionDocument, SettingsSignalOnlyRealChanges) {
    SessionInputs in;
    int conditions = 0, suggestions = 0, areas = 0, fits = 0, rows = 0;
    QObject::connect(&in, &SessionInputs::conditionsChanged, [&] { ++conditions; });
    QObject::connect(&in, &SessionInputs::suggestionChanged, [&] { ++suggestions; });
    QObject::connect(&in, &SessionInputs::areaChanged, [&] { ++areas; });
    QObject::connect(&in, &SessionInputs::analysisChanged, [&] { ++fits; });
    QObject::connect(&in, &SessionInputs::referencesChanged, [&] { ++rows; });

    MuTConditions c;
    c.hx = 2;
    in.setConditions(c);
    in.setConditions(c);
    c.i0ExpMs = 0.5;
    in.setConditions(c);
    EXPECT_EQ(conditions, 2);

    SuggestElm s;
    in.setSuggestion(s); // the default already
    s.fixedEdge = true;
    in.setSuggestion(s);
    EXPECT_EQ(suggestions, 1);

    for (const QRectF &r : {QRectF(0, 0, 10, 10), QRectF(0, 0, 10, 10), QRectF(0, 0, 10, 10.001)})
        in.setArea(r);
    in.clearArea();
    in.clearArea();
    EXPECT_EQ(areas, 3);
    EXPECT_FALSE(in.hasArea());

    AnalysisInputs a;
    a.options.sumToOne = true;
    in.setAnalysis(a);
    in.setAnalysis(a);
    EXPECT_EQ(fits, 1);

    in.setReferences({{"a.dat", true, 0, false}});
    in.setReferences({{"a.dat", true, 0, false}});
    in.setReferences({{"a.dat", true, 1.5, false}});
    EXPECT_EQ(rows, 2);
}
