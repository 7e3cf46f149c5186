// align: lumenstack-tool align on a Stack's I1 series, the registration shift
// of every image returned as numpy arrays (and written as the --shifts file
// of open_stack when out is given).
#include "Bindings.h"
#include "PyStack.h"
#include "RunDriver.h"

#include "analysis/SeriesAlignRun.h"

#include <pybind11/stl.h>

#include <cmath>
#include <thread>

namespace {

struct AlignArgs {
    py::object method, reference;
    bool chain, gradient;
    int upsample, maxShift;
    double threshold, minScore, maxJump;
    int threads;
    py::object out, progress;
};

// An image index, "auto" (the image of most contrast) or (first, last) for
// the mean of those images.
void takeReference(const py::object &reference, const QVector<const TiffData *> &images,
                   SeriesAlignOptions &o) {
    if (py::isinstance<py::str>(reference)) {
        if (textArg(reference) != "auto")
            refuse(QStringLiteral("reference takes an image index, \"auto\" or (first, last)"));
        o.reference = SeriesAlignment::autoReference(images);
    } else if (py::isinstance<py::tuple>(reference) || py::isinstance<py::list>(reference)) {
        std::tie(o.reference, o.referenceLast) = reference.cast<std::pair<int, int>>();
        if (!(o.referenceLast > o.reference))
            refuse(QStringLiteral("a mean reference (first, last) needs first below last"));
    } else {
        o.reference = reference.cast<int>();
    }
    const int last = std::max(o.reference, o.referenceLast);
    if (o.reference < 0 || last >= images.size())
        refuse(QString("--reference %1 but only %2 images").arg(last).arg(images.size()));
}

bool edgeMethod(const AlignArgs &a) {
    const QString method = textArg(a.method);
    if (method != "phase" && method != "edge")
        refuse(QStringLiteral("--method takes phase or edge"));
    const bool edge = method == "edge";
    if (edge && (a.chain || a.gradient || a.upsample != 1))
        refuse(QStringLiteral("--chain, --gradient and --upsample go with --method phase"));
    return edge;
}

SeriesAlignOptions alignOptions(const AlignArgs &a, bool edge) {
    SeriesAlignOptions o;
    o.chain = a.chain;
    o.phase.gradient = a.gradient;
    o.phase.upsample = a.upsample;
    o.phase.maxShift = a.maxShift;
    o.threads = threadsArg(a.threads);
    if (a.upsample < 1 || a.upsample > 100)
        refuse(QStringLiteral("--upsample takes 1 to 100"));
    if (a.maxShift < 0)
        refuse(QStringLiteral("--max-shift takes a whole number of pixels, 0 or more"));
    if (!(a.threshold >= 0 && a.threshold < 1))
        refuse(QStringLiteral("--threshold takes 0 up to 1"));
    if (!std::isfinite(a.minScore) || !(a.maxJump >= 0))
        refuse(QStringLiteral("--min-score takes a number, --max-jump one of 0 or more"));
    (void)edge;
    return o;
}

// The phase correlation on a thread of its own (SeriesAlignment::align runs
// the engine on the calling thread, which needs no event loop), stopped
// through its stop flag.
QVector<Registration::ShiftEntry> phaseShifts(const QVector<const TiffData *> &images,
                                              const SeriesAlignOptions &o,
                                              const py::object &progress) {
    QVector<Registration::ShiftEntry> shifts;
    QString why;
    std::atomic<bool> stop{false};
    RunEnd end;
    std::thread worker([&] {
        SeriesAlignment::align(images, o, shifts, &why, &stop);
        end.note();
    });
    const auto join = [&worker] {
        if (worker.joinable())
            worker.join();
    };
    try {
        waitForRun({end, [&stop] { stop = true; }, join, [] { return 0.0; }}, progress);
    } catch (...) {
        join(); // already joined unless the final progress call raised
        throw;
    }
    if (!why.isEmpty())
        refuse(why);
    return shifts;
}

py::dict shiftsDict(const QVector<Registration::ShiftEntry> &shifts, const AlignArgs &a,
                    int reference) {
    std::vector<double> dx, dy, score;
    for (const Registration::ShiftEntry &e : shifts) {
        dx.push_back(e.dx);
        dy.push_back(e.dy);
        score.push_back(e.score);
    }
    py::dict out;
    out["dx"] = handOver(std::move(dx));
    out["dy"] = handOver(std::move(dy));
    out["score"] = handOver(std::move(score));
    out["reference"] = reference;
    std::vector<int> suspect;
    for (int i : SeriesAlignment::suspects(shifts, a.minScore, a.maxJump))
        suspect.push_back(i);
    out["suspect"] = suspect;
    return out;
}

py::dict align(PyStack &s, const AlignArgs &a) {
    const bool edge = edgeMethod(a);
    SeriesAlignOptions o = alignOptions(a, edge);
    const QString out = pathArg(a.out);
    StackHold hold(s);
    QVector<const TiffData *> images;
    for (const TiffData *t : s.loaded->stack.i1())
        images << t;
    takeReference(a.reference, images, o);
    if (edge && o.referenceLast > o.reference)
        refuse("a mean reference (--reference A-B) goes with --method phase without --chain");
    const QString problem = SeriesAlignment::check(images, o);
    if (!problem.isEmpty())
        refuse(problem);
    QVector<Registration::ShiftEntry> shifts;
    if (edge) {
        py::gil_scoped_release nogil;
        shifts = SeriesAlignment::alignByEdges(images, o.reference, a.threshold, o.phase.maxShift);
    } else {
        shifts = phaseShifts(images, o, a.progress);
    }
    if (!out.isEmpty() && !Registration::writeShiftFile(out, shifts))
        throw InputFailure(out, QStringLiteral("cannot write the shifts"));
    return shiftsDict(shifts, a, o.reference);
}

} // namespace

