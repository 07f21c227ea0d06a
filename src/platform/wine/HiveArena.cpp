#include "HiveArena.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace tw::wine {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPooled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif
#else
constexpr bool kPooled = true;
#endif

/// Chunks are aligned to their size, so a piece finds its chunk from its own address; the
/// size of a large memory page, so that a chunk can be one.
constexpr std::size_t kChunkSize = std::size_t(2) << 20;
/// Pieces larger than this get a chunk of their own.
constexpr std::size_t kLargePiece = kChunkSize / 4;
constexpr std::size_t kPageSize = 4096;

struct Chunk
{
    /// Pieces not yet released, plus kOpen while a thread still hands out pieces from it.
    std::atomic<std::uint64_t> live;
    std::size_t mappedBytes;
};
constexpr std::size_t kHeaderSize = 64;
static_assert(sizeof(Chunk) <= kHeaderSize);
/// More than a chunk can hold pieces.
constexpr std::uint64_t kOpen = std::uint64_t(1) << 40;

std::uintptr_t roundUp(std::uintptr_t value, std::size_t to)
{
    return (value + to - 1) & ~std::uintptr_t(to - 1);
}

/// A mapping of `bytes` (a multiple of the page size) that starts on a chunk boundary.
Chunk* mapChunk(std::size_t bytes, std::uint64_t live)
{
    const std::size_t reserved = bytes + kChunkSize;
    void* mapped =
        ::mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto first = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t start = roundUp(first, kChunkSize);
    if (start > first)
        ::munmap(mapped, start - first);
    if (first + reserved > start + bytes)
        ::munmap(reinterpret_cast<void*>(start + bytes), first + reserved - (start + bytes));
#ifdef MADV_HUGEPAGE
    // A whole chunk in one large page where the kernel has them: a fault, and a TLB entry,
    // instead of 512 (a registry's keys are read all over its memory).
    if (bytes % kChunkSize == 0)
        ::madvise(reinterpret_cast<void*>(start), bytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    // The chunk will be filled: one call instead of a page fault per page (where the kernel
    // knows it).
    ::madvise(reinterpret_cast<void*>(start), bytes, MADV_POPULATE_WRITE);
#endif
    auto* chunk = ::new (reinterpret_cast<void*>(start)) Chunk{{live}, bytes};
    return chunk;
}

void unmapChunk(Chunk* chunk) noexcept
{
    const std::size_t bytes = chunk->mappedBytes;
    chunk->~Chunk();
    ::munmap(chunk, bytes);
}

Chunk* chunkOf(void* piece)
{
    const auto address = reinterpret_cast<std::uintptr_t>(piece);
    return reinterpret_cast<Chunk*>(address & ~std::uintptr_t(kChunkSize - 1));
}

/// Takes `count` from the chunk's live count; the last one out unmaps it.
void releaseLive(Chunk* chunk, std::uint64_t count) noexcept
{
    if (chunk->live.fetch_sub(count, std::memory_order_acq_rel) == count)
        unmapChunk(chunk);
}

/// The chunk a thread hands out pieces from. Pieces are counted here and added to the
/// chunk's count when the thread moves on, so that handing out takes no atomic operation.
struct OpenChunk
{
    Chunk* chunk = nullptr;
    std::uintptr_t next = 0;
    std::uintptr_t end = 0;
    std::size_t handedOut = 0;

    ~OpenChunk() { close(); }

    void close() noexcept
    {
        if (chunk)
            releaseLive(chunk, kOpen - handedOut);
        chunk = nullptr;
        next = end = 0;
        handedOut = 0;
    }

    void* allocate(std::size_t bytes, std::size_t alignment)
    {
        std::uintptr_t piece = roundUp(next, alignment);
        if (!chunk || piece + bytes > end) {
            if (bytes > kLargePiece) {
                const std::size_t mapped = roundUp(kHeaderSize + bytes, kPageSize);
                return reinterpret_cast<char*>(mapChunk(mapped, 1)) + kHeaderSize;
            }
            Chunk* fresh = mapChunk(kChunkSize, kOpen);
            close();
            chunk = fresh;
            next = reinterpret_cast<std::uintptr_t>(chunk) + kHeaderSize;
            end = reinterpret_cast<std::uintptr_t>(chunk) + kChunkSize;
            piece = roundUp(next, alignment);
        }
        next = piece + bytes;
        ++handedOut;
        return reinterpret_cast<void*>(piece);
    }
};

thread_local OpenChunk t_open;

} // namespace

void* hiveAllocate(std::size_t bytes, std::size_t alignment)
{
    if (bytes == 0)
        bytes = 1;
    if constexpr (!kPooled)
        return ::operator new(bytes);
    return t_open.allocate(bytes, alignment);
}

void hiveRelease(void* piece) noexcept
{
    if constexpr (!kPooled) {
        ::operator delete(piece);
        return;
    }
    releaseLive(chunkOf(piece), 1);
}

void HiveReleaseBatch::release(void* piece) noexcept
{
    if constexpr (!kPooled) {
        ::operator delete(piece);
        return;
    }
    Chunk* chunk = chunkOf(piece);
    if (chunk != m_chunk) {
        flush();
        m_chunk = chunk;
    }
    ++m_count;
}

void HiveReleaseBatch::flush() noexcept
{
    if (m_count)
        releaseLive(static_cast<Chunk*>(m_chunk), m_count);
    m_chunk = nullptr;
    m_count = 0;
}

} // namespace tw::wine
