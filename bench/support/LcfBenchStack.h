#pragma once
// The stack of the LCF and component benchmarks: 512 x 512 pixels, 161
// energies over 200 eV with I0 (16-bit TIFFs), mixing two references from left
// to right; the incident beam falls from top to bottom. eShift moves the whole
// energy scale (edges, references, images), so that one stack serves at Cu K
// (8985 eV, no shift) and at Fe K (7112 eV).
#include "analysis/LcfRun.h"
#include "imageio/TiffData.h"
#include "measurement/BinSpectrum.h"

#include <QTemporaryDir>
#include <cmath>
#include <vector>

namespace lcfbench {

constexpr int StackSide = 512;
constexpr int StackEnergies = 161;

inline double edgeShape(double e, double e0, double wl) {
    const double t = (e - (e0 - 5)) / 10;
    if (t <= 0)
        return 0;
    if (t >= 1)
        return 1;
    return t * t * (3 - 2 * t) + wl * std::sin(M_PI * t) * std::sin(M_PI * t);
}

inline double refMu(int j, double e) {
    return j == 0 ? 0.3 - 1e-5 * (e - 9000) + 1.0 * edgeShape(e, 8985, 0.2)
                  : 0.5 - 2e-5 * (e - 9000) + 0.8 * edgeShape(e, 8988, 0.6);
}

inline double energyOf(int i) {
    return 8900 + 200.0 * i / (StackEnergies - 1);
}

struct BenchStack {
    MeasurementStack stack;
    XafsSpectrum refA, refB;
    QVector<LcfReference> rows;
    MuTConditions conditions;

    explicit BenchStack(double eShift = 0) {
        QTemporaryDir dir;
        std::vector<quint16> i1(size_t(StackSide) * StackSide), i0(i1.size());
        for (int k = 0; k < StackEnergies; ++k) {
            const double e = energyOf(k);
            const double energy = e + eShift;
            for (int y = 0; y < StackSide; ++y) {
                for (int x = 0; x < StackSide; ++x) {
                    const double f = double(x) / (StackSide - 1);
                    const double mu = 0.2 + f * refMu(0, e) + (1 - f) * refMu(1, e);
                    const double incident = 30000 - 10 * y;
                    i0[size_t(y) * StackSide + x] = quint16(incident);
                    i1[size_t(y) * StackSide + x] = quint16(incident * std::exp(-mu));
                }
            }
            stack.append(Series::I1, image(dir, "i1", k, energy, i1));
            stack.append(Series::I0, image(dir, "i0", k, energy, i0));
        }
        stack.takeGeometryFromFirstI1();
        conditions.useI0 = true;
        stack.updateDarkAreas(conditions);
        refA = reference(0, eShift);
        refB = reference(1, eShift);
        rows = {{&refA, true}, {&refB, true}, {nullptr, false}, {nullptr, false}};
    }
    static TiffData *image(QTemporaryDir &dir, const char *tag, int k, double energy,
                           const std::vector<quint16> &v) {
        const QString path = dir.filePath(QString("%1_%2.tif").arg(tag).arg(k));
        TiffData::write16BitTiff(path, StackSide, StackSide, v.data());
        auto *t = new TiffData;
        t->load(path);
        t->setEnergy(energy);
        return t;
    }
    static XafsSpectrum reference(int j, double eShift) {
        Spectrum s;
        for (double e = 8850; e <= 9150; e += 1)
            s.addPoint(e + eShift, refMu(j, e));
        return XafsSpectrum(s, "ref", 1, 0, SuggestElm());
    }
    LcfRunSettings settings() const {
        LcfRunSettings s;
        s.stack = &stack;
        s.conditions = conditions;
        s.refs = rows;
        return s;
    }
    BinSpectrumSettings bin() const {
        BinSpectrumSettings b;
        b.conditions = conditions;
        return b;
    }
};

inline BenchStack &benchStack() {
    static BenchStack s;
    return s;
}

// The same stack at the iron K edge, and the element suggestion for it.
constexpr double FeKEdge = 7112;
inline BenchStack &feKStack() {
    static BenchStack s(FeKEdge - 8985);
    return s;
}
inline SuggestElm feKSuggestion() {
    SuggestElm s;
    s.use = true;
    s.Z = 26;
    s.edge = 0;
    s.edgeEnergy = FeKEdge;
    return s;
}

} // namespace lcfbench
