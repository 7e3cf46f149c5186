#pragma once
// How often a window may redraw the partial maps of a run going on. Making
// the pictures of every map takes the window's thread as long as the maps are
// large and many, and on a machine with few cores that time comes out of the
// run's. A redraw is let through only when the time since the last one ended
// is long enough for the redraws to take at most `share` of the wall time:
// with 4 %, a redraw of 20 ms waits 480 ms for the next.
#include <QElapsedTimer>

class RedrawThrottle {
public:
    explicit RedrawThrottle(double share = 0.04) : m_share(share) { m_clock.start(); }

    // The times are nanoseconds on any one clock.
    bool dueAt(qint64 now) const { return m_lastEnd < 0 || now - m_lastEnd >= m_wait; }
    void redrawnAt(qint64 start, qint64 end) {
        m_lastEnd = end;
        m_wait = qint64(double(end - start) * (1 / m_share - 1));
    }

    // The same on the throttle's own clock: draw() runs when it is due.
    template <typename Draw> bool redrawIfDue(Draw draw) {
        const qint64 start = m_clock.nsecsElapsed();
        if (!dueAt(start))
            return false;
        draw();
        redrawnAt(start, m_clock.nsecsElapsed());
        return true;
    }

    // For a run with `rowCount` bin rows of which `rows` are merged: the last
    // merge is left to the run's end, which redraws every map anyway.
    template <typename Draw> bool redrawRowsIfDue(int rows, int rowCount, Draw draw) {
        return rows < rowCount && redrawIfDue(draw);
    }

private:
    double m_share;
    QElapsedTimer m_clock;
    qint64 m_lastEnd = -1;
    qint64 m_wait = 0;
};
