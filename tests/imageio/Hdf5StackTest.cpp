// HDF5 stacks written at test time by h5py (an independent writer; skipped
// when it is not installed) and by our own C-API writer: every shipped layout,
// both axis orders, integer and float samples, chunked and compressed data,
// and a table of broken files and layouts that must each fail with one clear
// message naming the file and the dataset.
#include "imageio/Hdf5Stack.h"
#include "imageio/ErrPoints.h"
#include "imageio/Hdf5Chunks.h"
#include "imageio/Hdf5Writer.h"
#include "imageio/ImageMemory.h"
#include "imageio/LoadTiff.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <hdf5.h>

namespace {

constexpr int E = 5, H = 6, W = 7;

// The sample every writer stores for image k (in file order) at (x, y).
double sampleAt(int k, int x, int y) {
    return (k * 37 + y * 11 + x * 3) % 200 + 1;
}

const char *Writers = R"(
import sys, zlib, numpy as np, h5py
d = sys.argv[1]
E, H, W = 5, 6, 7
img = np.fromfunction(lambda k, y, x: (k * 37 + y * 11 + x * 3) % 200 + 1, (E, H, W))
eng = np.array([7000.0, 7010.0, 7020.5, 7030.0, 7045.0])

def generic(name, data, energies, **kw):
    with h5py.File(f'{d}/{name}.h5', 'w') as f:
        f.create_dataset('/stack/images', data=data, **kw)
        f['/stack/energy'] = energies
        f['/stack/energy'].attrs['units'] = 'eV'
    return f'{d}/{name}.h5'

generic('generic_u16', img.astype('u2'), eng, chunks=(1, H, W), compression='gzip')
generic('generic_f64_desc', img[::-1].astype('f8'), eng[::-1], chunks=(2, 3, 4),
        compression='gzip', shuffle=True)
generic('generic_u32', img.astype('u4'), eng)
with h5py.File(f'{d}/generic_u16.h5', 'a') as f:
    f['/stack/images'].attrs['exposure_ms'] = 40.0
    f['/stack/flat'] = np.full((1, H, W), 500, 'u2')

with h5py.File(f'{d}/facility.h5', 'w') as f:
    f.create_dataset('/measurement/sample', data=img.astype('f4'), chunks=(1, H, W),
                     compression='gzip', compression_opts=9)
    f.create_dataset('/measurement/background', data=(img * 2).astype('f4'))
    f['/measurement/dark'] = np.stack([np.full((H, W), v, 'f4') for v in (1, 2, 3)])
    f['/measurement/energy'] = eng / 1000
    f['/measurement/exposure_time'] = 0.25

with h5py.File(f'{d}/nexus.h5', 'w') as f:
    g = f.create_group('/entry/data')
    g.attrs['NX_class'] = 'NXdata'
    g.attrs['signal'] = 'data'
    g.attrs['axes'] = ['energy', '.', '.']
    g.create_dataset('data', data=img.astype('i4'), chunks=(1, H, W), compression='gzip')
    g['energy'] = eng / 1000
    g['energy'].attrs['units'] = 'keV'

with h5py.File(f'{d}/xfirst_u8.h5', 'w') as f:
    f['/d'] = np.transpose(img, (0, 2, 1)).astype('u1')
    f['/d'].attrs['energies'] = eng
    f['/flat'] = np.full((W, H), 9, 'i2')

# Chunk storage decoded without the library: tiles with partial edge chunks
# (rows 4 + 2, columns 3 + 3 + 1) and the byte shuffle; a frame whose filters
# were skipped (stored plain), one only deflated, one never written (fill
# value) and one damaged.
generic('tiles_u16', img.astype('u2'), eng, chunks=(1, 4, 3), compression='gzip', shuffle=True)
generic('tiles_f4', img.astype('f4'), eng, chunks=(1, 4, 3), compression='gzip', shuffle=True)
with h5py.File(f'{d}/mixed.h5', 'w') as f:
    ds = f.create_dataset('/stack/images', shape=(E, H, W), dtype='u2', chunks=(1, H, W),
                          compression='gzip', shuffle=True, fillvalue=7)
    ds[0] = img[0]
    ds.id.write_direct_chunk((1, 0, 0), img[1].astype('u2').tobytes(), filter_mask=3)
    ds.id.write_direct_chunk((2, 0, 0), zlib.compress(img[2].astype('u2').tobytes()),
                             filter_mask=1)
    ds.id.write_direct_chunk((4, 0, 0), b'\x78\x9c' + bytes(range(40)), filter_mask=0)
    f['/stack/energy'] = eng
    f['/stack/energy'].attrs['units'] = 'eV'

# Broken files
generic('nonmono', img.astype('u2'), np.array([7000.0, 7010, 7005, 7030, 7045]))
generic('count', img.astype('u2'), eng[:4])
generic('rank', img[0].astype('u2'), eng)
generic('lzf', img.astype('u2'), eng, chunks=(1, H, W), compression='lzf')
with h5py.File(f'{d}/absurd.h5', 'w') as f:
    f.create_dataset('/stack/images', shape=(1 << 21, 4096, 4096), dtype='u2',
                     chunks=(1, 64, 64), compression='gzip')
    f['/stack/energy'] = np.arange(1 << 21, dtype='f8')
with h5py.File(f'{d}/unwritten.h5', 'w') as f:
    f.create_dataset('/stack/images', shape=(E, H, W), dtype='u2')
    f['/stack/energy'] = eng
with h5py.File(f'{d}/extlink.h5', 'w') as f:
    f['/stack/images'] = h5py.ExternalLink('missing.h5', '/data')
    f['/stack/energy'] = eng
with h5py.File(f'{d}/vds_source.h5', 'w') as f:
    f['/data'] = img.astype('u2')
layout = h5py.VirtualLayout(shape=(E, H, W), dtype='u2')
layout[:] = h5py.VirtualSource(f'{d}/vds_source.h5', '/data', shape=(E, H, W))
with h5py.File(f'{d}/virtual.h5', 'w') as f:
    f.create_virtual_dataset('/stack/images', layout)
    f['/stack/energy'] = eng
with h5py.File(f'{d}/badflat.h5', 'w') as f:
    f['/stack/images'] = img.astype('u2')
    f['/stack/energy'] = eng
    f['/stack/flat'] = np.ones((E, H + 1, W), 'u2')
with h5py.File(f'{d}/kev_inf.h5', 'w') as f:
    f['/stack/images'] = img.astype('u2')
    f['/stack/energy'] = np.array([7.0, 7.01, 7.02, 7.03, 1e306])
    f['/stack/energy'].attrs['units'] = 'keV'
# Pipes block a reader for ever: as the file, and as an external link's target.
import os
os.mkfifo(f'{d}/fifo.h5')
os.mkfifo(f'{d}/fifo_target')
with h5py.File(f'{d}/extfifo.h5', 'w') as f:
    f['/stack/images'] = h5py.ExternalLink(f'{d}/fifo_target', '/data')
    f['/stack/energy'] = eng
    f['/stack/energy'].attrs['units'] = 'eV'
with h5py.File(f'{d}/big.h5', 'w') as f:
    f.create_dataset('/stack/images', data=(np.arange(2 << 20) % 251).reshape(2, 1024, 1024)
                     .astype('u2'), chunks=(1, 1024, 1024), compression='gzip')
    f['/stack/energy'] = eng[:2]
    f['/stack/energy'].attrs['units'] = 'eV'
with h5py.File(f'{d}/noflats.h5', 'w') as f:
    f['/stack/images'] = img.astype('u2')
    f['/stack/energy'] = eng
    f['/stack/energy'].attrs['units'] = 'eV'
    f.create_dataset('/stack/flat', shape=(0, H, W), dtype='u2')
with h5py.File(f'{d}/nounit.h5', 'w') as f:
    f['/stack/images'] = img.astype('u2')
    f['/stack/energy'] = eng
open(f'{d}/text.h5', 'w').write('not an HDF5 file at all\n')
raw = open(f'{d}/generic_u16.h5', 'rb').read()
open(f'{d}/truncated.h5', 'wb').write(raw[:len(raw) * 6 // 10])
)";

// A python3 with numpy and h5py, or an empty text.
QString python() {
    static const QString found = [] {
        for (const QString &candidate : {QString("/usr/bin/python3"), QString("python3")}) {
            QProcess p;
            p.start(candidate, {"-c", "import numpy, h5py"});
            if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit &&
                p.exitCode() == 0)
                return candidate;
        }
        return QString();
    }();
    return found;
}

class Hdf5StackTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        if (python().isEmpty())
            return;
        QProcess p;
        p.start(python(), {"-c", Writers, dir->path()});
        p.waitForFinished(120000);
        written = p.exitCode() == 0;
        if (!written)
            ADD_FAILURE() << p.readAllStandardError().constData();
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!written)
            GTEST_SKIP() << "python3 with numpy and h5py is not installed";
    }
    static QString file(const QString &name) { return dir->filePath(name + ".h5"); }
    static Hdf5Layout layout(const QString &text) {
        Hdf5Layout l;
        QString why;
        EXPECT_TRUE(l.parse(text, &why)) << why.toStdString();
        return l;
    }
    static Hdf5Layout shipped(const QString &name) {
        Hdf5Layout l;
        QString why;
        EXPECT_TRUE(l.read(name, &why)) << why.toStdString();
        return l;
    }

    static QTemporaryDir *dir;
    static bool written;
};

