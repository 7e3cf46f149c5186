#include "analysis/RunBoard.h"
#include "analysis/MapRunState.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

class FakeRun : public Run {
public:
    void stop() override { ++stops; }
    void wait() override {}
    bool isRunning() const override { return false; }
    int stops = 0;
};

} // namespace

// Refusals name the first exclusive run going, in the order the runs were
// added; Stop from the batch reaches only the runs that stop with it; a
// batch line waiting on a run is answered once, when its end is handled.
TEST(RunBoardTest, OneRunAtATimeStopAndTheBatchAnswer) {
    FakeRun calib, map, align;
    RunBoard board;
    board.add({&calib, "a calibration is running", true, false});
    board.add({&map, "a map run is going on", true, true});
    board.add({&align, "an alignment is running", false, true});
    QSignalSpy answers(&board, &RunBoard::commandFinished);
    QSignalSpy times(&board, &RunBoard::timeChanged);
    QSignalSpy finished(&board, &RunBoard::runFinished);

    EXPECT_TRUE(board.refusal().isEmpty());
    EXPECT_FALSE(board.answerAtEnd(&map, 62)); // not active: nothing kept
    board.started(&align);
    EXPECT_TRUE(board.refusal().isEmpty()); // not exclusive
    board.started(&map);
    board.started(&calib);
    EXPECT_EQ(times.last().at(0).toString(), "Run: 0 s"); // the last one started
    EXPECT_EQ(board.refusal(), "a calibration is running");
    EXPECT_TRUE(board.stopForBatch());
    EXPECT_EQ(std::make_tuple(calib.stops, map.stops, align.stops), std::make_tuple(0, 1, 1));

    EXPECT_TRUE(board.answerAtEnd(&map, 62));
    board.ended(&calib);
    EXPECT_TRUE(times.last().at(0).toString().isEmpty()); // its clock goes
    EXPECT_EQ(board.refusal(), "a map run is going on");
    board.ended(&map);
    board.ended(&map); // a halted run's queued end: handled already
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(finished.size(), 2); // calib, map: once each
    EXPECT_EQ(answers.at(0).at(0).toInt(), 62);
    EXPECT_TRUE(board.anyActive());
    const int shown = times.size();
    board.ended(&align); // its clock was not the one shown
    EXPECT_FALSE(board.anyActive());
    EXPECT_EQ(times.size(), shown);
    EXPECT_FALSE(board.stopForBatch());
}

TEST(RunBoardTest, TimeTakenAndLeft) {
    const struct {
        double elapsed, percent;
        const char *text;
    } cases[] = {{0, 0, "Run: 0 s"},
                 {10, 0.4, "Run: 10 s"},
                 {10, 25, "Run: 10 s, about 30 s left"},
                 {90, 50, "Run: 90 s, about 90 s left"},
                 {150, 50, "Run: 2 min 30 s, about 2 min 30 s left"},
                 {61, 100, "Run: 61 s"}};
    for (const auto &c : cases)
        EXPECT_EQ(RunBoard::timeText(c.elapsed, c.percent), c.text)
            << c.elapsed << " " << c.percent;
}

// A run the window halted was ended at once; its finished signal, arriving
// after a new run started, must not end the new one.
TEST(RunBoardTest, MapRunStateDropsTheLateEndOfAHaltedRun) {
    MapRunState state;
    Analyzed2DRes map;
    state.begin(MapRunState::Kind::LCF, {&map});
    state.endHandledEarly();
    EXPECT_EQ(state.end(), MapRunState::Kind::LCF);
    state.begin(MapRunState::Kind::RA, {&map});
    EXPECT_TRUE(state.takeLateEnd()); // the halted run's
    EXPECT_TRUE(state.isGoing());
    EXPECT_FALSE(state.takeLateEnd()); // the RA run's own end
    EXPECT_EQ(state.end(), MapRunState::Kind::RA);
    EXPECT_EQ(state.end(), MapRunState::Kind::None);
}
