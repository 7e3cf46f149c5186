// Edge detection through the registration shift, the score, the hill climb
// (order, strict improvement, stops) and drift recovery by both methods.
#include "analysis/ImageRegistration.h"
#include "analysis/PhaseCorrelation.h"
#include "imageio/TiffData.h"
#include "support/DriftSeries.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TiffData> image16(int w, int h, const std::vector<quint16> &s) {
    auto t = std::make_unique<TiffData>();
    EXPECT_TRUE(t->assign(w, h, TiffData::UInt16, s.data()));
    return t;
}

BinaryImage binaryOf(int w, int h, const std::vector<int> &ones) {
    BinaryImage b;
    b.width = w;
    b.height = h;
    b.values.assign(size_t(w * h), 0);
    for (int i : ones)
        b.values[size_t(i)] = 1;
    b.max = ones.empty() ? 0 : 1;
    return b;
}

// The binary edges of a drift-series image at the slider position.
BinaryImage edgesOf(const TiffData &t, int slider = 300) {
    EdgeImage e;
    Registration::edgeDetect(t, e);
    BinaryImage b;
    Registration::binarize(e, Registration::thresholdAt(e.min, e.max, slider), b);
    return b;
}

} // namespace

// The literal formula, pixel by pixel through TiffData::value, against the
// row-wise detector, for several shifts including ones beyond the image.
TEST(ImageRegistration, EdgeDetectFollowsTheFormulaThroughTheShift) {
    const int w = 7, h = 5;
    std::vector<quint16> s(w * h);
    for (int i = 0; i < w * h; ++i)
        s[size_t(i)] = quint16((i * 37) % 101);
    auto t = image16(w, h, s);
    for (const QPoint shift : {QPoint(0, 0), QPoint(2, -1), QPoint(-3, 4), QPoint(100, 0),
                               QPoint(-2147483647, 2147483647)}) {
        t->setShift(shift.x(), shift.y());
        EdgeImage e;
        Registration::edgeDetect(*t, e);
        ASSERT_EQ(e.values.size(), size_t(w * h));
        double lo = 1e300, hi = -1e300;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto P = [&](int a, int b) { return t->value(a, b); };
                const double gx = P(x + 1, y - 1) + P(x + 1, y) + P(x + 1, y + 1) -
                                  P(x - 1, y - 1) - P(x - 1, y) - P(x - 1, y + 1);
                const double gy = P(x - 1, y + 1) + P(x, y + 1) + P(x + 1, y + 1) -
                                  P(x - 1, y - 1) - P(x, y - 1) - P(x + 1, y - 1);
                const double want = std::max(std::fabs(gx), std::fabs(gy));
                EXPECT_EQ(e.values[size_t(y * w + x)], want)
                    << x << "," << y << " shift " << shift.x() << "," << shift.y();
                lo = std::min(lo, want);
                hi = std::max(hi, want);
            }
        EXPECT_EQ(e.min, lo);
        EXPECT_EQ(e.max, hi);
    }
}

// A blank image, threshold at both ends of the slider, an empty range.
TEST(ImageRegistration, BlankImagesAndThresholdEnds) {
    auto blank = image16(6, 4, std::vector<quint16>(24, 0));
    EdgeImage e;
    Registration::edgeDetect(*blank, e);
    EXPECT_EQ(e.min, 0);
    EXPECT_EQ(e.max, 0);
    BinaryImage b;
    Registration::binarize(e, Registration::thresholdAt(e.min, e.max, 0), b);
    EXPECT_EQ(b.max, 0);
    EXPECT_EQ(Registration::score(b, b, 0, 0), 0); // no set pixel: 0, not NaN
    EXPECT_EQ(Registration::sliderAt(0, 0, 5), 0);
    EXPECT_EQ(Registration::sliderAt(0, 10, 1e9), 999);
    EXPECT_EQ(Registration::sliderAt(0, 10, -5), 0);
    EXPECT_EQ(Registration::sliderAt(0, 10, 2.5), 250);
    EXPECT_DOUBLE_EQ(Registration::thresholdAt(2, 12, 100), 3);
    // Threshold at the maximum: strictly above, so nothing is set.
    auto t = DriftSeries::image({}, {0, 0}, 0);
    Registration::edgeDetect(*t, e);
    Registration::binarize(e, e.max, b);
    EXPECT_EQ(b.max, 0);
    Registration::binarize(e, e.min - 1, b);
    EXPECT_EQ(b.min, 1);
    TiffData empty;
    Registration::edgeDetect(empty, e);
    EXPECT_TRUE(e.isEmpty());
}

