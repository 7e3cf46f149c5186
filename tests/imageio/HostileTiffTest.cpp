// TIFF files whose faults libtiff reports only as warnings, or not at all: the
// reader must refuse them (or decode them fully), never hand out pixels it did
// not decode. Each case is also kept as a file of the fuzz regression corpus.
#include "app/DebugLog.h"
#include "imageio/ImageMemory.h"
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

constexpr int W = 8, H = 4;

// Rows 0 .. rows-1 of the test picture: sample (x, y) = (y * W + x) * 100.
QByteArray pictureRows(int rows) {
    QByteArray b(rows * W * 2, '\0');
    for (int i = 0; i < rows * W; ++i)
        qToLittleEndian<quint16>(quint16(i * 100), b.data() + 2 * i);
    return b;
}

// A deflate stream of stored (uncompressed) blocks.
QByteArray storedDeflate(const QByteArray &data) {
    return qCompress(data, 0).mid(4); // qCompress puts a 4-byte length first
}

// A little-endian 16-bit TIFF of W x H made by hand, so that the strip tables
// can be given any count. offsets/counts < 0 take the number of strips.
struct RawTiff {
    int compression = 1;
    int rowsPerStrip = H;
    QList<QByteArray> strips;
    int offsets = -1, counts = -1;
    quint32 firstOffset = 0; // nonzero: the first strip's offset as written

    QByteArray bytes() const {
        QByteArray data;
        QVector<quint32> offs, lens;
        for (const QByteArray &s : strips) {
            offs << quint32(8 + data.size());
            lens << quint32(s.size());
            data += s;
        }
        if (data.size() % 2)
            data += '\0';
        if (firstOffset)
            offs[0] = firstOffset;
        const int nOff = offsets < 0 ? offs.size() : offsets;
        const int nLen = counts < 0 ? lens.size() : counts;
        while (offs.size() < std::max(nOff, nLen)) {
            offs << offs.last();
            lens << lens.last();
        }
        const int entries = 9;
        const quint32 ifd = quint32(8 + data.size());
        quint32 extra = ifd + 2 + 12 * entries + 4;
        QByteArray tail;
        QByteArray dir;
        auto put = [](QByteArray &b, quint32 v, int size) {
            char c[4];
            if (size == 2)
                qToLittleEndian<quint16>(quint16(v), c);
            else
                qToLittleEndian<quint32>(v, c);
            b.append(c, size);
        };
        auto entry = [&](int tag, int type, quint32 count, quint32 value) {
            put(dir, quint32(tag), 2);
            put(dir, quint32(type), 2);
            put(dir, count, 4);
            put(dir, value, type == 3 && count == 1 ? 2 : 4);
            if (type == 3 && count == 1)
                put(dir, 0, 2);
        };
        auto array = [&](const QVector<quint32> &v, int n) {
            if (n == 1)
                return v[0];
            const quint32 at = extra + quint32(tail.size());
            for (int i = 0; i < n; ++i)
                put(tail, v[i], 4);
            return at;
        };
        put(dir, entries, 2);
        entry(256, 3, 1, W);
        entry(257, 3, 1, H);
        entry(258, 3, 1, 16);
        entry(259, 3, 1, quint32(compression));
        entry(262, 3, 1, 1);
        entry(273, 4, quint32(nOff), array(offs, nOff));
        entry(277, 3, 1, 1);
        entry(278, 3, 1, quint32(rowsPerStrip));
        entry(279, 4, quint32(nLen), array(lens, nLen));
        put(dir, 0, 4);
        QByteArray head("II*\0", 4);
        put(head, ifd, 4);
        return head + data + dir + tail;
    }
};

// 16-bit samples coded by a JBIG encoder: it decodes to 4 of the 64 bytes a
// strip needs, which libtiff only warns about.
QByteArray jbigStrip() {
    return QByteArray::fromHex("00008000000000100000002000000040"
                               "1000c038ff40ff40");
}

struct Case {
    const char *name;
    RawTiff tiff;
    bool accepted;
    const char *logged; // part of the refusal, for refused files
};

