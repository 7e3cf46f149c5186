#pragma once
// Reference-like spectra whose background lines the normalisation fits
// exactly: straight below and above a 10 eV edge region, so that the
// double-normalised curves are 0 below, 1 above and a known shape between.
// Sample spectra built from them have known LCF and MLCF answers.
#include "analysis/Analyzed2DRes.h"
#include "imageio/TiffData.h"
#include "spectrum/XafsSpectrum.h"

#include <QTemporaryDir>
#include <QVector>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include <cmath>
#include <functional>

namespace lcftest {

constexpr double From = 8900, To = 9100; // eV, 1 eV steps

// Edge shape: 0 below e0 - 5, 1 above e0 + 5, a smooth rise with a bump
// (white line) of height wl between.
inline double shape(double e, double e0, double wl) {
    const double t = (e - (e0 - 5)) / 10;
    if (t <= 0)
        return 0;
    if (t >= 1)
        return 1;
    return t * t * (3 - 2 * t) + wl * std::sin(M_PI * t) * std::sin(M_PI * t);
}

inline Spectrum curve(double from, double to, const std::function<double(double)> &mu) {
    Spectrum s;
    for (double e = from; e <= to; e += 1)
        s.addPoint(e, mu(e));
    return s;
}

// Reference j: edge at 8985 (j = 0) or 8988 (j = 1), different white lines.
inline double refMu(int j, double e) {
    return j == 0 ? 0.3 - 1e-5 * (e - 9000) + 1.0 * shape(e, 8985, 0.2)
                  : 0.5 - 2e-5 * (e - 9000) + 0.8 * shape(e, 8988, 0.6);
}

inline XafsSpectrum reference(int j, double from = From, double to = To, double dE = 0) {
    // Stored energies dE above the sample's: the row's dE brings them back.
    XafsSpectrum x;
    x.assign(curve(from + dE, to + dE, [j, dE](double e) { return refMu(j, e - dE); }),
             QStringLiteral("ref"), 1, 0, SuggestElm());
    if (dE != 0) {
        x.setShifted(true);
        x.setShift(dE);
        x.normalize(1);
        x.setEShiftValue(dE);
    }
    return x;
}

inline XafsSpectrum sample(const std::function<double(double)> &mu, SuggestElm s = SuggestElm()) {
    XafsSpectrum x;
    x.assign(curve(From, To, mu), QStringLiteral("sample"), 1, 0, s);
    return x;
}

// Images written as 32-bit float TIFFs into a folder of their own and read
// back, so a test's stack comes through the same reader as a user's.
class FloatImages {
public:
    TiffData *image(int w, int h, const std::vector<float> &v, double energy) {
        const QString path = m_dir.filePath(QString("f%1.tif").arg(m_count++));
        EXPECT_TRUE(TiffData::writeFloat32Tiff(path, w, h, v.data()));
        auto *t = new TiffData;
        EXPECT_TRUE(t->load(path));
        t->setEnergy(energy);
        return t;
    }
    // The w x h image of value(x, y) at that energy.
    template <typename F> TiffData *image(int w, int h, double energy, F value) {
        std::vector<float> v(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                v[size_t(x + y * w)] = value(x, y);
        return image(w, h, v, energy);
    }

private:
    QTemporaryDir m_dir;
    int m_count = 0;
};

// Maps prepared over one grid, owned here, in the list a run takes.
struct Maps {
    std::vector<std::unique_ptr<Analyzed2DRes>> owned;
    QVector<Analyzed2DRes *> list;
    Maps(int count, const AnalyzeCond &g) {
        for (int k = 0; k < count; ++k) {
            owned.push_back(std::make_unique<Analyzed2DRes>(QString::number(k)));
            owned.back()->prepare(g);
            list.append(owned.back().get());
        }
    }
};

// The same values, extremes and their places, to the bit.
inline bool sameMap(const Analyzed2DRes &x, const Analyzed2DRes &y) {
    const size_t n = size_t(x.width()) * size_t(x.height());
    if (x.width() != y.width() || x.height() != y.height())
        return false;
    const double ex[] = {x.min(), x.max()}, ey[] = {y.min(), y.max()};
    return std::memcmp(x.values(), y.values(), n * sizeof(double)) == 0 &&
           std::memcmp(ex, ey, sizeof ex) == 0 && x.minPos() == y.minPos() &&
           x.maxPos() == y.maxPos();
}

} // namespace lcftest