TEST(ImageRegistration, ScoreAndComparability) {
    const BinaryImage a = binaryOf(4, 3, {0, 5, 6, 11});
    EXPECT_DOUBLE_EQ(Registration::score(a, a, 0, 0), 1.0);
    // Shifted right by one: a(k-1) against a(k): pixels 5->6 match once.
    EXPECT_NEAR(Registration::score(a, a, 1, 0), 1 / std::sqrt(3.0 * 3.0), 1e-15);
    EXPECT_EQ(Registration::score(a, a, 4, 0), 0); // shift as large as the image
    EXPECT_EQ(Registration::score(a, a, -2000000000, 2000000000), 0);
    const struct {
        BinaryImage bin, ref;
        Registration::Comparable want;
        const char *message;
    } cases[] = {
        {BinaryImage(), a, Registration::Comparable::NoBinary, "no bin image"},
        {a, BinaryImage(), Registration::Comparable::NoReference, "no ref bin image"},
        {a, binaryOf(3, 4, {0}), Registration::Comparable::SizeMismatch, "size mis-match"},
        {a, a, Registration::Comparable::Yes, ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Registration::comparable(c.bin, c.ref), c.want);
        EXPECT_EQ(Registration::message(c.want), QString(c.message));
        QImage pic;
        if (c.want != Registration::Comparable::Yes)
            EXPECT_EQ(Registration::score(c.bin, c.ref, 0, 0), 0);
        else
            EXPECT_DOUBLE_EQ(Registration::comparisonPicture(c.bin, c.ref, 1, 0, pic),
                             Registration::score(c.bin, c.ref, 1, 0));
    }
    QImage pic;
    Registration::comparisonPicture(a, a, 1, 0, pic);
    EXPECT_EQ(pic.pixel(0, 0), qRgb(0, 0, 255));   // no shifted pixel there
    EXPECT_EQ(pic.pixel(1, 0), qRgb(0, 255, 0));   // b = a(0) = 1, r = a(1) = 0
    EXPECT_EQ(pic.pixel(2, 1), qRgb(255, 255, 0)); // b = a(5), r = a(6)
}

// Climbs: the stop at a maximum, a flat surface, strict improvement, and the
// neighbour order deciding between equal gains.
TEST(ImageRegistration, HillClimb) {
    const BinaryImage one = binaryOf(5, 5, {12});   // a single pixel at (2, 2)
    const BinaryImage right = binaryOf(5, 5, {13}); // at (3, 2)
    const BinaryImage cross = binaryOf(5, 5, {7, 11, 12, 13, 17});
    const BinaryImage empty = binaryOf(5, 5, {});
    const struct {
        const BinaryImage *bin, *ref;
        int sx, sy;
        double start;
        int wantX, wantY, wantMoves;
    } cases[] = {
        {&one, &one, 0, 0, 1.0, 0, 0, 0},     // already the best: stops at once
        {&one, &right, 0, 0, 0.0, 1, 0, 1},   // one step right
        {&one, &right, 0, 0, 1.0, 0, 0, 0},   // stale start score as good: no move
        {&empty, &one, 2, 1, 0.0, 2, 1, 0},   // flat surface: stays
        {&one, &one, 3, 3, 0.0, 3, 3, 0},     // all neighbours 0: flat, stays
        {&cross, &cross, 2, 0, 0.0, 0, 0, 2}, // climbs two steps to the maximum
    };
    for (const auto &c : cases) {
        const ClimbResult r = Registration::hillClimb(*c.bin, *c.ref, c.sx, c.sy, c.start);
        EXPECT_EQ(r.sx, c.wantX);
        EXPECT_EQ(r.sy, c.wantY);
        EXPECT_EQ(r.moves, c.wantMoves);
        EXPECT_EQ(r.scored, 8 * (c.wantMoves + 1));
    }
    // A pixel that could be matched by (1, 1) and (1, 0) equally: the first
    // in the order wins, the later equal one does not replace it.
    const BinaryImage two = binaryOf(5, 5, {18, 13}); // (3, 3) and (3, 2)
    const ClimbResult r = Registration::hillClimb(one, two, 0, 0, 0.0);
    EXPECT_EQ(r.sx, 1);
    EXPECT_EQ(r.sy, 1);
    // A bound on the shift.
    const ClimbResult b = Registration::hillClimb(one, right, 0, 0, 0.0, 0);
    EXPECT_EQ(b.sx, 0);
    // Not comparable: no move, no score.
    EXPECT_EQ(Registration::hillClimb(one, binaryOf(4, 4, {1}), 0, 0, 0.0).scored, 0);
}

