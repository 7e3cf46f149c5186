#include "imageio/Hdf5Chunks.h"

#include <QMutexLocker>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <hdf5.h>
#include <libdeflate.h>
#include <vector>

QRecursiveMutex &hdf5LibraryLock() {
    static QRecursiveMutex lock;
    return lock;
}

namespace {

// The largest chunk decoded (HDF5 allows up to 4 GB); larger chunks are
// refused rather than handed to the library.
constexpr size_t MaxChunkBytes = size_t(1) << 28;
// As many samples of the widest type (8 bytes).
constexpr hsize_t MaxChunkSamples = MaxChunkBytes / 8;
// A grid of more chunks than this is refused: each is looked up at open.
constexpr hsize_t MaxChunks = hsize_t(1) << 22;
// Deflate cannot shrink data by much more than about 1030:1.
constexpr hsize_t MaxDeflateRatio = 1100;

// HDF5's shuffle filter stores byte j of every sample together:
// shuffled[j * n + i] is byte j of sample i.
void unshuffle(const unsigned char *in, size_t bytes, size_t sampleSize, unsigned char *out) {
    const size_t n = bytes / sampleSize;
    if (sampleSize == 2) {
        const unsigned char *lo = in, *hi = in + n;
        for (size_t i = 0; i < n; ++i) {
            out[2 * i] = lo[i];
            out[2 * i + 1] = hi[i];
        }
    } else {
        for (size_t j = 0; j < sampleSize; ++j) {
            const unsigned char *plane = in + j * n;
            for (size_t i = 0; i < n; ++i)
                out[i * sampleSize + j] = plane[i];
        }
    }
    // Bytes past the last whole sample are stored as they are.
    std::memcpy(out + n * sampleSize, in + n * sampleSize, bytes - n * sampleSize);
}

// Each prepared dataset gets a number of its own, so a thread's cached chunk
// is never taken for another dataset's.
std::atomic<unsigned long long> nextGeneration{1};

// The buffers one reading thread decodes in, kept between reads; several
// threads may read one dataset at once, each with its own. The last chunk
// decoded stays, for a chunk several frames deep is read once per frame.
struct Scratch {
    std::vector<unsigned char> packed;   // the chunk as stored
    std::vector<unsigned char> inflated; // after deflate
    std::vector<unsigned char> plain;    // after shuffle and conversion
    unsigned skipped = 0;                // the fetched chunk's mask of filters not applied
    unsigned long long cachedGeneration = 0;
    size_t cachedChunk = 0;
    libdeflate_decompressor *inflater = nullptr;
    ~Scratch() {
        if (inflater)
            libdeflate_free_decompressor(inflater);
    }
    static Scratch &ofThisThread() {
        thread_local Scratch scratch;
        return scratch;
    }
};

} // namespace

// What is known of the dataset; not changed by reads.
struct Hdf5Chunks::State {
    hid_t dataset = -1;
    hid_t fileType = -1; // copies, for conversions
    hid_t memType = -1;
    unsigned long long generation = 0;
    int rank = 0;
    hsize_t dims[3] = {1, 0, 0};  // frame, rows, columns
    hsize_t chunk[3] = {1, 0, 0}; // the same for one chunk
    hsize_t grid[3] = {1, 0, 0};  // chunks along each axis
    size_t fileSampleSize = 0;
    size_t memSampleSize = 0;
    size_t chunkSamples = 0;
    hsize_t fileBytes = 0;
    int deflateBit = -1; // position in the pipeline, for the chunk's filter mask
    int shuffleBit = -1;
    bool decodable = false;
    bool converts = false;
    std::vector<hsize_t> stored;     // bytes of each chunk in the file, 0: never written
    std::vector<unsigned char> fill; // one sample of the fill value, as memType
    QString damage;

