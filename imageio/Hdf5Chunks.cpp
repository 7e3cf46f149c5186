#include "imageio/Hdf5Chunks.h"

#include <QMutexLocker>
#include <algorithm>
#include <cstring>
#include <hdf5.h>
#include <libdeflate.h>
#include <vector>

QRecursiveMutex &hdf5LibraryLock() {
    static QRecursiveMutex lock;
    return lock;
}

namespace {

// Beyond this a chunk is left to the library (HDF5 allows up to 4 GB).
constexpr size_t MaxChunkBytes = size_t(1) << 28;

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

} // namespace

namespace {

// The buffers one reading thread decodes in, kept between reads; several
// threads may read one dataset at once, each with its own.
struct Scratch {
    std::vector<unsigned char> packed;   // the chunk as stored
    std::vector<unsigned char> inflated; // after deflate
    std::vector<unsigned char> plain;    // after shuffle
    unsigned skipped = 0;                // the fetched chunk's mask of filters not applied
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
    int rank = 0;
    hsize_t dims[3] = {1, 0, 0};  // frame, rows, columns
    hsize_t chunk[3] = {1, 0, 0}; // the same for one chunk
    size_t sampleSize = 0;
    size_t chunkBytes = 0;
    hsize_t fileBytes = 0;
    int deflateBit = -1; // position in the pipeline, for the chunk's filter mask
    int shuffleBit = -1;

