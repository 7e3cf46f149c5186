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
