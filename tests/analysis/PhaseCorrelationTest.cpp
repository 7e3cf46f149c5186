// Phase correlation of drifted series across an absorption edge: whole-pixel
// drifts found against a reference below the edge, the sub-pixel accuracy of
// the upsampled peak, the series run (threads, chain, refusals) and the
// plausibility marks.
#include "analysis/PhaseCorrelation.h"
#include "analysis/SeriesAlignment.h"
#include "imageio/TiffData.h"
#include "support/DriftSeries.h"

#include <QPointF>
#include <atomic>
#include <gtest/gtest.h>

namespace {

struct Series {
    std::vector<std::unique_ptr<TiffData>> keep;
    QVector<const TiffData *> images;
    QVector<QPointF> drift;
};

Series edgeSeries(const DriftSeries::EdgeOptions &o, bool whole) {
    Series s;
    s.drift = DriftSeries::edgeDrifts(o.images, whole);
    for (int i = 0; i < o.images; ++i) {
        s.keep.push_back(DriftSeries::edgeImage(o, s.drift[i], i));
        s.images << s.keep.back().get();
    }
    return s;
}

// |error| in x and in y of every image but the reference, against image 0.
std::vector<double> errorsOf(const Series &s, const QVector<Registration::ShiftEntry> &found) {
    std::vector<double> e;
    for (int i = 1; i < found.size(); ++i) {
        const QPointF want = s.drift[0] - s.drift[i];
        e.push_back(std::fabs(found[i].dx - want.x()));
        e.push_back(std::fabs(found[i].dy - want.y()));
    }
    std::sort(e.begin(), e.end());
    return e;
}

double quantile(const std::vector<double> &sorted, double q) {
    return sorted.empty() ? 0 : sorted[size_t(q * double(sorted.size() - 1) + 0.5)];
}

QVector<Registration::ShiftEntry> alignAll(const Series &s, const PhaseOptions &p, int threads = 2,
                                           bool chain = false) {
    SeriesAlignOptions o;
    o.phase = p;
    o.threads = threads;
    o.chain = chain;
    QVector<Registration::ShiftEntry> out;
    QString why;
    EXPECT_TRUE(SeriesAlignment::align(s.images, o, out, &why)) << qPrintable(why);
    return out;
}

} // namespace

// Against image 0, below the edge. Compound B's contrast falls to 0.3 of its
// value across the edge, or reverses (bAbove -1): where it reverses, the
// borders of B correlate negatively and cancel those of A at the true shift,
// so the images' own correlation fails there and their gradients (or a
// chain of neighbours) are needed. Noise is uniform in +-noise on a
// background of 3000 (1200 above the edge) and features of 1500 (600).
TEST(PhaseCorrelation, FindsEveryWholePixelDriftAcrossTheEdge) {
    const struct {
        double noise, bAbove;
        bool gradient, chain;
        int upsample;
        bool findsAll;
    } cases[] = {
        {0, 0.3, false, false, 1, true},   {300, 0.3, false, false, 1, true},
        {600, 0.3, false, false, 1, true}, {300, 0.3, false, false, 20, true},
        {150, -1, false, false, 1, false}, {150, -1, true, false, 1, true},
        {600, -1, true, false, 1, true},   {150, -1, false, true, 1, true},
        {600, 0.3, true, false, 1, true},
    };
    for (const auto &c : cases) {
        DriftSeries::EdgeOptions o;
        o.noise = c.noise;
        o.bAbove = c.bAbove;
        const Series s = edgeSeries(o, true);
        PhaseOptions p;
        p.gradient = c.gradient;
        p.upsample = c.upsample;
        const std::vector<double> e = errorsOf(s, alignAll(s, p, 2, c.chain));
        EXPECT_EQ(e.back() < 0.5, c.findsAll)
            << c.noise << " " << c.bAbove << " " << c.gradient << " " << c.chain;
    }
}

