#include "analysis/SparseMuTRow.h"

#include "imageio/TiffData.h"
#include "measurement/MuLog.h"

#include <cmath>
#include <limits>

void MuTPoints::take(const MeasurementStack &stack, const MuTConditions &c) {
    images.clear();
    energies.clear();
    for (int i = 0; i < stack.i1().size(); ++i) {
        const double e = stack.i1().at(i)->energy();
        if (!stack.coveredByI0(e, c))
            continue;
        images.push_back(i);
        energies.push_back(e);
    }
    ascending = true;
    for (size_t k = 1; k < energies.size(); ++k)
        ascending = ascending && energies[k - 1] < energies[k];
    ascending = ascending && !energies.empty() && !std::isnan(energies[0]);
}

void SparseMuTRow::sums(const TiffData &image, int y, int firstX, int stepX, const MuTConditions &c,
                        std::vector<double> &out) const {
    out.resize(size_t(m_count));
    if (c.hx == 0 && c.hy == 0 && stepX == 1 && m_count > 0) {
        image.shiftedSpan(y, firstX, m_count, out.data());
        for (double &v : out) // as a one-pixel box sum: -0 becomes +0
            v = 0.0 + v;
        return;
    }
    for (int b = 0; b < m_count; ++b)
        out[size_t(b)] = image.boxSum(firstX + b * stepX, y, c.hx, c.hy);
}

// r of computeMuT for every bin of the row into m_beam, from the I0 sums in
// m_spanA and m_spanB: each case in a loop of its own (TiffData::
// interpolateSums term by term), so that the loops vectorise.
void SparseMuTRow::beam(const MuTConditions &c, int i0Count, double total, bool useTotal,
                        double pixels, double area0, double fromLower, double pairWidth,
                        bool samePair) {
    double *r = m_beam.data();
    const double *d0 = m_dark0.data(), *sa = m_spanA.data(), *sb = m_spanB.data();
    // The dark of I0 is d0 + area0 where a dark area is on; adding 0 where it
    // is not can only turn a -0 into +0, and a zero beam reads 1 either way.
    const int n = m_count;
    if (useTotal)
        std::fill_n(r, n, total);
    else if (!c.useI0)
        std::fill_n(r, n, pixels);
    else if (i0Count == 0)
        for (int b = 0; b < n; ++b)
            r[b] = 1 - (d0[b] + area0);
    else if (i0Count == 1)
        for (int b = 0; b < n; ++b)
            r[b] = sa[b] - (d0[b] + area0);
    else if (samePair)
        for (int b = 0; b < n; ++b)
            r[b] = (sa[b] + sb[b]) / 2 - (d0[b] + area0);
    else
        for (int b = 0; b < n; ++b)
            r[b] = (sa[b] + (sb[b] - sa[b]) * fromLower / pairWidth) - (d0[b] + area0);
}

void SparseMuTRow::read(const MeasurementStack &stack, const MuTPoints &points, const char *wanted,
                        int y, int firstX, int stepX, int count, const MuTConditions &c) {
    m_count = std::max(count, 0);
    // A bin reads its points a stride apart: an odd number of cache lines,
    // lest a power-of-two stride put every point into the same cache set.
    m_stride = ((m_count + 7) / 8 | 1) * 8;
    const int n = points.count();
    m_mu.resize(size_t(m_stride) * size_t(n));
    m_inside.resize(size_t(m_count));
    m_dark1.resize(size_t(m_count));
    m_dark0.resize(size_t(m_count));
    m_beam.resize(size_t(m_count));
    m_signal.resize(size_t(m_count));
    for (int b = 0; b < m_count; ++b) {
        const int x = firstX + b * stepX;
        m_inside[size_t(b)] = stack.inside(x, y) ? 1 : 0;
        m_dark1[size_t(b)] = stack.darkSum(x, y, c.hx, c.hy, c.i1ExpMs, c.darkExpMs);
        m_dark0[size_t(b)] = stack.darkSum(x, y, c.hx, c.hy, c.i0ExpMs, c.darkExpMs);
    }
    const QVector<TiffData *> &i0 = stack.i0();
    const DarkArea &da1 = stack.darkArea(Series::I1);
    const DarkArea &da0 = stack.darkArea(Series::I0);
    const Spectrum &total = stack.totalI0OfI1();
    const double pixels = c.pixelCount();
    const int i0Count = i0.size();
    int heldA = -1, heldB = -1; // the I0 images whose sums spanA and spanB hold
    for (int p = 0; p < n; ++p) {
        double *mu = m_mu.data() + size_t(p) * size_t(m_stride);
        if (!wanted[p]) {
#ifndef NDEBUG
            // A point read although not asked for shows up as NaN in tests.
            std::fill(mu, mu + m_count, std::numeric_limits<double>::quiet_NaN());
#endif
            continue;
        }
        const int i = points.images[size_t(p)];
        const double e = points.energies[size_t(p)];
        sums(*stack.i1().at(i), y, firstX, stepX, c, m_span1);
        const bool pairRead = c.useI0 && i0Count > 0;
        int k = 0;
        if (pairRead) {
            k = TiffData::interpolationPair(i0.constData(), i0Count, e);
            const int lower = i0Count == 1 ? 0 : k - 1;
            if (lower == heldB && lower != heldA) {
                std::swap(m_spanA, m_spanB);
                std::swap(heldA, heldB);
            }
            if (lower != heldA) {
                sums(*i0.at(lower), y, firstX, stepX, c, m_spanA);
                heldA = lower;
            }
            if (i0Count > 1 && k != heldB) {
                sums(*i0.at(k), y, firstX, stepX, c, m_spanB);
                heldB = k;
            }
        }
        const double ea = pairRead && i0Count > 1 ? i0.at(k - 1)->energy() : 0.0;
        const double eb = pairRead && i0Count > 1 ? i0.at(k)->energy() : 0.0;
        const double area1 = da1.on ? pixels * da1.values.at(i) : 0.0;
        const bool area0On = da0.on && i < da0.values.size();
        const double area0 = area0On ? pixels * da0.values.at(i) : 0.0;
        // The operations of computeMuT in its order, so the same bits; the
        // logarithms of the whole row at once (MuLog).
        for (int b = 0; b < m_count; ++b) {
            double d1 = m_dark1[size_t(b)];
            if (da1.on)
                d1 += area1;
            m_signal[size_t(b)] = m_span1[size_t(b)] - d1;
        }
        beam(c, i0Count, i < total.count() ? total.y(i) : 0.0, total.count() > 0, pixels,
             area0On ? area0 : 0.0, e - ea, eb - ea, ea == eb);
        if (c.fluo) {
            for (int b = 0; b < m_count; ++b)
                mu[b] = MeasurementStack::muOf(m_beam[size_t(b)], m_signal[size_t(b)], true);
        } else {
            MuLog::logRatios(m_beam.data(), m_signal.data(), mu, m_count);
        }
    }
}