    bool readFilters(hid_t dcpl);
    bool fetch(int frame, hsize_t chunkRow, hsize_t chunkCol, Scratch &sc) const;
    const unsigned char *decode(unsigned char *direct, Scratch &sc) const;
};

Hdf5Chunks::Hdf5Chunks() : m_state(std::make_unique<State>()) {}

Hdf5Chunks::~Hdf5Chunks() = default;

bool Hdf5Chunks::usable() const {
    return m_state->chunkBytes > 0;
}

// No filter, deflate, or shuffle followed by deflate.
bool Hdf5Chunks::State::readFilters(hid_t dcpl) {
    const int n = H5Pget_nfilters(dcpl);
    if (n < 0 || n > 2)
        return false;
    for (int i = 0; i < n; ++i) {
        unsigned flags = 0, config = 0;
        size_t values = 0;
        const H5Z_filter_t id =
            H5Pget_filter2(dcpl, unsigned(i), &flags, &values, nullptr, 0, nullptr, &config);
        if (id == H5Z_FILTER_SHUFFLE && i == 0 && n == 2)
            shuffleBit = i;
        else if (id == H5Z_FILTER_DEFLATE && i == n - 1)
            deflateBit = i;
        else
            return false;
    }
    return true;
}

bool Hdf5Chunks::prepare(long long dataset, long long memType) {
    QMutexLocker lock(&hdf5LibraryLock());
    m_state = std::make_unique<State>();
    State &s = *m_state;
    const hid_t dcpl = H5Dget_create_plist(hid_t(dataset));
    const hid_t space = H5Dget_space(hid_t(dataset));
    const hid_t type = H5Dget_type(hid_t(dataset));
    s.rank = H5Sget_simple_extent_ndims(space);
    const int first = s.rank == 3 ? 0 : 1;
    bool ok = dcpl >= 0 && type >= 0 && (s.rank == 2 || s.rank == 3) &&
              H5Pget_layout(dcpl) == H5D_CHUNKED && H5Tequal(type, hid_t(memType)) > 0 &&
              H5Sget_simple_extent_dims(space, s.dims + first, nullptr) == s.rank &&
              H5Pget_chunk(dcpl, s.rank, s.chunk + first) == s.rank && s.readFilters(dcpl);
    s.sampleSize = type >= 0 ? H5Tget_size(type) : 0;
    const hid_t file = H5Iget_file_id(hid_t(dataset));
    ok = ok && file >= 0 && H5Fget_filesize(file, &s.fileBytes) >= 0;
    for (hid_t id : {dcpl, space, type, file})
        if (id >= 0)
            H5Idec_ref(id);
    ok = ok && s.chunk[0] == 1 && s.chunk[1] > 0 && s.chunk[2] > 0 && s.chunk[1] <= s.dims[1] &&
         s.chunk[2] <= s.dims[2] && s.sampleSize > 0 &&
         s.chunk[1] * s.chunk[2] <= MaxChunkBytes / s.sampleSize;
    if (!ok) {
        m_state = std::make_unique<State>();
        return false;
    }
    s.dataset = hid_t(dataset);
    s.chunkBytes = size_t(s.chunk[1] * s.chunk[2]) * s.sampleSize;
    return true;
}

// The stored bytes of one chunk into `packed`; false for a chunk that was
// never written (the library supplies its fill value) or cannot be read.
bool Hdf5Chunks::State::fetch(int frame, hsize_t chunkRow, hsize_t chunkCol, Scratch &sc) const {
    const hsize_t offset3[3] = {hsize_t(frame), chunkRow * chunk[1], chunkCol * chunk[2]};
    const hsize_t *offset = offset3 + (rank == 3 ? 0 : 1);
    QMutexLocker lock(&hdf5LibraryLock());
    hsize_t stored = 0;
    // A stored chunk is at most its plain size plus deflate's few bytes of
    // framing per 16 kB block; anything larger is damage the library judges.
    if (H5Dget_chunk_storage_size(dataset, offset, &stored) < 0 || stored == 0 ||
        stored > chunkBytes + chunkBytes / 64 + 1024 || stored > fileBytes)
        return false;
    sc.packed.resize(size_t(stored));
    uint32_t mask = 0;
    if (H5Dread_chunk(dataset, H5P_DEFAULT, offset, &mask, sc.packed.data()) < 0)
        return false;
    sc.skipped = mask;
    return true;
}

// The plain samples of the fetched chunk, decoded into `direct` when it is
// given and the chunk needs no further step, else into a buffer of ours;
// null when the chunk does not decode to exactly its size.
const unsigned char *Hdf5Chunks::State::decode(unsigned char *direct, Scratch &sc) const {
    const size_t storedBytes = sc.packed.size();
    const bool deflated = deflateBit >= 0 && !(sc.skipped & (1u << deflateBit));
    const bool shuffled = shuffleBit >= 0 && !(sc.skipped & (1u << shuffleBit));
    const unsigned char *data = sc.packed.data();
    if (deflated) {
        if (!sc.inflater && !(sc.inflater = libdeflate_alloc_decompressor()))
            return nullptr;
        unsigned char *target = direct && !shuffled ? direct : nullptr;
        if (!target) {
            sc.inflated.resize(chunkBytes);
            target = sc.inflated.data();
        }
        size_t got = 0;
        if (libdeflate_zlib_decompress(sc.inflater, sc.packed.data(), storedBytes, target,
                                       chunkBytes, &got) != LIBDEFLATE_SUCCESS ||
            got != chunkBytes)
            return nullptr;
        data = target;
    } else if (storedBytes != chunkBytes) {
        return nullptr;
    }
    if (!shuffled)
        return data;
    unsigned char *target = direct;
    if (!target) {
        sc.plain.resize(chunkBytes);
        target = sc.plain.data();
    }
    unshuffle(data, chunkBytes, sampleSize, target);
    return target;
}

Hdf5Chunks::Result Hdf5Chunks::read(int frame, long long row0, long long rows, long long col0,
                                    long long cols, void *out) const {
    const State &s = *m_state;
    Scratch &sc = Scratch::ofThisThread();
    if (!usable() || frame < 0 || hsize_t(frame) >= s.dims[0] || row0 < 0 || col0 < 0 || rows < 1 ||
        cols < 1 || hsize_t(row0 + rows) > s.dims[1] || hsize_t(col0 + cols) > s.dims[2])
        return UseLibrary;
    const hsize_t r0 = hsize_t(row0), r1 = hsize_t(row0 + rows);
    const hsize_t c0 = hsize_t(col0), c1 = hsize_t(col0 + cols);
    auto *dst = static_cast<unsigned char *>(out);
    for (hsize_t cr = r0 / s.chunk[1]; cr * s.chunk[1] < r1; ++cr) {
        for (hsize_t cc = c0 / s.chunk[2]; cc * s.chunk[2] < c1; ++cc) {
            if (!s.fetch(frame, cr, cc, sc))
                return UseLibrary;
            const hsize_t top = cr * s.chunk[1], left = cc * s.chunk[2];
            // A chunk that is exactly the block decodes straight into it.
            const bool whole = top == r0 && left == c0 && s.chunk[1] == hsize_t(rows) &&
                               s.chunk[2] == hsize_t(cols);
            const unsigned char *plain = s.decode(whole ? dst : nullptr, sc);
            if (!plain)
                return UseLibrary;
            if (whole) {
                if (plain != dst) // stored plain: the bytes as read
                    std::memcpy(dst, plain, s.chunkBytes);
                continue;
            }
            // Chunks at the far edges are stored whole, past the dataset.
            const hsize_t y0 = std::max(top, r0), y1 = std::min(top + s.chunk[1], r1);
            const hsize_t x0 = std::max(left, c0), x1 = std::min(left + s.chunk[2], c1);
            for (hsize_t y = y0; y < y1; ++y)
                std::memcpy(dst + ((y - r0) * hsize_t(cols) + (x0 - c0)) * s.sampleSize,
                            plain + ((y - top) * s.chunk[2] + (x0 - left)) * s.sampleSize,
                            size_t(x1 - x0) * s.sampleSize);
        }
    }
    return Done;
}
