// align [stack options] [--reference K] [--method edge|phase] [--threshold X]
//       [--max-shift N] --out FILE
//
// Registration shifts of every I1 image against image K, written as one line
// "index dx dy score" per image: the file --shifts of the map subcommands
// reads. One JSON line on stdout sums up the run.
//
// edge:  the image processor's edge/binary score with its hill climb; the
//        binary images are the edges above X (0..1) of each image's edge
//        range (default 0.3, the slider at 300). The climb of an image starts
//        from the shift found for its neighbour nearer K, as when stepping
//        through the series in the window.
// phase: FFT phase correlation; the score is the normalised correlation peak.
//
// Exit 0, 1 (an input cannot be read or images differ in size), 2 (bad
// arguments).
#include "Json.h"
#include "StackOptions.h"
#include "Subcommands.h"

#include "analysis/ImageRegistration.h"
#include "imageio/TiffData.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <cmath>
#include <cstdio>

namespace {

struct AlignArgs {
    StackOptions stack;
    int reference = 0;
    bool phase = false;
    double threshold = 0.3;
    int maxShift = 50;
    QString out;
};

int usage(const QString &why) {
    std::fprintf(stderr,
                 "lumenstack-tool align: %s\n"
                 "usage: lumenstack-tool align --i1 DIR [--reference K] [--method edge|phase]\n"
                 "       [--threshold X] [--max-shift N] --out FILE\n",
                 qPrintable(why));
    return 2;
}

QString parse(const QStringList &args, AlignArgs *a) {
    for (int i = 0; i < args.size(); ++i) {
        QString why;
        const OptionTaken t = takeStackOption(args, i, a->stack, &why);
        if (t == OptionTaken::Error)
            return why;
        if (t == OptionTaken::Yes)
            continue;
        const QString &o = args[i];
        if (i + 1 >= args.size())
            return o.startsWith("--") ? o + " needs a value" : "unexpected argument " + o;
        const QString v = args[++i];
        bool ok = true;
        if (o == "--reference") {
            a->reference = v.toInt(&ok);
            ok = ok && a->reference >= 0;
        } else if (o == "--method") {
            ok = v == "edge" || v == "phase";
            a->phase = v == "phase";
        } else if (o == "--threshold") {
            a->threshold = v.toDouble(&ok);
            ok = ok && a->threshold >= 0 && a->threshold < 1;
        } else if (o == "--max-shift") {
            a->maxShift = v.toInt(&ok);
            ok = ok && a->maxShift >= 0;
        } else if (o == "--out") {
            a->out = v;
        } else {
            return "unknown option " + o;
        }
        if (!ok)
            return "bad value for " + o + ": " + v;
    }
    if (!a->stack.shiftsFile.isEmpty())
        return "--shifts is read by the map subcommands; align writes the shifts";
    if (a->out.isEmpty())
        return "--out FILE is required";
    return checkStackOptions(a->stack);
}

void binaryOf(const TiffData &image, double fraction, EdgeImage &edge, BinaryImage &bin) {
    Registration::edgeDetect(image, edge);
    Registration::binarize(edge, edge.min + (edge.max - edge.min) * fraction, bin);
}

// Images in the order they are aligned: K, then outward on each side, each
// after the neighbour it starts from.
QVector<int> walkFrom(int k, int n) {
    QVector<int> order{k};
    for (int i = k + 1; i < n; ++i)
        order << i;
    for (int i = k - 1; i >= 0; --i)
        order << i;
    return order;
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
    const QVector<TiffData *> &images = s.stack.i1();
    const int n = images.size();
    if (a.reference >= n)
        return usage(QString("--reference %1 but only %2 images").arg(a.reference).arg(n));
    for (int i = 0; i < n; ++i) {
        if (images[i]->width() != images[a.reference]->width() ||
            images[i]->height() != images[a.reference]->height()) {
            std::fprintf(stderr, "lumenstack-tool align: image %d: size mis-match\n", i);
            return 1;
        }
    }
    QElapsedTimer clock;
    clock.start();
    QVector<Registration::ShiftEntry> shifts(n);
    EdgeImage edge;
    BinaryImage ref, bin;
    PhaseCorrelator pc;
    if (a.phase)
        pc.setReference(*images[a.reference]);
    else
        binaryOf(*images[a.reference], a.threshold, edge, ref);
    for (const int i : walkFrom(a.reference, n)) {
        Registration::ShiftEntry &e = shifts[i];
        e.index = i;
        if (a.phase) {
            pc.correlate(*images[i], &e.dx, &e.dy, &e.score, a.maxShift);
            continue;
        }
        const int from = i > a.reference ? i - 1 : i < a.reference ? i + 1 : i;
        binaryOf(*images[i], a.threshold, edge, bin);
        const int sx = shifts[from].dx, sy = shifts[from].dy;
        const ClimbResult r = Registration::hillClimb(
            bin, ref, sx, sy, Registration::score(bin, ref, sx, sy), a.maxShift);
        e.dx = r.sx;
        e.dy = r.sy;
        e.score = r.score;
    }
    if (!Registration::writeShiftFile(a.out, shifts)) {
        std::fprintf(stderr, "lumenstack-tool align: cannot write %s\n", qPrintable(a.out));
        return 1;
    }
    int largest = 0;
    double lowest = n > 0 ? HUGE_VAL : 0;
    for (const Registration::ShiftEntry &e : shifts) {
        largest = std::max({largest, std::abs(e.dx), std::abs(e.dy)});
        lowest = std::min(lowest, e.score);
    }
    Json j;
    j.add("images", n)
        .add("reference", a.reference)
        .addString("method", a.phase ? "phase" : "edge")
        .addString("out", a.out)
        .add("max_abs_shift", largest)
        .add("min_score", lowest)
        .add("seconds", clock.elapsed() / 1000.0);
    QTextStream(stdout) << j.text() << '\n';
    return 0;
}