// Drifts of any fraction of a pixel (up to about 3 pixels, 40 images, each
// pixel the scene averaged over its area), upsample 20, against image 0.
// Error |found - true| in x and in y, median / 95th percentile reached:
//   images, B's contrast to 0.3:  noise 0: 0.031 / 0.069, 150: 0.034 / 0.094,
//                                 600: 0.106 / 0.338
//   gradients, B reversing:       noise 150: 0.032 / 0.081, 300: 0.048 / 0.128
//   gradients, B's to 0.3:        noise 0: 0.026 / 0.052
TEST(PhaseCorrelation, SubPixelAccuracy) {
    const struct {
        double noise, bAbove;
        bool gradient;
        double median, p95;
    } cases[] = {
        {0, 0.3, false, 0.04, 0.08}, {150, 0.3, false, 0.04, 0.11}, {600, 0.3, false, 0.12, 0.4},
        {150, -1, true, 0.04, 0.1},  {300, -1, true, 0.06, 0.15},   {0, 0.3, true, 0.03, 0.06},
    };
    for (const auto &c : cases) {
        DriftSeries::EdgeOptions o;
        o.noise = c.noise;
        o.bAbove = c.bAbove;
        o.images = 40;
        const Series s = edgeSeries(o, false);
        PhaseOptions p;
        p.gradient = c.gradient;
        p.upsample = 20;
        const std::vector<double> e = errorsOf(s, alignAll(s, p));
        EXPECT_LT(quantile(e, 0.5), c.median);
        EXPECT_LT(quantile(e, 0.95), c.p95);
    }
}

// The shifts do not depend on the thread count; a chain adds up the shifts
// between neighbours; a series that cannot be aligned says why.
TEST(SeriesAlignment, ThreadsChainAndRefusals) {
    DriftSeries::EdgeOptions o;
    o.images = 9;
    o.noise = 100;
    const Series s = edgeSeries(o, false);
    PhaseOptions p;
    p.upsample = 10;
    const auto one = alignAll(s, p, 1), three = alignAll(s, p, 3);
    ASSERT_EQ(one.size(), 9);
    for (int i = 0; i < one.size(); ++i) {
        EXPECT_EQ(one[i].index, i);
        EXPECT_EQ(one[i].dx, three[i].dx);
        EXPECT_EQ(one[i].dy, three[i].dy);
        EXPECT_EQ(one[i].score, three[i].score);
    }
    EXPECT_EQ(one[0].score, 1);
    SeriesAlignOptions chain;
    chain.phase = p;
    chain.chain = true;
    chain.reference = 4;
    QVector<Registration::ShiftEntry> c;
    QString why;
    ASSERT_TRUE(SeriesAlignment::align(s.images, chain, c, &why));
    for (int i = 0; i < c.size(); ++i) {
        const QPointF want = s.drift[4] - s.drift[i];
        EXPECT_NEAR(c[i].dx, want.x(), 0.3) << i;
        EXPECT_NEAR(c[i].dy, want.y(), 0.3) << i;
    }
    DriftSeries::Options small;
    small.width = 40;
    const auto other = DriftSeries::image(small, {}, 0);
    const struct {
        QVector<const TiffData *> images;
        int reference;
        const char *why;
    } bad[] = {
        {{}, 0, "no images"},
        {s.images, 9, "reference 9 but only 9 images"},
        {s.images.mid(0, 2) << other.get(), 0, "image 2: size mis-match"},
    };
    for (const auto &b : bad) {
        SeriesAlignOptions a;
        a.reference = b.reference;
        EXPECT_FALSE(SeriesAlignment::align(b.images, a, c, &why));
        EXPECT_EQ(why, QString(b.why));
    }
    std::atomic<bool> stop{true};
    EXPECT_FALSE(SeriesAlignment::align(s.images, chain, c, &why, &stop));
    EXPECT_EQ(why, "stopped");
}

TEST(SeriesAlignment, Suspects) {
    const auto series = [](std::initializer_list<double> xs, double lowScoreAt = -1) {
        QVector<Registration::ShiftEntry> v;
        for (double x : xs)
            v.append({v.size(), x, -x / 2, v.size() == lowScoreAt ? 0.01 : 0.5});
        return v;
    };
    const struct {
        QVector<Registration::ShiftEntry> shifts;
        double maxJump;
        QVector<int> want;
    } cases[] = {
        {series({0, 0.5, 1, 1.5, 2, 2.5}), 1.5, {}},    // a smooth drift
        {series({0, 0.5, 30, 1.5, 2, 2.5}), 3, {2}},    // a false peak
        {series({0, 0.5, 1, 1.5, 2, 2.5}, 3), 3, {3}},  // a low score
        {series({40, 0.5, 1, 1.5, 2, -40}), 3, {0, 5}}, // at both ends
        {series({0, 0.5, 30, 1.5, 2, 2.5}), -1, {}},    // jumps not checked
        {series({0, 5}), 3, {0, 1}},                    // two images that differ
        {series({}), 3, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SeriesAlignment::suspects(c.shifts, 0.02, c.maxJump), c.want);
}