    ~State() {
        QMutexLocker lock(&hdf5LibraryLock());
        for (hid_t id : {fileType, memType})
            if (id >= 0)
                H5Tclose(id);
    }
    size_t chunkFileBytes() const { return chunkSamples * fileSampleSize; }
    bool readFilters(hid_t dcpl);
    bool readGeometry(hid_t dcpl, hid_t space, hid_t type);
    bool readIndex();
    bool neverWritten(const hsize_t *offset) const;
    bool checkChunk(hsize_t bytes, const hsize_t *offset);
    const unsigned char *chunkSamplesOf(size_t linear, unsigned char *direct, Scratch &sc) const;
    bool fetch(size_t linear, Scratch &sc) const;
    const unsigned char *decode(unsigned char *direct, Scratch &sc) const;
    bool convert(unsigned char *samples) const;
    void offsetOf(size_t linear, hsize_t *offset3) const;
    bool refuse(const QString &why) {
        damage = why;
        return false;
    }
};

Hdf5Chunks::Hdf5Chunks() : m_state(std::make_unique<State>()) {}

Hdf5Chunks::~Hdf5Chunks() = default;

bool Hdf5Chunks::usable() const {
    return m_state->decodable;
}

const QString &Hdf5Chunks::damage() const {
    return m_state->damage;
}

long long Hdf5Chunks::chunkBytes() const {
    return (long long)(m_state->chunkSamples *
                       std::max(m_state->fileSampleSize, m_state->memSampleSize));
}

// No filter, deflate, shuffle, or shuffle followed by deflate.
bool Hdf5Chunks::State::readFilters(hid_t dcpl) {
    const int n = H5Pget_nfilters(dcpl);
    if (n < 0 || n > 2)
        return false;
    for (int i = 0; i < n; ++i) {
        unsigned flags = 0, config = 0;
        size_t values = 0;
        const H5Z_filter_t id =
            H5Pget_filter2(dcpl, unsigned(i), &flags, &values, nullptr, 0, nullptr, &config);
        if (id == H5Z_FILTER_SHUFFLE && i == 0)
            shuffleBit = i;
        else if (id == H5Z_FILTER_DEFLATE && i == n - 1)
            deflateBit = i;
        else
            return false;
    }
    return true;
}

// The chunk's shape against the dataset's: a chunk may reach past the
// dataset (its edge chunks are stored whole) but no chunk may decode to more
// than MaxChunkBytes, and the grid of chunks is bounded.
bool Hdf5Chunks::State::readGeometry(hid_t dcpl, hid_t space, hid_t type) {
    const int first = rank == 3 ? 0 : 1;
    if (H5Sget_simple_extent_dims(space, dims + first, nullptr) != rank ||
        H5Pget_chunk(dcpl, rank, chunk + first) != rank)
        return refuse(QStringLiteral("the chunk shape cannot be read"));
    fileSampleSize = H5Tget_size(type);
    hsize_t samples = 1;
    for (int a = 0; a < 3; ++a) {
        if (chunk[a] == 0 || chunk[a] > MaxChunkBytes)
            return refuse(QString("chunks of %1 x %2 x %3 samples")
                              .arg(chunk[0])
                              .arg(chunk[1])
                              .arg(chunk[2]));
        samples *= chunk[a];
        if (samples > MaxChunkSamples)
            return refuse(QString("chunks of %1 x %2 x %3 samples, more than %4 each")
                              .arg(chunk[0])
                              .arg(chunk[1])
                              .arg(chunk[2])
                              .arg(MaxChunkSamples));
        grid[a] = dims[a] / chunk[a] + (dims[a] % chunk[a] ? 1 : 0);
        if (grid[a] > MaxChunks)
            return refuse(
                QString("%1 chunks along one axis, more than %2").arg(grid[a]).arg(MaxChunks));
    }
    if (fileSampleSize < 1 || fileSampleSize > 8)
        return refuse(QString("samples of %1 bytes").arg(fileSampleSize));
    chunkSamples = size_t(samples);
    if (grid[0] * grid[1] > MaxChunks || grid[0] * grid[1] * grid[2] > MaxChunks)
        return refuse(QString("%1 x %2 x %3 chunks, more than %4")
                          .arg(grid[0])
                          .arg(grid[1])
                          .arg(grid[2])
                          .arg(MaxChunks));
    return true;
}

