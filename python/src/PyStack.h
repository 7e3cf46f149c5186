#pragma once
// The measurement behind a Python Stack: the options it was opened with, the
// loaded series and the fixed edge its LCF runs normalise with. A run or a
// spectrum places its own bins on the stack (grid, bin half sizes, dark
// areas), so one of them at a time holds it.
#include "Convert.h"

#include "analysis/StackLoad.h"

#include <QRect>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

struct PyStack {
    StackOptions options;
    std::unique_ptr<LoadedStack> loaded = std::make_unique<LoadedStack>();
    bool fixedE0 = false;
    bool fixedE0Auto = false;
    double e0 = 0;
    std::mutex busy;
    std::atomic<std::thread::id> holder{}; // the thread holding busy
};

// Holds the stack for one run or spectrum; waits with the GIL released. A
// RuntimeError when this thread holds it already (a progress callback that
// uses the stack of its own run), which would otherwise never end.
class StackHold {
public:
    explicit StackHold(PyStack &s);
    ~StackHold();

private:
    PyStack &m_stack;
    std::unique_lock<std::mutex> m_lock;
};

// The bins of a run: half sizes (hx, hy) over the area (x, y, w, h), or the
// whole image for None. Sets the stack's grid and bin conditions and brings
// its dark areas up to date; a ValueError says what does not fit. The stack
// must be held.
void placeBins(PyStack &s, const py::object &bin, const py::object &area);

// The bin centres of the stack's grid: columns (x) and rows (y).
py::dict binCentres(const AnalyzeCond &grid);

void bindStack(py::module_ &m);