// Known integer drifts, recovered by the edge score climbing image to image
// (threshold at 30 % of the edge range) and by phase correlation. With noise
// uniform in +-A, the edge score holds from a feature contrast of about 4 A,
// phase correlation from about 1.5 A. The absorption step changes every
// image's brightness as across an edge.
TEST(ImageRegistration, BothMethodsRecoverKnownDrifts) {
    const struct {
        double contrast, noise;
        bool edgeFinds, phaseFinds;
    } cases[] = {
        {2000, 0, true, true},   {2000, 200, true, true}, {400, 100, true, true},
        {200, 100, false, true}, {150, 100, false, true}, {100, 100, false, false},
    };
    for (const auto &c : cases) {
        DriftSeries::Options o;
        o.contrast = c.contrast;
        o.noise = c.noise;
        o.absorption = 0.05;
        const QVector<QPoint> d = DriftSeries::drifts();
        auto ref = DriftSeries::image(o, d[0], 0);
        const BinaryImage refBin = edgesOf(*ref);
        PhaseCorrelator pc;
        ASSERT_TRUE(pc.setReference(*ref));
        bool edgeOk = true, phaseOk = true;
        int sx = 0, sy = 0;
        for (int i = 1; i < d.size(); ++i) {
            auto img = DriftSeries::image(o, d[i], i);
            const BinaryImage bin = edgesOf(*img);
            const ClimbResult r = Registration::hillClimb(
                bin, refBin, sx, sy, Registration::score(bin, refBin, sx, sy), 20);
            sx = r.sx;
            sy = r.sy;
            edgeOk = edgeOk && QPoint(sx, sy) == -d[i];
            PhaseMatch m;
            ASSERT_TRUE(pc.correlate(*img, &m));
            phaseOk = phaseOk && QPointF(m.dx, m.dy) == -QPointF(d[i]);
        }
        EXPECT_EQ(edgeOk, c.edgeFinds) << "contrast " << c.contrast << " noise " << c.noise;
        EXPECT_EQ(phaseOk, c.phaseFinds) << "contrast " << c.contrast << " noise " << c.noise;
    }
    // Sizes must match.
    PhaseCorrelator pc;
    ASSERT_TRUE(pc.setReference(*DriftSeries::image({}, {0, 0}, 0)));
    DriftSeries::Options small;
    small.width = 40;
    PhaseMatch m;
    EXPECT_FALSE(pc.correlate(*DriftSeries::image(small, {0, 0}, 0), &m));
    EXPECT_FALSE(PhaseCorrelator().correlate(*DriftSeries::image({}, {0, 0}, 0), &m));
}

TEST(ImageRegistration, ShiftFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath("s.txt");
    const QVector<Registration::ShiftEntry> entries = {{0, 0, 0, 1}, {1, -3, 2, 0.75}};
    ASSERT_TRUE(Registration::writeShiftFile(path, entries));
    EXPECT_EQ(TestSupport::readFile(path), QByteArray("0 0 0 1\n1 -3 2 0.75\n"));
    QVector<Registration::ShiftEntry> back;
    QString err;
    ASSERT_TRUE(Registration::readShiftFile(path, back, &err));
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back[1].dx, -3);
    EXPECT_EQ(back[1].dy, 2);
    for (const char *bad : {"1 2\n", "a 1 2 3\n", "-1 0 0 0\n", "1 2 3 x\n"}) {
        TestSupport::writeFile(dir, "bad.txt", bad);
        EXPECT_FALSE(Registration::readShiftFile(dir.filePath("bad.txt"), back, &err)) << bad;
        EXPECT_TRUE(err.contains("bad.txt:1"));
    }
    TestSupport::writeFile(dir, "ok.txt", "# index dx dy score\n\n2 1 1\n");
    EXPECT_TRUE(Registration::readShiftFile(dir.filePath("ok.txt"), back, &err));
    // Sub-pixel shifts, written in steps of 1/20 without rounding noise.
    const QVector<Registration::ShiftEntry> fine = {{0, 0.35, -1.05, 0.9}, {1, -0.0, 2, 1}};
    ASSERT_TRUE(Registration::writeShiftFile(path, fine));
    EXPECT_EQ(TestSupport::readFile(path), QByteArray("0 0.35 -1.05 0.9\n1 0 2 1\n"));
    ASSERT_TRUE(Registration::readShiftFile(path, back, &err));
    EXPECT_EQ(back[0].dx, 0.35);
    EXPECT_EQ(back[0].dy, -1.05);
    for (const char *bad : {"1 nan 0 1\n", "1 0 inf 1\n", "1 1e9 0 1\n"}) {
        TestSupport::writeFile(dir, "bad.txt", bad);
        EXPECT_FALSE(Registration::readShiftFile(dir.filePath("bad.txt"), back, &err)) << bad;
    }
    const struct {
        double shift;
        int whole;
    } rounding[] = {{0.49, 0}, {0.5, 1}, {-1.5, -2}, {2.7, 3}, {1e12, TiffData::MaxShift}};
    for (const auto &r : rounding)
        EXPECT_EQ(Registration::wholePixels(r.shift), r.whole) << r.shift;
    EXPECT_FALSE(Registration::readShiftFile(dir.filePath("none.txt"), back, &err));
}
