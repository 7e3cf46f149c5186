// align [stack options] [--method phase|edge] [--reference K|auto|A-B] [--chain]
//       [--gradient] [--upsample N] [--max-shift N] [--threshold X]
//       [--min-score X] [--max-jump P] [--threads N] --out FILE
//
// Registration shifts of every I1 image against image K (default 0, the first
// image of a scan, below the edge), the image of most contrast (auto), or the
// mean of images A to B (less noise than one image), written as one line "index dx dy score"
// per image: the file --shifts of the map subcommands reads. One JSON line on
// stdout sums up the run; the suspect images are also named on stderr.
//
// phase (default): phase correlation of the mean-free, Hann-windowed images
//        (see analysis/PhaseCorrelation.h), refined to 1/N pixel by
//        --upsample N (1..100; its cost grows with N); --gradient correlates gradient magnitudes
//        (contrast that reverses across the edge); --chain correlates each image with its neighbour
//        nearer K and adds the shifts up. The score is the normalised correlation peak. Runs on
//        --threads N (default every core); the shifts do not depend on N.
// edge:  the image processor's edge/binary score with its hill climb; the
//        binary images are the edges above X (0..1) of each image's edge
//        range (default 0.3, the slider at 300). The climb of an image starts
//        from the shift found for its neighbour nearer K, as when stepping
//        through the series in the window. Whole pixels only.
//
// Suspect: a score below --min-score, or a shift more than --max-jump pixels
// from the median of its neighbours (SeriesAlignment::suspects).
//
// Exit 0, 1 (an input cannot be read or images differ in size), 2 (bad
// arguments).
#include "Json.h"
#include "StackOptions.h"
#include "Subcommands.h"
#include "ToolProvenance.h"

#include "analysis/ImageRegistration.h"
#include "analysis/SeriesAlignment.h"
#include "imageio/TiffData.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace {

struct AlignArgs {
    StackOptions stack;
    SeriesAlignOptions series;
    bool edge = false;
    double threshold = 0.3;
    double minScore = 0.02;
    double maxJump = 3;
    bool autoReference = false;
    QString out;
};

int usage(const QString &why) {
    std::fprintf(stderr, "lumenstack-tool align: %s\n%s", qPrintable(why),
                 subcommandUsage("align"));
    return 2;
}

bool takeFlag(const QString &o, AlignArgs *a) {
    if (o == "--chain")
        a->series.chain = true;
    else if (o == "--gradient")
        a->series.phase.gradient = true;
    else
        return false;
    return true;
}

// K, auto, or A-B with A < B.
bool takeReference(const QString &v, AlignArgs *a) {
    a->autoReference = v == "auto";
    if (a->autoReference)
        return true;
    const QStringList range = v.split('-');
    bool ok = range.size() <= 2;
    a->series.reference = range.value(0).toInt(&ok);
    if (!ok || a->series.reference < 0)
        return false;
    if (range.size() == 1)
        return true;
    a->series.referenceLast = range.value(1).toInt(&ok);
    return ok && a->series.referenceLast > a->series.reference;
}

// The value of an option that takes one; false when it is out of range.
bool takeValue(const QString &o, const QString &v, AlignArgs *a, bool *known) {
    bool ok = true;
    *known = true;
    if (o == "--reference")
        return takeReference(v, a);
    if (o == "--method") {
        a->edge = v == "edge";
        return v == "edge" || v == "phase";
    }
    if (o == "--threshold") {
        a->threshold = v.toDouble(&ok);
        return ok && a->threshold >= 0 && a->threshold < 1;
    }
    if (o == "--max-shift") {
        a->series.phase.maxShift = v.toInt(&ok);
        return ok && a->series.phase.maxShift >= 0;
    }
    if (o == "--upsample") {
        a->series.phase.upsample = v.toInt(&ok);
        return ok && a->series.phase.upsample >= 1 && a->series.phase.upsample <= 100;
    }
    if (o == "--threads") {
        a->series.threads = v.toInt(&ok);
        return ok && a->series.threads >= 0 && a->series.threads <= 1024;
    }
    if (o == "--min-score")
        return parseNumber(v, &a->minScore);
    if (o == "--max-jump")
        return parseNumber(v, &a->maxJump) && a->maxJump >= 0;
    if (o == "--out") {
        a->out = v;
        return true;
    }
    *known = false;
    return false;
}