void bindAlign(py::module_ &m) {
    m.def(
        "align",
        [](PyStack &stack, py::object method, py::object reference, bool chain, bool gradient,
           int upsample, int maxShift, double threshold, double minScore, double maxJump,
           int threads, py::object out, py::object progress) {
            return align(stack, {method, reference, chain, gradient, upsample, maxShift, threshold,
                                 minScore, maxJump, threads, out, progress});
        },
        py::arg("stack"), py::arg("method") = "phase", py::arg("reference") = 0,
        py::arg("chain") = false, py::arg("gradient") = false, py::arg("upsample") = 1,
        py::arg("max_shift") = 50, py::arg("threshold") = 0.3,
        py::arg("min_score") = SeriesAlignment::DefaultMinScore,
        py::arg("max_jump") = SeriesAlignment::DefaultMaxJump, py::arg("threads") = 0,
        py::arg("out") = py::none(), py::arg("progress") = py::none(), R"doc(
Registration shifts of every I1 image of the stack, as lumenstack-tool align
finds them.

method: "phase" (phase correlation; gradient correlates gradient magnitudes,
chain correlates each image with its neighbour nearer the reference and adds
the shifts up, upsample refines to 1/N pixel) or "edge" (the edge score's hill
climb over the edges above threshold, whole pixels). reference: an image
index, "auto" (the image of most contrast) or (first, last), the mean of those
images. max_shift: the largest shift looked for (pixels). An image is suspect
with a score below min_score or a shift more than max_jump pixels from its
neighbours'. out: also write the shifts file that open_stack(shifts=...) and
the map subcommands read. threads: 0 for every core. progress is called with
1 once the series is aligned; Ctrl+C stops the phase correlation at the next
image.

Returns a dict: "dx", "dy", "score" (float64 arrays, one entry per image:
pixel (x, y) of image i shows the stored pixel (x - dx, y - dy)),
"reference" (the image index) and "suspect" (image indices).)doc");
}
