// make-demo OUTDIR: a synthetic absorption-imaging measurement across the Fe K
// edge (7112 eV). Two iron compounds are mixed across the field of view:
//
//   compound A, metal-like: edge at 7112 eV, small shoulder, weak EXAFS
//   compound B, oxide-like: edge at 7124 eV with a strong white line
//
// Fraction of A at column x: fA = x / (W - 1) (pure B on the left, pure A on
// the right). Sample thickness (in units of the reference spectra) is 1 in the
// middle band of rows H/4 .. 3H/4 - 1 and 0.5 elsewhere. The beam I0 falls
// off towards the top and bottom edges and rises slowly with energy; every
// frame carries the detector dark signal of dark.tif.
//
// Files written:
//   OUTDIR/i1/demo_i1_EEEEE_FFFF.tif   transmitted intensity, one per energy
//   OUTDIR/i0/demo_i0_EEEEE_FFFF.tif   incident beam, one per energy
//   OUTDIR/dark.tif                    dark frame (same exposure, 100 ms)
//   OUTDIR/ref_A.dat, OUTDIR/ref_B.dat reference mu*t, "energy mu" per line
//   OUTDIR/demo.h5                     the same I1, I0 and dark as one HDF5 stack:
//                                      /stack/images and /stack/flat [energy, y, x]
//                                      uint16 (deflate, one chunk per image),
//                                      /stack/energy (eV), /stack/dark [y, x]
//   OUTDIR/demo-layout.ini             its stack layout (lcf-map --h5 --layout)
//   OUTDIR/drift/i1/, drift/still/     a second sample (grains of A in B) that drifts by
//                                      fractions of a pixel over the scan, and the same
//                                      sample standing still; I0 and dark as above
//   OUTDIR/drift/true-shifts.txt       the registration shifts that undo the drift
//   OUTDIR/README.txt                  this description
// The energy is in the file name as "EEEEE_FFFF" (eV with 4 decimals), the
// layout of the default energy pattern "(\d|)\d\d\d\d_\d\d\d\d".
#include "Subcommands.h"

#include "analysis/ImageRegistration.h"
#include "app/OutputFile.h"
#include "imageio/EnergyOfFiles.h"
#include "imageio/Hdf5Writer.h"
#include "imageio/TiffData.h"

#include <QDir>
#include <QFile>
#include <QPointF>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr double kEdgeA = 7112.0;
constexpr double kEdgeB = 7124.0;
constexpr double kPi = 3.14159265358979323846;

std::vector<double> demoEnergies() {
    std::vector<double> e;
    for (double v = 6980; v < 7090; v += 10)
        e.push_back(v);
    for (double v = 7090; v < 7150; v += 1.5)
        e.push_back(v);
    for (double v = 7150; v <= 7400; v += 10)
        e.push_back(v);
    return e;
}

double step(double e, double edge, double width) {
    return 0.5 + std::atan((e - edge) / width) / kPi;
}

double lorentz(double e, double centre, double width) {
    const double d = (e - centre) / width;
    return 1.0 / (1.0 + d * d);
}

// Absorption of unit thickness: a falling pre-edge, the edge step and a
// damped oscillation above it.
double muA(double e) {
    const double k = e > kEdgeA ? std::sqrt(0.2625 * (e - kEdgeA)) : 0.0;
    return 0.25 * std::pow(7000.0 / e, 3) + 1.0 * step(e, kEdgeA, 1.5) +
           0.1 * lorentz(e, kEdgeA + 2, 2) + 0.05 * std::sin(2 * 2.5 * k) * std::exp(-0.05 * k * k);
}

double muB(double e) {
    const double k = e > kEdgeB ? std::sqrt(0.2625 * (e - kEdgeB)) : 0.0;
    return 0.25 * std::pow(7000.0 / e, 3) + 0.9 * step(e, kEdgeB, 2.0) +
           0.6 * lorentz(e, kEdgeB + 3, 3) + 0.04 * std::sin(2 * 2.0 * k) * std::exp(-0.04 * k * k);
}

double fractionA(int x) {
    return double(x) / (kWidth - 1);
}

double thickness(int y) {
    return (y >= kHeight / 4 && y < 3 * kHeight / 4) ? 1.0 : 0.5;
}

double beam(double e, int y) {
    const double dy = (y - (kHeight - 1) / 2.0) / kHeight;
    return 30000.0 * (1.0 + 0.0004 * (e - 7000.0)) * (1.0 - 0.6 * dy * dy);
}

double darkSignal(int x, int y) {
    return 100.0 + 0.5 * x + 0.25 * y;
}

class Noise {
public:
    // Deterministic (fixed seed, raw generator output) so every run writes
    // the same files.
    double next(double amplitude) { return amplitude * (double(m_gen()) / 4294967296.0 - 0.5); }

private:
    std::mt19937 m_gen{20261208u};
};

quint16 clamp16(double v) {
    return quint16(std::lround(std::min(65535.0, std::max(0.0, v))));
}

