// Random and mutated files through both readers, the normalisation in both
// background forms and the transform: nothing may crash, read out of bounds
// (the sanitizer build watches) or hang, and the results stay consistent.
#include "spectrum/FourierTransform.h"
#include "spectrum/SpectrumFile.h"
#include "spectrum/XafsSpectrum.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

const char *const seeds[] = {
    "9809 header D= 3.1356\nOffset 0 0\n1 10.0 1 1000 100\n2 9.99 1 1000 90\n3 9.98 1 1000 "
    "80\n4 9.97 1 1000 70\n5 9.96 1 1000 60\n6 9.95 1 900 50\n",
    "8000 1\n8010 1.1\n8020 1.3\n8030 2.5\n8040 2.6\n8050 2.55\n8060 2.5\n8070 2.52\n",
    "1 nan\n2 inf\n3 -inf\n4 1e308\n5 1e-320\n6 1e999999\n7 0x10\n",
    "5 1\n5 2\n5 3\n5 4\n5 5\n",
    "9000 1\n8000 2\n7000 3\n6000 4\n5000 5\n4000 6\n",
    "9809\nOffset\nD= 0\n1 0 1 1 1\n",
};

void exercise(const QString &path, std::mt19937 &rng) {
    XafsSpectrum x;
    SpectrumFile::read(path, x);
    SuggestElm s;
    s.use = rng() % 2;
    s.edgeEnergy = x.count() ? x.x(int(rng() % x.count())) : 8000;
    for (int simple = 1; simple >= 0; --simple) {
        XafsSpectrum n(x, "fuzz", simple, 0, s);
        ASSERT_EQ(n.normalized().count(), x.count());
        ASSERT_EQ(n.doubleNormalizedPostBase().count(), x.count());
        ASSERT_LE(n.pre().count(), VictLine::bridgeSamples);
        n.normalize(1 - simple);
        ASSERT_LE(n.post().count(), VictLine::bridgeSamples);
        (void)n.valueAt(s.edgeEnergy);
        (void)n.normalized().valueAt(s.edgeEnergy);
    }
    Spectrum plain;
    plain.readTwoColumns(path);
    FourierTransform ft;
    ft.setSize(qMax(1, x.count()));
    ft.transform(plain);
    ASSERT_NE(ft.magnitudes(), nullptr);
}

QByteArray mutate(QByteArray bytes, std::mt19937 &rng) {
    const int edits = 1 + int(rng() % 6);
    const char alphabet[] = "0123456789.-+eE \t\n#D=nanifOffset9809";
    for (int e = 0; e < edits; ++e) {
        const int pos = bytes.isEmpty() ? 0 : int(rng() % bytes.size());
        switch (rng() % 4) {
        case 0:
            if (!bytes.isEmpty())
                bytes[pos] = alphabet[rng() % (sizeof(alphabet) - 1)];
            break;
        case 1:
            bytes.insert(pos, alphabet[rng() % (sizeof(alphabet) - 1)]);
            break;
        case 2:
            bytes.remove(pos, 1 + int(rng() % 8));
            break;
        default:
            bytes.insert(pos, bytes.mid(pos, int(rng() % 40))); // duplicate a stretch
        }
    }
    return bytes;
}

} // namespace

TEST(SpectrumFuzzTest, MutatedAndRandomFilesNeverBreakReadersOrNormalisation) {
    QTemporaryDir dir;
    std::mt19937 rng(20240611);
    int round = 0;
    for (const char *seed : seeds) {
        for (int i = 0; i < 40; ++i, ++round) {
            const QByteArray bytes = mutate(QByteArray(seed), rng);
            exercise(TestSupport::writeFile(dir, QString("m%1.dat").arg(round), bytes), rng);
        }
    }
    for (int i = 0; i < 40; ++i) {
        QByteArray bytes(int(rng() % 600), '\0');
        for (char &c : bytes)
            c = char(rng());
        if (i % 2)
            bytes.prepend("9809\nOffset\n");
        exercise(TestSupport::writeFile(dir, QString("r%1.dat").arg(i), bytes), rng);
    }
    exercise(TestSupport::writeFile(dir, "empty.dat", QByteArray()), rng);
}

TEST(SpectrumFuzzTest, RandomSpectraKeepTheirCurvesConsistent) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (int round = 0; round < 200; ++round) {
        Spectrum s;
        const int n = int(rng() % 40);
        double e = 8000;
        for (int i = 0; i < n; ++i) {
            e += (round % 3 == 0) ? 10 * u(rng) : 1 + 5 * std::fabs(u(rng));
            s.addPoint(e, u(rng) + (i > n / 2 ? 1 : 0));
        }
        SuggestElm sug;
        sug.use = round % 2;
        sug.edgeEnergy = 8000 + 50 * u(rng);
        XafsSpectrum x(s, "r", int(round % 4 != 0), 0, sug);
        ASSERT_EQ(x.normalized().count(), n);
        ASSERT_LE(x.pre().count(), VictLine::bridgeSamples);
        if (n >= 3 && !sug.use) { // midx is one of the energies
            EXPECT_TRUE(std::any_of(x.points().begin(), x.points().end(),
                                    [&](const QPointF &p) { return p.x() == x.midx(); }));
        }
    }
}