QString parse(const QStringList &args, AlignArgs *a) {
    a->series.phase.maxShift = 50;
    a->series.threads = 0;
    bool phaseOnly = false;
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, a->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::Yes)
            continue;
        const QString &o = args[i];
        if (takeFlag(o, a)) {
            phaseOnly = true;
            continue;
        }
        if (i + 1 >= args.size())
            return o.startsWith("--") ? o + " needs a value" : "unexpected argument " + o;
        const QString v = args[++i];
        bool known = false;
        const bool ok = takeValue(o, v, a, &known);
        if (!known)
            return "unknown option " + o;
        if (!ok)
            return "bad value for " + o + ": " + v;
        phaseOnly = phaseOnly || o == "--upsample";
    }
    if (a->edge && phaseOnly)
        return "--chain, --gradient and --upsample go with --method phase";
    if (a->series.referenceLast > a->series.reference && (a->edge || a->series.chain))
        return "a mean reference (--reference A-B) goes with --method phase without --chain";
    if (!a->stack.shiftsFile.isEmpty())
        return "--shifts is read by the map subcommands; align writes the shifts";
    if (a->out.isEmpty())
        return "--out FILE is required";
    return checkStackOptions(a->stack);
}

QString summary(const AlignArgs &a, const QVector<Registration::ShiftEntry> &shifts,
                const QVector<int> &suspect, double seconds) {
    double largest = 0;
    double lowest = shifts.isEmpty() ? 0 : HUGE_VAL;
    for (const Registration::ShiftEntry &e : shifts) {
        largest = std::max({largest, std::fabs(e.dx), std::fabs(e.dy)});
        lowest = std::min(lowest, e.score);
    }
    QStringList marked;
    for (const int i : suspect)
        marked << QString::number(i);
    Json j;
    j.add("images", shifts.size())
        .add("reference", a.series.reference)
        .add("reference_last", std::max(a.series.reference, a.series.referenceLast))
        .addString("method", a.edge ? "edge" : "phase")
        .add("upsample", a.edge ? 1 : a.series.phase.upsample)
        .add("chain", a.series.chain)
        .add("gradient", a.series.phase.gradient)
        .addString("out", a.out)
        .add("max_abs_shift", largest)
        .add("min_score", lowest)
        .add("suspect", Json::array(marked))
        .add("seconds", seconds);
    return j.text();
}

} // namespace

int runAlign(const QStringList &args) {
    AlignArgs a;
    const QString why = parse(args, &a);
    if (!why.isEmpty())
        return usage(why);
    LoadedStack s;
    QString file, problem;
    if (!loadStack(a.stack, s, &file, &problem)) {
        std::fprintf(stderr, "lumenstack-tool align: cannot read %s: %s\n", qPrintable(file),
                     qPrintable(problem));
        return 1;
    }
    QVector<const TiffData *> images;
    for (const TiffData *t : s.stack.i1())
        images << t;
    const int n = images.size();
    if (a.autoReference)
        a.series.reference = SeriesAlignment::autoReference(images);
    const int last = std::max(a.series.reference, a.series.referenceLast);
    if (last >= n)
        return usage(QString("--reference %1 but only %2 images").arg(last).arg(n));
    QElapsedTimer clock;
    clock.start();
    QVector<Registration::ShiftEntry> shifts;
    problem = SeriesAlignment::check(images, a.series);
    if (problem.isEmpty() && a.edge)
        shifts = SeriesAlignment::alignByEdges(images, a.series.reference, a.threshold,
                                               a.series.phase.maxShift);
    else if (problem.isEmpty())
        SeriesAlignment::align(images, a.series, shifts, &problem);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "lumenstack-tool align: %s\n", qPrintable(problem));
        return 1;
    }
    if (!Registration::writeShiftFile(a.out, shifts) || !writeToolSidecar(a.out)) {
        std::fprintf(stderr, "lumenstack-tool align: cannot write %s\n", qPrintable(a.out));
        return 1;
    }
    const QVector<int> suspect = SeriesAlignment::suspects(shifts, a.minScore, a.maxJump);
    if (!suspect.isEmpty()) {
        QStringList list;
        for (const int i : suspect)
            list << QString::number(i);
        std::fprintf(stderr,
                     "lumenstack-tool align: suspect images (score below %g or a jump of more "
                     "than %g pixels): %s\n",
                     a.minScore, a.maxJump, qPrintable(list.join(' ')));
    }
    QTextStream(stdout) << summary(a, shifts, suspect, clock.elapsed() / 1000.0) << '\n';
    return 0;
}