QTemporaryDir *Hdf5StackTest::dir = nullptr;
bool Hdf5StackTest::written = false;

// What one stack must read as.
struct Expected {
    const char *file;
    Hdf5Layout layout;
    TiffData::SampleType type;
    double flatAt00; // 0: no flat; flats per energy are 2x the image
    int flats;
    double dark; // 0: none
    double exposureMs;
};

TEST_F(Hdf5StackTest, EveryLayoutAxisOrderAndTypeReadsTheSamplesAndEnergies) {
    const Expected cases[] = {
        {"generic_u16", shipped("generic"), TiffData::UInt16, 500, 1, 0, 40},
        {"generic_f64_desc", shipped("generic"), TiffData::Float32, 0, 0, 0, 100},
        {"generic_u32", shipped("generic"), TiffData::UInt32, 0, 0, 0, 100},
        {"facility", shipped("facility"), TiffData::Float32, -2, E, 2, 250},
        {"nexus", shipped("nexus"), TiffData::Float32, 0, 0, 0, 100},
        {"xfirst_u8",
         layout("[stack]\nimages = /d\naxes = energy, x, y\nenergies = /d@energies\n"
                "energy_unit = eV\nflat = /flat\nexposure = 50\n"),
         TiffData::UInt16, 9, 1, 0, 50},
    };
    const double energies[E] = {7000, 7010, 7020.5, 7030, 7045};
    for (const Expected &c : cases) {
        SCOPED_TRACE(c.file);
        Hdf5Stack stack;
        ASSERT_TRUE(stack.open(file(c.file), c.layout)) << stack.error().toStdString();
        ASSERT_EQ(stack.count(Hdf5Stack::Images), E);
        ASSERT_EQ(stack.width(), W);
        ASSERT_EQ(stack.height(), H);
        EXPECT_EQ(stack.count(Hdf5Stack::Flats), c.flats);
        EXPECT_EQ(stack.count(Hdf5Stack::Dark), c.dark > 0 ? 1 : 0);
        EXPECT_EQ(stack.sampleType(Hdf5Stack::Images), c.type);
        for (int k = 0; k < E; ++k) {
            EXPECT_NEAR(stack.energy(k), energies[k], 1e-9);
            TiffData image;
            ASSERT_TRUE(stack.readImage(Hdf5Stack::Images, k, image, ErrPoints()));
            EXPECT_EQ(image.energy(), stack.energy(k));
            EXPECT_EQ(image.exposureMs(), c.exposureMs);
            // A scan written in falling energy still reads as image k at energy k.
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    ASSERT_EQ(image.value(x, y), sampleAt(k, x, y)) << k << " " << x << " " << y;
        }
        if (c.flats > 0) {
            TiffData flat;
            ASSERT_TRUE(stack.readImage(Hdf5Stack::Flats, c.flats - 1, flat, ErrPoints()));
            EXPECT_EQ(flat.value(0, 0),
                      c.flatAt00 > 0 ? c.flatAt00 : 2 * sampleAt(c.flats - 1, 0, 0));
        }
        if (c.dark > 0) {
            TiffData dark;
            ASSERT_TRUE(stack.readImage(Hdf5Stack::Dark, 0, dark, ErrPoints()));
            EXPECT_EQ(dark.value(3, 2), c.dark);
        }
    }
}