void Hdf5Chunks::State::offsetOf(size_t linear, hsize_t *offset3) const {
    const hsize_t c = linear % grid[2], r = (linear / grid[2]) % grid[1];
    const hsize_t f = linear / grid[2] / grid[1];
    offset3[0] = f * chunk[0];
    offset3[1] = r * chunk[1];
    offset3[2] = c * chunk[2];
}

// One chunk's size against the file and, for chunks decoded here, against
// the decoded size it must come from (deflate shrinks by at most about
// 1030:1 and grows by a few bytes a block; a chunk stored plain is its
// decoded size, which the fetch checks once it knows the chunk's filters).
bool Hdf5Chunks::State::checkChunk(hsize_t bytes, const hsize_t *o) {
    const QString at = QString("the chunk at [%1, %2, %3]").arg(o[0]).arg(o[1]).arg(o[2]);
    if (bytes > fileBytes)
        return refuse(QString("%1 claims %2 bytes, more than the file's %3")
                          .arg(at)
                          .arg(bytes)
                          .arg(fileBytes));
    const hsize_t plain = chunkFileBytes();
    if (decodable && (bytes > plain + plain / 64 + 1024 ||
                      (deflateBit >= 0 ? bytes * MaxDeflateRatio < plain : bytes != plain)))
        return refuse(QString("%1 holds %2 bytes, which cannot decode to its %3 bytes")
                          .arg(at)
                          .arg(bytes)
                          .arg(plain));
    return true;
}

// True when the chunk index has no entry for the chunk: it holds the fill
// value. (The library's size search fails on such a chunk; this walk of the
// index is slower, so it is asked only then.)
bool Hdf5Chunks::State::neverWritten(const hsize_t *offset) const {
    unsigned mask = 0;
    haddr_t address = 0;
    hsize_t bytes = 0;
    return H5Dget_chunk_info_by_coord(dataset, offset, &mask, &address, &bytes) >= 0 &&
           address == HADDR_UNDEF;
}

// Every chunk of the grid looked up in the chunk index (a search of its
// tree, as every read makes) and checked.
bool Hdf5Chunks::State::readIndex() {
    const size_t count = size_t(grid[0] * grid[1] * grid[2]);
    stored.assign(count, 0);
    const int first = rank == 3 ? 0 : 1;
    for (size_t i = 0; i < count; ++i) {
        hsize_t offset[3];
        offsetOf(i, offset);
        if (H5Dget_chunk_storage_size(dataset, offset + first, &stored[i]) < 0 &&
            !neverWritten(offset + first))
            return refuse(QString("the chunk index cannot be read at [%1, %2, %3]")
                              .arg(offset[0])
                              .arg(offset[1])
                              .arg(offset[2]));
        if (stored[i] > 0 && !checkChunk(stored[i], offset))
            return false;
    }
    return true;
}