QList<Case> cases() {
    const QByteArray rows = pictureRows(H);
    const QByteArray half = pictureRows(H).left(H * W);
    RawTiff plain;
    plain.strips = {rows};
    RawTiff extraRow; // the strip holds one row more than the image, in a stored block
    extraRow.compression = 8;
    extraRow.strips = {storedDeflate(pictureRows(H + 1))};
    RawTiff shortStrip; // the strip holds half of its rows
    shortStrip.compression = 8;
    shortStrip.strips = {storedDeflate(half)};
    RawTiff jbig;
    jbig.compression = 34661;
    jbig.strips = {jbigStrip()};
    RawTiff twoStrips;
    twoStrips.rowsPerStrip = 2;
    twoStrips.strips = {rows.left(H * W), rows.mid(H * W)};
    RawTiff fewerOffsets = twoStrips; // the second offset missing: libtiff pads with 0
    fewerOffsets.offsets = 1;
    RawTiff moreCounts = twoStrips;
    moreCounts.counts = 3;
    RawTiff bothShort = twoStrips;
    bothShort.offsets = bothShort.counts = 1;
    RawTiff intoHeader = plain;
    intoHeader.firstOffset = 2;
    RawTiff pastEnd = plain;
    pastEnd.firstOffset = 100000;
    return {
        {"plain", plain, true, ""},
        {"deflate-extra-row", extraRow, true, ""},
        {"deflate-short-strip", shortStrip, false, "Error on reading TIFF data"},
        {"jbig-16bit", jbig, false, "Only decoded"},
        {"two-strips", twoStrips, true, ""},
        {"strip-offsets-fewer", fewerOffsets, false, "Incorrect count for \"StripOffsets\""},
        {"strip-counts-more", moreCounts, false, "StripByteCounts 3"},
        {"strip-tables-short", bothShort, false, "Damaged TIFF"},
        {"strip-in-header", intoHeader, false, "outside the file"},
        {"strip-past-end", pastEnd, false, "outside the file"},
    };
}

} // namespace

// With LUMENSTACK_CORPUS_OUT set, the cases are also written there (the TIFF
// folder of the fuzz regression corpus is made so).
TEST(HostileTiff, StripFaultsRefusedAndAcceptedFilesFullyDecoded) {
    QTemporaryDir dir;
    const QString corpusOut = qEnvironmentVariable("LUMENSTACK_CORPUS_OUT");
    for (const Case &c : cases()) {
        const QString path = TestSupport::writeFile(dir, QString(c.name) + ".tif", c.tiff.bytes());
        if (!corpusOut.isEmpty())
            QFile::copy(path, corpusOut + "/" + c.name + ".tif");
        DebugLog::Capture log;
        TiffData d;
        ASSERT_EQ(d.load(path), c.accepted) << c.name << "\n"
                                            << log.lines().join('\n').toStdString();
        if (!c.accepted) {
            EXPECT_TRUE(log.contains(c.logged)) << c.name << "\n"
                                                << log.lines().join('\n').toStdString();
            continue;
        }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(d.value(x, y), (y * W + x) * 100) << c.name << " " << x << "," << y;
    }
}

// A file that claims far more pixels than the budget allows is refused before
// anything is allocated, with the budget and its key named.
TEST(HostileTiff, ImageOverTheMemoryBudgetRefused) {
    QTemporaryDir dir;
    RawTiff t;
    t.strips = {pictureRows(H)};
    const QString path = TestSupport::writeFile(dir, "budget.tif", t.bytes());
    ImageMemory::setBudgetMB(1);
    TiffData small;
    EXPECT_TRUE(small.load(path));
    // 2000 x 1000 16-bit samples of zeros: 4 MB decoded from a few kB.
    QVector<quint16> zeros(2000 * 1000, 0);
    const QString big = dir.filePath("big.tif");
    ASSERT_TRUE(TiffData::write16BitTiff(big, 2000, 1000, zeros.constData()));
    DebugLog::Capture log;
    TiffData d;
    EXPECT_FALSE(d.load(big));
    EXPECT_TRUE(log.contains("image memory budget of 1 MB"))
        << log.lines().join('\n').toStdString();
    EXPECT_TRUE(log.contains(ImageMemory::BudgetKey));
    ImageMemory::setBudgetMB(0);
    EXPECT_TRUE(d.load(big));
    EXPECT_EQ(ImageMemory::seriesWarning(1 << 20, 10, 100 << 20, "a.tif"), QString());
    EXPECT_TRUE(
        ImageMemory::seriesWarning(1 << 20, 200, 100 << 20, "a.tif").contains("200 images"));
}