// Chunks the reader decodes itself give exactly what the library gives, for
// whole frames and odd blocks across partial edge chunks, chunks two frames
// deep, samples converted to the type asked for, and chunks never written
// (the fill value); a damaged chunk fails rather than going to the library.
TEST_F(Hdf5StackTest, ChunksDecodedDirectlyMatchTheLibrary) {
    struct Block {
        long long row0, rows, col0, cols;
    };
    Hdf5Stack::silenceLibrary();
    const Block blocks[] = {{0, H, 0, W}, {1, 4, 2, 5}, {5, 1, 6, 1}, {3, 2, 0, W}};
    const struct {
        const char *file;
        hid_t memType;
        size_t sampleBytes;
        int decodedFrames; // frames [0, n) decode here, the rest are damaged
    } cases[] = {{"tiles_u16", H5T_NATIVE_UINT16, 2, E},
                 {"tiles_f4", H5T_NATIVE_FLOAT, 4, E},
                 {"facility", H5T_NATIVE_FLOAT, 4, E},
                 {"generic_f64_desc", H5T_NATIVE_FLOAT, 4, E},
                 {"mixed", H5T_NATIVE_UINT16, 2, 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray name = QFile::encodeName(file(c.file));
        const hid_t f = H5Fopen(name.constData(), H5F_ACC_RDONLY, H5P_DEFAULT);
        const hid_t set =
            H5Dopen2(f, QByteArray(c.file) == "facility" ? "/measurement/sample" : "/stack/images",
                     H5P_DEFAULT);
        Hdf5Chunks chunks;
        ASSERT_TRUE(chunks.prepare(set, c.memType));
        for (int frame = 0; frame < c.decodedFrames; ++frame) {
            for (const Block &b : blocks) {
                std::vector<char> mine(size_t(b.rows * b.cols) * c.sampleBytes, 1);
                std::vector<char> theirs(mine.size(), 2);
                ASSERT_EQ(chunks.read(frame, b.row0, b.rows, b.col0, b.cols, mine.data()),
                          Hdf5Chunks::Done);
                const hsize_t start[3] = {hsize_t(frame), hsize_t(b.row0), hsize_t(b.col0)};
                const hsize_t count[3] = {1, hsize_t(b.rows), hsize_t(b.cols)};
                const hid_t space = H5Dget_space(set);
                const hid_t mem = H5Screate_simple(3, count, nullptr);
                H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, count, nullptr);
                ASSERT_GE(H5Dread(set, c.memType, mem, space, H5P_DEFAULT, theirs.data()), 0);
                H5Sclose(space);
                H5Sclose(mem);
                EXPECT_EQ(mine, theirs) << frame << " " << b.row0 << " " << b.col0;
            }
        }
        std::vector<char> out(size_t(H * W) * c.sampleBytes);
        for (int frame = c.decodedFrames; frame < E; ++frame)
            EXPECT_EQ(chunks.read(frame, 0, H, 0, W, out.data()), Hdf5Chunks::Failed);
        EXPECT_EQ(chunks.read(0, 0, H + 1, 0, W, out.data()), Hdf5Chunks::Failed);
        H5Dclose(set);
        H5Fclose(f);
    }
    // Through the stack: the unwritten frame reads as the fill value, the
    // damaged one fails with the library's message, and the rest are right.
    Hdf5Stack stack;
    ASSERT_TRUE(stack.open(file("mixed"), shipped("generic"))) << stack.error().toStdString();
    // Read on three threads at once, bands as asked, the same as one by one.
    const std::vector<TiffData::RowRange> bands = {{0, H}, {2, 6}, {0, H}, {5, 6}, {0, H}};
    const auto images = stack.readImages(Hdf5Stack::Images, {0, 1, 2, 3, 4}, bands, ErrPoints(), 3);
    ASSERT_EQ(images.size(), size_t(E));
    for (int k = 0; k < E; ++k) {
        TiffData image;
        const bool read = stack.readImage(Hdf5Stack::Images, k, image, ErrPoints());
        EXPECT_EQ(read, k != 4) << k;
        EXPECT_EQ(bool(images[size_t(k)]), k != 4) << k;
        if (k == 4) {
            EXPECT_TRUE(stack.error().contains("/stack/images: image 4 cannot be read"));
        } else {
            EXPECT_EQ(image.value(6, 5), k == E - 2 ? 7 : sampleAt(k, 6, 5)) << k;
            EXPECT_EQ(images[size_t(k)]->value(6, 5), image.value(6, 5)) << k;
        }
    }
    EXPECT_EQ(images[1]->storedRowBegin(), 2);
    // A type the chunks do not hold, or storage that is not chunked, is not taken.
    const QByteArray u32 = QFile::encodeName(file("generic_u32"));
    const hid_t f = H5Fopen(u32.constData(), H5F_ACC_RDONLY, H5P_DEFAULT);
    const hid_t set = H5Dopen2(f, "/stack/images", H5P_DEFAULT);
    Hdf5Chunks chunks;
    EXPECT_FALSE(chunks.prepare(set, H5T_NATIVE_UINT32));
    H5Dclose(set);
    H5Fclose(f);
}