QString energyTag(double e) {
    const long long tenThousandths = std::llround(e * 10000.0);
    return QStringLiteral("%1_%2")
        .arg(tenThousandths / 10000, 5, 10, QLatin1Char('0'))
        .arg(tenThousandths % 10000, 4, 10, QLatin1Char('0'));
}

bool writeFrame(const QString &path, const std::vector<quint16> &samples) {
    if (TiffData::write16BitTiff(path, kWidth, kHeight, samples.data()))
        return true;
    std::fprintf(stderr, "make-demo: cannot write %s\n", qPrintable(path));
    return false;
}

// Every frame of both series, kept for the HDF5 copy of the stack.
struct DemoFrames {
    std::vector<std::vector<quint16>> i1, i0;
    std::vector<double> energies; // as the TIFF names give them
};

bool writeSeries(const QString &outDir, const std::vector<double> &energies, Noise &noise,
                 DemoFrames &frames) {
    std::vector<quint16> i1(size_t(kWidth) * kHeight);
    std::vector<quint16> i0(i1.size());
    for (double e : energies) {
        const double a = muA(e);
        const double b = muB(e);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const double f = fractionA(x);
                const double mut = 0.2 + thickness(y) * (f * a + (1 - f) * b);
                const double incident = beam(e, y);
                const size_t p = size_t(y) * kWidth + size_t(x);
                i0[p] = clamp16(incident + darkSignal(x, y) + noise.next(20));
                i1[p] = clamp16(incident * std::exp(-mut) + darkSignal(x, y) + noise.next(20));
            }
        }
        const QString tag = energyTag(e);
        const QString i1Name = outDir + "/i1/demo_i1_" + tag + ".tif";
        if (!writeFrame(i1Name, i1) || !writeFrame(outDir + "/i0/demo_i0_" + tag + ".tif", i0))
            return false;
        frames.i1.push_back(i1);
        frames.i0.push_back(i0);
        // The energy a TIFF run reads from the name, so both runs agree bit for bit.
        frames.energies.push_back(
            EnergyOfFiles::energyOfFile(EofSettings(), i1Name, int(frames.energies.size())));
    }
    return true;
}

std::vector<quint16> darkFrame() {
    std::vector<quint16> dark(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            dark[size_t(y) * kWidth + size_t(x)] = clamp16(darkSignal(x, y));
    return dark;
}

bool writeText(const QString &path, const QString &text);

// ---- the drifting sample ----
// Grains of compound A, thickness 1.5 (three discs and a bar, borders in
// every direction), in compound B, thickness 1: below the edge the grains
// stand out by their thickness, above it by their compound. The stage drifts smoothly by up to about three
// pixels, in fractions of a pixel; the beam and the dark stay with the
// detector. Each pixel integrates the transmitted intensity over its area
// (4 x 4 samples), as a detector pixel does, so a sub-pixel drift moves the
// grey levels of the borders.

bool inGrain(double x, double y) {
    const auto disc = [&](double cx, double cy, double r) {
        return std::hypot(x - cx, y - cy) < r;
    };
    return disc(16, 14, 6) || disc(46, 32, 8) || disc(22, 36, 4) ||
           (x >= 36 && x < 56 && y >= 6 && y < 14);
}

// The drift of frame i of n; none at the first frame.
QPointF driftOf(int i, int n) {
    const double t = n > 1 ? double(i) / (n - 1) : 0.0;
    return {2.4 * std::sin(2.5 * t), 1.6 * (1 - std::cos(3.3 * t)) - 0.8 * std::sin(6.1 * t)};
}

void grainFrame(double e, QPointF d, Noise &noise, std::vector<quint16> &out) {
    const double a = muA(e), b = muB(e);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            double transmitted = 0;
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) {
                    const double sx = x + (i + 0.5) / 4 - d.x(), sy = y + (j + 0.5) / 4 - d.y();
                    transmitted += std::exp(-(0.2 + (inGrain(sx, sy) ? 1.5 * a : b))) / 16;
                }
            out[size_t(y) * kWidth + size_t(x)] =
                clamp16(beam(e, y) * transmitted + darkSignal(x, y) + noise.next(20));
        }
}

bool writeDriftSample(const QString &outDir, const std::vector<double> &energies) {
    const QString dir = outDir + "/drift";
    if (!QDir().mkpath(dir + "/i1") || !QDir().mkpath(dir + "/still")) {
        std::fprintf(stderr, "make-demo: cannot create %s\n", qPrintable(dir));
        return false;
    }
    Noise noise;
    std::vector<quint16> frame(size_t(kWidth) * kHeight);
    QVector<Registration::ShiftEntry> undo;
    const int n = int(energies.size());
    for (int i = 0; i < n; ++i) {
        const QString tag = energyTag(energies[size_t(i)]);
        const QPointF d = driftOf(i, n);
        grainFrame(energies[size_t(i)], d, noise, frame);
        if (!writeFrame(dir + "/i1/demo_drift_" + tag + ".tif", frame))
            return false;
        grainFrame(energies[size_t(i)], QPointF(), noise, frame);
        if (!writeFrame(dir + "/still/demo_still_" + tag + ".tif", frame))
            return false;
        undo.append({i, -d.x(), -d.y(), 1});
    }
    if (Registration::writeShiftFile(dir + "/true-shifts.txt", undo))
        return true;
    std::fprintf(stderr, "make-demo: cannot write %s/true-shifts.txt\n", qPrintable(dir));
    return false;
}

