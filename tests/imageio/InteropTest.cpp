// TIFFs written at test time by independent tools (tifffile, PIL, ImageMagick)
// read with the right values, and TIFFs written here open in those tools with
// the same values. Skipped when a tool is not installed.
#include "imageio/TiffData.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProgramResult {
    bool ok = false;
    QByteArray out, err;
};

ProgramResult runProgram(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    ProgramResult r;
    if (!p.waitForStarted(10000))
        return r;
    p.closeWriteChannel();
    p.waitForFinished(60000);
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

// A python3 that has numpy, tifffile and PIL, or an empty text.
QString python() {
    static const QString found = [] {
        for (const QString &candidate : {QString("/usr/bin/python3"), QString("python3")})
            if (runProgram(candidate, {"-c", "import numpy, tifffile, PIL"}).ok)
                return candidate;
        return QString();
    }();
    return found;
}

QString imageMagick() {
    for (const char *name : {"convert-im6.q16", "convert", "magick"}) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

// The test pattern every writer gets: sample i = (i * 7919 + 13) mod 65536.
quint16 pattern(int i) {
    return quint16((i * 7919 + 13) % 65536);
}

const char *PythonWriters = R"(
import sys, numpy as np, tifffile
from PIL import Image, TiffImagePlugin
d = sys.argv[1]
w, h = 7, 5
a = ((np.arange(w * h, dtype=np.int64) * 7919 + 13) % 65536).astype(np.uint16).reshape(h, w)
tifffile.imwrite(d + '/tf_le.tif', a)
tifffile.imwrite(d + '/tf_be.tif', a, byteorder='>')
tifffile.imwrite(d + '/tf_strips.tif', a, rowsperstrip=2)
tifffile.imwrite(d + '/tf_zlib.tif', a, compression='zlib', rowsperstrip=3)
tifffile.imwrite(d + '/tf_u8.tif', (a % 256).astype(np.uint8))
tifffile.imwrite(d + '/tf_f32.tif', a.astype(np.float32) / 4 - 3)
tifffile.imwrite(d + '/tf_u32.tif', a.astype(np.uint32) * 65536 + 1, byteorder='>')
Image.fromarray(a).save(d + '/pil_le.tif')
Image.fromarray(a).save(d + '/pil_lzw.tif', compression='tiff_lzw')
be = Image.frombytes('I;16B', (w, h), a.astype('>u2').tobytes())
be.save(d + '/pil_be.tif')
ifd = TiffImagePlugin.ImageFileDirectory_v2()
ifd[34665] = {33434: TiffImagePlugin.IFDRational(1, 250)}
Image.fromarray(a).save(d + '/pil_exif.tif', tiffinfo=ifd)
)";

const char *PythonReaders = R"(
import sys, json, numpy as np, tifffile
from PIL import Image
out = {}
for path in sys.argv[1:]:
    t = tifffile.imread(path)
    p = np.array(Image.open(path))
    out[path] = {'tifffile': t.astype(np.int64).ravel().tolist(), 'shape': list(t.shape),
                 'pil': p.astype(np.int64).ravel().tolist(), 'dtype': str(t.dtype)}
print(json.dumps(out))
)";

class Interop : public ::testing::Test {
protected:
    QTemporaryDir dir;

    void expectPattern(const QString &name, double (*expected)(int)) {
        SCOPED_TRACE(name.toStdString());
        TiffData d;
        ASSERT_TRUE(d.load(dir.filePath(name)));
        ASSERT_EQ(d.width(), 7);
        ASSERT_EQ(d.height(), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                ASSERT_EQ(d.value(x, y), expected(y * 7 + x)) << x << "," << y;
    }
};

double plain(int i) {
    return pattern(i);
}

} // namespace

