// Damaged files for the three image readers and the mask reader: random byte
// changes, cuts and insertions of valid files. The readers must fail or read,
// never crash, read out of bounds or hang (run under the sanitizer build).
#include "app/DebugLog.h"
#include "imageio/ImageFiles.h"
#include "imageio/TiffData.h"
#include "render/ImagePicture.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray mutate(const QByteArray &seed, std::mt19937 &rng) {
    QByteArray b = seed;
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits && !b.isEmpty(); ++e) {
        const int at = int(rng() % uint32_t(b.size()));
        switch (kind(rng)) {
        case 0: // flip a byte
        case 1:
            b[at] = char(rng());
            break;
        case 2: // an extreme value in a header-sized field
            b[at] = char(0xff);
            if (at + 1 < b.size())
                b[at + 1] = char(0xff);
            break;
        case 3: // cut the file
            b.truncate(at);
            break;
        case 4: // insert garbage
            b.insert(at, QByteArray(int(rng() % 16), char(rng())));
            break;
        default: // a zero where a count or size lives
            b[at] = 0;
            break;
        }
    }
    return b;
}

QByteArray writtenTiff(const QTemporaryDir &dir) {
    QVector<quint16> s(6 * 5);
    for (int i = 0; i < s.size(); ++i)
        s[i] = quint16(i * 1000);
    const QString path = dir.filePath("seed.tif");
    TiffData::write16BitTiff(path, 6, 5, s.constData());
    return TestSupport::readFile(path);
}

} // namespace

TEST(ImageFuzz, DamagedFilesNeverCrashTheReaders) {
    QTemporaryDir dir;
    QVector<quint32> px(12);
    for (int i = 0; i < px.size(); ++i)
        px[i] = quint32(i * 7);
    const QList<QByteArray> seeds = {
        writtenTiff(dir),
        ImageFiles::tiff16(3, 4, QVector<quint16>(12, 5), true, 1, 100),
        ImageFiles::tiff16(4, 3, QVector<quint16>(12, 9), false, 3, 10),
        ImageFiles::img(4, 3, 1, 2, "BytesPerPixel=2,ExposureTime=250 us", px, 2),
        ImageFiles::img(3, 4, 0, 0, "BytesPerPixel=4,ExposureTime=1", px, 4),
        "#PRXM-CTImg\n# RANGE_X0 = 0\n# RANGE_X1 = 3\n# RANGE_Y0 = 1\n# RANGE_Y1 = 3\n"
        "0 0 1\n1 0 2\n2 0 3\n0 1 -4\n1 1 5e2\n2 1 0.25\n",
    };
    ErrPoints mask;
    mask.addPoint(1, 1);
    mask.addPoint(2, 3);
    mask.setUse(true);
    std::mt19937 rng(20240611);
    DebugLog::Capture quiet; // keep the expected failure messages
    int read = 0, refused = 0, serial = 0;
    for (int round = 0; round < 400; ++round) {
        for (const QByteArray &seed : seeds) {
            const QByteArray bytes = mutate(seed, rng);
            // A new name each time: rewriting one file in place makes the file
            // system flush it on every close.
            const QString path =
                TestSupport::writeFile(dir, QString("f%1.bin").arg(++serial), bytes);
            TiffData d;
            if (d.load(path, mask)) {
                ++read;
                // Whatever was read must be readable everywhere.
                for (int y = -1; y <= d.height(); ++y)
                    for (int x = -1; x <= d.width(); ++x)
                        d.value(x, y);
                d.boxSum(1, 1, 2, 2);
                d.areaAverage(0, 0, d.width(), d.height());
                EXPECT_EQ(imagePicture(d).width(), d.width());
            } else {
                ++refused;
                EXPECT_FALSE(d.hasData());
            }
        }
    }
    EXPECT_GT(read, 100);
    EXPECT_GT(refused, 100);
}

TEST(ImageFuzz, DamagedMaskFilesNeverCrashTheMaskReader) {
    QTemporaryDir dir;
    const QByteArray seed =
        "# Size 100 200\n1 2\n\"3\" 4 # c\n# Size\n5\n 6 7 8\n\"unterminated 9\n";
    std::mt19937 rng(7);
    for (int round = 0; round < 500; ++round) {
        ErrPoints m;
        m.read(TestSupport::writeFile(dir, QString("m%1.txt").arg(round), mutate(seed, rng)));
        for (const QPoint &p : m.points())
            EXPECT_TRUE(m.contains(p.x(), p.y()));
    }
}