bool writeHdf5Stack(const QString &outDir, const DemoFrames &frames) {
    Hdf5Writer h5(outDir + "/demo.h5");
    const int n = int(frames.i1.size());
    const std::vector<quint16> dark = darkFrame();
    // The images byte-shuffled before deflate, the flats deflated only: both
    // ways facilities write their stacks.
    h5.setShuffle(true);
    bool ok = h5.writeFrames("/stack/images", Hdf5Writer::UInt16, n, kHeight, kWidth, 6,
                             [&](int k) { return frames.i1[size_t(k)].data(); });
    h5.setShuffle(false);
    ok = ok &&
         h5.writeFrames("/stack/flat", Hdf5Writer::UInt16, n, kHeight, kWidth, 6,
                        [&](int k) { return frames.i0[size_t(k)].data(); }) &&
         h5.writeFrames("/stack/dark", Hdf5Writer::UInt16, 1, kHeight, kWidth, 0,
                        [&](int) { return dark.data(); }) &&
         h5.writeDoubles("/stack/energy", frames.energies, "eV") &&
         h5.writeAttribute("/stack/images", "exposure_ms", 100) && h5.commit();
    if (!ok) {
        std::fprintf(stderr, "make-demo: %s\n", qPrintable(h5.error()));
        return false;
    }
    return writeText(outDir + "/demo-layout.ini",
                     "# The demo stack in demo.h5 (lumenstack-tool lcf-map --h5 demo.h5 "
                     "--layout demo-layout.ini)\n"
                     "[stack]\nname = demo\nimages = /stack/images\naxes = energy,y,x\n"
                     "energies = /stack/energy\nenergy_unit = eV\nflat = /stack/flat\n"
                     "dark = /stack/dark\nexposure = /stack/images@exposure_ms\n"
                     "exposure_unit = ms\n");
}

bool writeDark(const QString &outDir) {
    return writeFrame(outDir + "/dark.tif", darkFrame());
}

bool writeText(const QString &path, const QString &text) {
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::fprintf(stderr, "make-demo: cannot write %s\n", qPrintable(path));
        return false;
    }
    file.device()->write(text.toUtf8());
    return file.commit();
}

bool writeReference(const QString &path, double (*mu)(double)) {
    QString text;
    QTextStream out(&text);
    out.setRealNumberPrecision(10);
    for (double e = 6950; e <= 7450; e += 0.5)
        out << e << ' ' << mu(e) << '\n';
    out.flush();
    return writeText(path, text);
}

QString readme() {
    return QStringLiteral("Synthetic Fe K-edge absorption-imaging measurement (%1 x %2 pixels).\n"
                          "i1/  transmitted intensity, i0/  incident beam; energy in the name as "
                          "EEEEE_FFFF eV\n"
                          "dark.tif  dark frame (100 ms, like every frame)\n"
                          "demo.h5  the same stack as one HDF5 file, described by "
                          "demo-layout.ini\n"
                          "ref_A.dat  metal-like compound, edge 7112 eV\n"
                          "ref_B.dat  oxide-like compound, edge 7124 eV, white line\n"
                          "mu*t = 0.2 + t(y) * (fA(x) * muA + (1 - fA(x)) * muB)\n"
                          "fA(x) = x / %3 (pure B at x = 0, pure A at x = %3)\n"
                          "t(y) = 1 for rows %4..%5, 0.5 elsewhere\n"
                          "drift/i1/  grains of A (thickness 1.5) in B (thickness 1) drifting by up to 3 "
                          "pixels over the scan;\n"
                          "drift/still/  the same sample standing still; "
                          "drift/true-shifts.txt  the shifts that undo the drift\n")
        .arg(kWidth)
        .arg(kHeight)
        .arg(kWidth - 1)
        .arg(kHeight / 4)
        .arg(3 * kHeight / 4 - 1);
}

} // namespace

int runMakeDemo(const QStringList &args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: lumenstack-tool make-demo OUTDIR\n");
        return 2;
    }
    const QString outDir = QDir(args.first()).absolutePath();
    if (!QDir().mkpath(outDir + "/i1") || !QDir().mkpath(outDir + "/i0")) {
        std::fprintf(stderr, "make-demo: cannot create %s\n", qPrintable(outDir));
        return 1;
    }
    Noise noise;
    DemoFrames frames;
    const bool ok = writeSeries(outDir, demoEnergies(), noise, frames) && writeDark(outDir) &&
                    writeHdf5Stack(outDir, frames) && writeReference(outDir + "/ref_A.dat", muA) &&
                    writeReference(outDir + "/ref_B.dat", muB) &&
                    writeDriftSample(outDir, demoEnergies()) &&
                    writeText(outDir + "/README.txt", readme());
    if (!ok)
        return 1;
    std::printf("%s\n", qPrintable(outDir));
    return 0;
}