bool Hdf5Chunks::prepare(long long dataset, long long memType) {
    QMutexLocker lock(&hdf5LibraryLock());
    m_state = std::make_unique<State>();
    State &s = *m_state;
    s.dataset = hid_t(dataset);
    const hid_t dcpl = H5Dget_create_plist(s.dataset);
    const hid_t space = H5Dget_space(s.dataset);
    const hid_t type = H5Dget_type(s.dataset);
    const hid_t file = H5Iget_file_id(s.dataset);
    s.rank = space >= 0 ? H5Sget_simple_extent_ndims(space) : -1;
    bool ok = dcpl >= 0 && type >= 0 && file >= 0 && (s.rank == 2 || s.rank == 3) &&
              H5Fget_filesize(file, &s.fileBytes) >= 0;
    const bool chunked = ok && H5Pget_layout(dcpl) == H5D_CHUNKED;
    if (chunked) {
        const H5T_class_t c = H5Tget_class(type);
        s.decodable = s.readFilters(dcpl) && (c == H5T_INTEGER || c == H5T_FLOAT);
        ok = s.readGeometry(dcpl, space, type) && s.readIndex();
        s.fileType = H5Tcopy(type);
        s.memType = H5Tcopy(hid_t(memType));
        s.memSampleSize = H5Tget_size(hid_t(memType));
        s.converts = H5Tequal(type, hid_t(memType)) <= 0;
        s.fill.assign(std::max<size_t>(s.memSampleSize, 8), 0);
        // A dataset without a fill value of its own reads as zeros.
        H5Pget_fill_value(dcpl, hid_t(memType), s.fill.data());
    }
    for (hid_t id : {dcpl, space, type, file})
        if (id >= 0)
            H5Idec_ref(id);
    s.generation = nextGeneration++;
    if (!chunked || !ok || !s.decodable) {
        s.decodable = false;
        return false;
    }
    return true;
}

// The stored bytes of one chunk into `packed`, as many as checked at open:
// the library writes into our buffer as many as its index gives now.
bool Hdf5Chunks::State::fetch(size_t linear, Scratch &sc) const {
    hsize_t offset3[3];
    offsetOf(linear, offset3);
    const hsize_t *offset = offset3 + (rank == 3 ? 0 : 1);
    QMutexLocker lock(&hdf5LibraryLock());
    hsize_t bytes = 0;
    if (H5Dget_chunk_storage_size(dataset, offset, &bytes) < 0 || bytes != stored[linear])
        return false;
    sc.packed.resize(size_t(bytes));
    uint32_t mask = 0;
    if (H5Dread_chunk(dataset, H5P_DEFAULT, offset, &mask, sc.packed.data()) < 0)
        return false;
    sc.skipped = mask;
    return true;
}

// The file-type samples of the fetched chunk, decoded into `direct` when it
// is given and the chunk needs no further step, else into a buffer of ours;
// null when the chunk does not decode to exactly its size.
const unsigned char *Hdf5Chunks::State::decode(unsigned char *direct, Scratch &sc) const {
    const size_t plainBytes = chunkFileBytes();
    const bool deflated = deflateBit >= 0 && !(sc.skipped & (1u << deflateBit));
    const bool shuffled = shuffleBit >= 0 && !(sc.skipped & (1u << shuffleBit));
    const unsigned char *data = sc.packed.data();
    if (deflated) {
        if (!sc.inflater && !(sc.inflater = libdeflate_alloc_decompressor()))
            return nullptr;
        unsigned char *target = direct && !shuffled ? direct : nullptr;
        if (!target) {
            sc.inflated.resize(plainBytes);
            target = sc.inflated.data();
        }
        size_t got = 0;
        if (libdeflate_zlib_decompress(sc.inflater, sc.packed.data(), sc.packed.size(), target,
                                       plainBytes, &got) != LIBDEFLATE_SUCCESS ||
            got != plainBytes)
            return nullptr;
        data = target;
    } else if (sc.packed.size() != plainBytes) {
        return nullptr;
    }
    if (!shuffled)
        return data;
    unsigned char *target = direct;
    if (!target) {
        sc.plain.resize(plainBytes);
        target = sc.plain.data();
    }
    unshuffle(data, plainBytes, fileSampleSize, target);
    return target;
}

// File-type samples converted in place to the memory type; `samples` holds
// room for chunkSamples of the larger of the two.
bool Hdf5Chunks::State::convert(unsigned char *samples) const {
    QMutexLocker lock(&hdf5LibraryLock());
    return H5Tconvert(fileType, memType, chunkSamples, samples, nullptr, H5P_DEFAULT) >= 0;
}