// A band of rows reads the same samples as the whole image, in both orders.
TEST_F(Hdf5StackTest, RowBandsMatchTheWholeImage) {
    const Hdf5Layout xFirst =
        layout("images = /d\naxes = energy,x,y\nenergies = /d@energies\nenergy_unit = eV\n");
    for (const auto &[name, l] :
         {std::pair<const char *, Hdf5Layout>{"generic_u16", shipped("generic")},
          {"xfirst_u8", xFirst}}) {
        Hdf5Stack stack;
        ASSERT_TRUE(stack.open(file(name), l)) << stack.error().toStdString();
        // Rows 2..4 stored in a record of the whole image's size; a band
        // reaching past the image is cut to it.
        for (const TiffData::RowRange &rows :
             {TiffData::RowRange{2, 5}, TiffData::RowRange{4, 99}}) {
            TiffData band;
            ASSERT_TRUE(stack.readImage(Hdf5Stack::Images, 3, rows, band, ErrPoints()));
            ASSERT_EQ(band.height(), H);
            EXPECT_EQ(band.storedRowBegin(), rows.first);
            EXPECT_EQ(band.storedRowEnd(), std::min(rows.end, H));
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    EXPECT_EQ(band.value(x, y),
                              y >= rows.first && y < rows.end ? sampleAt(3, x, y) : 0)
                        << name;
        }
        TiffData band;
        EXPECT_FALSE(stack.readImage(Hdf5Stack::Images, E, {0, 1}, band, ErrPoints()));
    }
}

