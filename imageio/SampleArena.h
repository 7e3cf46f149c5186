#pragma once
// Storage of image samples. A series of images is hundreds of megabytes
// filled once: page by page the system would fault in 4 KiB at a time, which
// costs more than reading the files from the cache. Blocks are therefore cut
// from large chunks that the system may back with huge pages (Linux,
// madvise), a fault per 2 MiB.
//
// Every block comes zeroed (fresh pages; a chunk's memory is never handed out
// twice). A chunk returns to the system when its last block is released.
// Thread-safe.
#include <cstddef>
#include <memory>

namespace SampleArena {

struct Chunk;

struct Release {
    Chunk *chunk = nullptr; // null: the block came from new[]
    void operator()(unsigned char *p) const;
};

using Block = std::unique_ptr<unsigned char[], Release>;

// A zeroed block of `bytes` bytes; null when the system refuses the memory.
Block allocate(std::size_t bytes);

} // namespace SampleArena