// The chunk's samples in the memory type: decoded straight into `direct`
// when that is given and no conversion is needed, else into this thread's
// buffer, which keeps it for the next read of the same chunk.
const unsigned char *Hdf5Chunks::State::chunkSamplesOf(size_t linear, unsigned char *direct,
                                                       Scratch &sc) const {
    if (!direct && sc.cachedGeneration == generation && sc.cachedChunk == linear)
        return sc.plain.data();
    sc.cachedGeneration = 0;
    if (!fetch(linear, sc))
        return nullptr;
    const unsigned char *samples = decode(converts ? nullptr : direct, sc);
    if (!samples || samples == direct)
        return samples;
    const size_t room = chunkSamples * std::max(fileSampleSize, memSampleSize);
    if (samples != sc.plain.data()) {
        sc.plain.resize(room);
        std::memcpy(sc.plain.data(), samples, chunkFileBytes());
    } else if (sc.plain.size() < room) {
        sc.plain.resize(room);
    }
    if (converts && !convert(sc.plain.data()))
        return nullptr;
    sc.cachedGeneration = generation;
    sc.cachedChunk = linear;
    return sc.plain.data();
}

Hdf5Chunks::Result Hdf5Chunks::read(int frame, long long row0, long long rows, long long col0,
                                    long long cols, void *out) const {
    const State &s = *m_state;
    Scratch &sc = Scratch::ofThisThread();
    if (!usable())
        return UseLibrary;
    if (frame < 0 || hsize_t(frame) >= s.dims[0] || row0 < 0 || col0 < 0 || rows < 1 || cols < 1 ||
        hsize_t(row0 + rows) > s.dims[1] || hsize_t(col0 + cols) > s.dims[2])
        return Failed;
    const size_t sample = s.memSampleSize;
    const hsize_t fc = hsize_t(frame) / s.chunk[0];
    const hsize_t depth = hsize_t(frame) - fc * s.chunk[0]; // the frame within the chunk
    const hsize_t r0 = hsize_t(row0), r1 = hsize_t(row0 + rows);
    const hsize_t c0 = hsize_t(col0), c1 = hsize_t(col0 + cols);
    auto *dst = static_cast<unsigned char *>(out);
    for (hsize_t cr = r0 / s.chunk[1]; cr * s.chunk[1] < r1; ++cr) {
        for (hsize_t cc = c0 / s.chunk[2]; cc * s.chunk[2] < c1; ++cc) {
            const size_t linear = size_t((fc * s.grid[1] + cr) * s.grid[2] + cc);
            const hsize_t top = cr * s.chunk[1], left = cc * s.chunk[2];
            const hsize_t y0 = std::max(top, r0), y1 = std::min(top + s.chunk[1], r1);
            const hsize_t x0 = std::max(left, c0), x1 = std::min(left + s.chunk[2], c1);
            if (s.stored[linear] == 0) { // never written: the fill value
                for (hsize_t y = y0; y < y1; ++y)
                    for (hsize_t x = x0; x < x1; ++x)
                        std::memcpy(dst + ((y - r0) * hsize_t(cols) + (x - c0)) * sample,
                                    s.fill.data(), sample);
                continue;
            }
            // A chunk that is exactly the block decodes straight into it.
            const bool whole = s.chunk[0] == 1 && top == r0 && left == c0 &&
                               s.chunk[1] == hsize_t(rows) && s.chunk[2] == hsize_t(cols);
            const unsigned char *plain = s.chunkSamplesOf(linear, whole ? dst : nullptr, sc);
            if (!plain)
                return Failed;
            if (whole) {
                if (plain != dst)
                    std::memcpy(dst, plain, s.chunkSamples * sample);
                continue;
            }
            const unsigned char *slice = plain + depth * s.chunk[1] * s.chunk[2] * sample;
            for (hsize_t y = y0; y < y1; ++y)
                std::memcpy(dst + ((y - r0) * hsize_t(cols) + (x0 - c0)) * sample,
                            slice + ((y - top) * s.chunk[2] + (x0 - left)) * sample,
                            size_t(x1 - x0) * sample);
        }
    }
    return Done;
}