TEST_F(Hdf5StackTest, BrokenFilesAndLayoutsFailWithOneClearMessage) {
    const Hdf5Layout generic = shipped("generic");
    const struct {
        const char *file;
        Hdf5Layout layout;
        const char *message;
    } cases[] = {
        {"truncated", generic, "damaged or truncated"},
        {"text", generic, "not an HDF5 file"},
        {"nofile", generic, "no such file"},
        {"extlink", generic, "/stack/images: an external link to missing.h5:/data"},
        {"virtual", generic, "/stack/images: a virtual dataset"},
        {"lzf", generic, "/stack/images: compressed with filter 32000"},
        {"generic_u16", layout("images = /stack/nothing\nenergies = /stack/energy\n"),
         "/stack/nothing: no such dataset"},
        {"generic_u16", layout("images = /stack/images\nenergies = /stack/images@none\n"),
         "/stack/images@none: no such attribute"},
        {"nonmono", generic, "/stack/energy: the energies are not monotonic (at index 2"},
        {"count", generic, "/stack/energy: 4 energies for 5 images"},
        {"kev_inf", layout("images = /stack/images\nenergies = /stack/energy\n"),
         "/stack/energy: an energy is not a finite number of eV"},
        {"fifo", generic, "not a regular file"},
        {"extfifo", generic, "/stack/images: an external link to"},
        {"noflats", generic, "/stack/flat: 0 frames, expected 1 to 1048576"},
        {"generic_u16",
         layout("images = /stack/images\nenergies = /stack/energy\nexposure = 1e400\n"),
         "1e400: an exposure time is not a positive number"},
        {"rank", generic, "/stack/images: rank 2"},
        {"absurd", generic, "/stack/images: absurd size 2097152 x 4096 x 4096"},
        {"unwritten", generic, "/stack/images: 420 bytes of samples but only 0 bytes stored"},
        {"badflat", generic, "/stack/flat: size 7 x 7 differs from the images' 7 x 6"},
        {"nounit", layout("images = /stack/images\nenergies = /stack/energy\n"),
         "/stack/energy: the energy unit is not known"},
        {"generic_u16", layout("images = /stack/images\nenergies = /stack/energy\nflat = /f\n"),
         "/f: no such dataset"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        Hdf5Stack stack;
        EXPECT_FALSE(stack.open(file(c.file), c.layout));
        EXPECT_FALSE(stack.isOpen());
        EXPECT_EQ(stack.count(Hdf5Stack::Images), 0);
        EXPECT_TRUE(stack.error().startsWith(file(c.file))) << stack.error().toStdString();
        EXPECT_TRUE(stack.error().contains(c.message)) << stack.error().toStdString();
    }
    // The image memory budget holds for HDF5 images as for any other.
    ImageMemory::setBudgetMB(1);
    Hdf5Stack big;
    EXPECT_FALSE(big.open(file("big"), generic));
    EXPECT_TRUE(big.error().contains("/stack/images: Image needs 2 MB, more than the image "
                                     "memory budget of 1 MB"))
        << big.error().toStdString();
    ImageMemory::setBudgetMB(0);
    // Layout texts: a misspelt key or a bad value names its line.
    Hdf5Layout l;
    QString why;
    EXPECT_FALSE(l.parse("images = /a\nenergies = /e\nenergy_units = eV\n", &why));
    EXPECT_EQ(why, "line 3: unknown key energy_units");
    EXPECT_FALSE(l.parse("images = /a\nenergies = /e\naxes = x,y,energy\n", &why));
    EXPECT_FALSE(l.parse("energies = /e\n", &why));
    EXPECT_FALSE(l.read(dir->filePath("no-layout.ini"), &why));
}

// The series loader walks a stack's images with skip and cuts as it walks
// files; each image carries its energy from the file. A stack that cannot be
// opened still completes its request.
TEST_F(Hdf5StackTest, LoaderHandsOutTheStackImagesWithTheirEnergies) {
    LoadTiff loader;
    QVector<int> fNos;
    QVector<double> energies;
    QVector<int> finished;
    QObject::connect(&loader, &LoadTiff::loaded, [&](TiffData *d, int fNo) {
        fNos << fNo;
        energies << (d->energyFromFile() ? d->energy() : -1);
        delete d;
    });
    QObject::connect(&loader, &LoadTiff::finishLoadFiles, [&](int id) { finished << id; });
    QVector<QPair<int, int>> progress;
    QObject::connect(&loader, &LoadTiff::progress,
                     [&](int done, int total) { progress << qMakePair(done, total); });
    loader.loadStack(file("generic_f64_desc"), "generic", Hdf5Stack::Images, 2, 1, 0, ErrPoints(),
                     LoadTiff::I1LoadId);
    loader.loadStack(file("lzf"), "generic", Hdf5Stack::Images, 1, 0, 0, ErrPoints(),
                     LoadTiff::I0LoadId);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_EQ(fNos, QVector<int>({1, 3}));
    EXPECT_EQ(energies, QVector<double>({7010, 7030}));
    EXPECT_EQ(finished, QVector<int>({LoadTiff::I0LoadId}));
    // Progress counts the stack's images as it counts files.
    EXPECT_EQ(progress, (QVector<QPair<int, int>>{{1, 2}, {2, 2}, {0, 0}}));
    // Images read ahead on several threads arrive in order; a stack with one
    // image that cannot be read is refused whole.
    fNos.clear();
    finished.clear();
    loader.loadStack(file("tiles_u16"), "generic", Hdf5Stack::Images, 1, 0, 0, ErrPoints(),
                     LoadTiff::I1LoadId);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_EQ(fNos, QVector<int>({0, 1, 2, 3, 4}));
    fNos.clear();
    finished.clear();
    loader.loadStack(file("mixed"), "generic", Hdf5Stack::Images, 1, 0, 0, ErrPoints(),
                     LoadTiff::I1LoadId);
    ASSERT_TRUE(TestSupport::waitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_TRUE(fNos.isEmpty());
}

// Our own writer (the C API), float32 and uint16, compressed and not, reads
// back through the reader.
TEST(Hdf5WriterTest, WrittenStacksReadBack) {
    QTemporaryDir dir;
    std::vector<float> frames(size_t(E) * H * W);
    for (int k = 0; k < E; ++k)
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                frames[(size_t(k) * H + size_t(y)) * W + size_t(x)] = float(sampleAt(k, x, y) / 4);
    std::vector<quint16> dark(size_t(H) * W, 7);
    for (int level : {0, 4}) {
        const QString name = dir.filePath(QString("w%1.h5").arg(level));
        Hdf5Writer w(name);
        ASSERT_TRUE(w.writeFrames("/s/images", Hdf5Writer::Float32, E, H, W, level,
                                  [&](int k) { return &frames[size_t(k) * H * W]; }));
        ASSERT_TRUE(w.writeFrames("/s/dark", Hdf5Writer::UInt16, 1, H, W, level,
                                  [&](int) { return dark.data(); }));
        ASSERT_TRUE(w.writeDoubles("/s/e", {8.0, 8.1, 8.2, 8.3, 8.4}, "keV"));
        ASSERT_TRUE(w.commit()) << w.error().toStdString();
        EXPECT_FALSE(QFile::exists(name + ".part"));
        Hdf5Layout l;
        QString why;
        ASSERT_TRUE(l.parse("images = /s/images\nenergies = /s/e\ndark = /s/dark\n", &why));
        Hdf5Stack stack;
        ASSERT_TRUE(stack.open(name, l)) << stack.error().toStdString();
        EXPECT_DOUBLE_EQ(stack.energy(4), 8400);
        TiffData image, darkImage;
        ASSERT_TRUE(stack.readImage(Hdf5Stack::Images, 2, image, ErrPoints()));
        EXPECT_EQ(image.value(5, 4), float(sampleAt(2, 5, 4) / 4));
        EXPECT_EQ(image.fileName(), name + ":/s/images[2]");
        ASSERT_TRUE(stack.readImage(Hdf5Stack::Dark, 0, darkImage, ErrPoints()));
        EXPECT_EQ(darkImage.value(1, 1), 7);
    }
}

} // namespace
