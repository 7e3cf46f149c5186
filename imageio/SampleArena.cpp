#include "imageio/SampleArena.h"

#include <cstdint>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace SampleArena {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t ChunkBytes = std::size_t(32) << 20;
// Blocks below this size come from new[]: a chunk would not pay off.
constexpr std::size_t SmallBlock = std::size_t(64) << 10;

} // namespace

struct Chunk {
    unsigned char *mapping = nullptr; // as mapped
    std::size_t mappedBytes = 0;
    unsigned char *begin = nullptr; // aligned to a huge page
    std::size_t size = 0;
    std::size_t used = 0;
    int blocks = 0; // handed out and not yet released
};

namespace {

std::mutex lock;
Chunk *current = nullptr;

#if defined(__linux__)
// A mapping of at least `bytes`, its usable part aligned to a huge page and
// offered to the system for huge pages; null when refused.
Chunk *mapChunk(std::size_t bytes) {
    const std::size_t size = (bytes + HugePage - 1) / HugePage * HugePage;
    const std::size_t mapped = size + HugePage;
    void *p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    auto *c = new (std::nothrow) Chunk;
    if (!c) {
        munmap(p, mapped);
        return nullptr;
    }
    c->mapping = static_cast<unsigned char *>(p);
    c->mappedBytes = mapped;
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    c->begin = c->mapping + ((HugePage - address % HugePage) % HugePage);
    c->size = size;
    madvise(c->begin, c->size, MADV_HUGEPAGE); // a hint: refused, small pages serve
    return c;
}

void unmapChunk(Chunk *c) {
    munmap(c->mapping, c->mappedBytes);
    delete c;
}
#endif

// Retires the current chunk (under the lock); unmaps it when no block is out.
void retireCurrent() {
#if defined(__linux__)
    if (!current)
        return;
    if (current->blocks == 0)
        unmapChunk(current);
    current = nullptr;
#endif
}

} // namespace

void Release::operator()(unsigned char *p) const {
    if (!chunk) {
        delete[] p;
        return;
    }
#if defined(__linux__)
    std::lock_guard<std::mutex> guard(lock);
    --chunk->blocks;
    if (chunk->blocks > 0)
        return;
    if (chunk == current)
        current = nullptr;
    unmapChunk(chunk);
#endif
}

Block allocate(std::size_t bytes) {
#if defined(__linux__)
    if (bytes >= SmallBlock) {
        const std::size_t rounded = (bytes + 63) / 64 * 64;
        std::lock_guard<std::mutex> guard(lock);
        if (rounded > ChunkBytes / 2) { // a chunk of its own
            Chunk *c = mapChunk(rounded);
            if (!c)
                return Block();
            c->used = rounded;
            c->blocks = 1;
            return Block(c->begin, Release{c});
        }
        if (!current || current->size - current->used < rounded) {
            retireCurrent();
            current = mapChunk(ChunkBytes);
            if (!current)
                return Block();
        }
        unsigned char *p = current->begin + current->used;
        current->used += rounded;
        ++current->blocks;
        return Block(p, Release{current});
    }
#endif
    return Block(new (std::nothrow) unsigned char[bytes == 0 ? 1 : bytes]());
}

} // namespace SampleArena