TEST_F(Interop, PythonWrittenTiffsReadWithTheirValues) {
    if (python().isEmpty())
        GTEST_SKIP() << "python3 with numpy, tifffile and PIL not available";
    const ProgramResult r = runProgram(python(), {"-c", PythonWriters, dir.path()});
    ASSERT_TRUE(r.ok) << r.err.constData();

    for (const char *name : {"tf_le.tif", "tf_be.tif", "tf_strips.tif", "tf_zlib.tif", "pil_le.tif",
                             "pil_lzw.tif", "pil_be.tif", "pil_exif.tif"})
        expectPattern(name, plain);
    expectPattern("tf_u8.tif", [](int i) { return double(pattern(i) % 256); });
    expectPattern("tf_f32.tif", [](int i) { return double(float(pattern(i)) / 4 - 3); });
    expectPattern("tf_u32.tif", [](int i) { return double(pattern(i)) * 65536 + 1; });

    TiffData be, exif;
    ASSERT_TRUE(be.load(dir.filePath("pil_be.tif")));
    EXPECT_TRUE(TestSupport::readFile(dir.filePath("pil_be.tif")).startsWith("MM"));
    EXPECT_DOUBLE_EQ(be.exposureMs(), 100);
    ASSERT_TRUE(exif.load(dir.filePath("pil_exif.tif")));
    EXPECT_DOUBLE_EQ(exif.exposureMs(), 4);
}

TEST_F(Interop, TiffsWrittenHereOpenInPythonTools) {
    if (python().isEmpty())
        GTEST_SKIP() << "python3 with numpy, tifffile and PIL not available";
    // 7 x 5 is one strip; 3 x 8 makes strips of 3, 3 and 2 rows.
    QStringList paths;
    for (const QSize size : {QSize(7, 5), QSize(3, 8)}) {
        QVector<quint16> s(size.width() * size.height());
        for (int i = 0; i < s.size(); ++i)
            s[i] = pattern(i);
        paths << dir.filePath(QString("ours_%1x%2.tif").arg(size.width()).arg(size.height()));
        ASSERT_TRUE(
            TiffData::write16BitTiff(paths.last(), size.width(), size.height(), s.constData()));
    }
    const ProgramResult r = runProgram(python(), QStringList{"-c", PythonReaders} + paths);
    ASSERT_TRUE(r.ok) << r.err.constData();
    const QJsonObject all = QJsonDocument::fromJson(r.out).object();
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        const QJsonObject o = all[path].toObject();
        EXPECT_EQ(o["dtype"].toString(), "uint16");
        const QJsonArray t = o["tifffile"].toArray(), p = o["pil"].toArray();
        const int n = path.contains("7x5") ? 35 : 24;
        ASSERT_EQ(t.size(), n);
        ASSERT_EQ(p.size(), n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(t[i].toInt(), pattern(i)) << i;
            ASSERT_EQ(p[i].toInt(), pattern(i)) << i;
        }
    }
}

TEST_F(Interop, ImageMagickBothWays) {
    const QString im = imageMagick();
    if (im.isEmpty())
        GTEST_SKIP() << "ImageMagick not available";
    QByteArray raw;
    for (int i = 0; i < 35; ++i) {
        raw.append(char(pattern(i) & 0xff));
        raw.append(char(pattern(i) >> 8));
    }
    const QString in = TestSupport::writeFile(dir, "in.raw", raw);
    const QStringList input = {"-size", "7x5", "-depth", "16", "-endian", "LSB", "gray:" + in};
    ASSERT_TRUE(
        runProgram(im, input + QStringList{"-define", "tiff:endian=msb", "-define",
                                           "tiff:rows-per-strip=2", dir.filePath("im_be.tif")})
            .ok);
    ASSERT_TRUE(runProgram(im, input + QStringList{"-define", "tiff:endian=lsb", "-compress", "zip",
                                                   dir.filePath("im_zip.tif")})
                    .ok);
    expectPattern("im_be.tif", plain);
    expectPattern("im_zip.tif", plain);

    QVector<quint16> s(35);
    for (int i = 0; i < 35; ++i)
        s[i] = pattern(i);
    ASSERT_TRUE(TiffData::write16BitTiff(dir.filePath("ours.tif"), 7, 5, s.constData()));
    const ProgramResult back = runProgram(im, {dir.filePath("ours.tif"), "-depth", "16", "-endian",
                                               "LSB", "gray:" + dir.filePath("back.raw")});
    ASSERT_TRUE(back.ok) << back.err.constData();
    EXPECT_EQ(TestSupport::readFile(dir.filePath("back.raw")), raw);
}
