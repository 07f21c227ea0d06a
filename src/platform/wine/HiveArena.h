// Memory for the parts of registry trees that do not change size once made: keys with their
// names, values, and the exact-size lists of a loaded key.
#pragma once

#include "WinePlatformOnly.h"

#include <cstddef>

namespace tw::wine {

/// Memory from large chunks, handed out one after the other: a registry holds millions of
/// small pieces, and one allocation each would cost more than the pieces. A chunk is given
/// back when every piece from it is released, whichever thread releases it; a piece keeps
/// its chunk alive on its own, so pieces outlive the tree they came from safely (a deleted
/// key a handle still holds). Pieces released while their chunk still holds others are not
/// used again: what changes often belongs on the heap.
///
/// Under AddressSanitizer every piece is its own heap allocation, so misuse is found.
void* hiveAllocate(std::size_t bytes, std::size_t alignment);
/// Releases a piece from hiveAllocate().
void hiveRelease(void* piece) noexcept;

/// Releases many pieces for less than one by one: those from one chunk are counted together.
class HiveReleaseBatch
{
public:
    HiveReleaseBatch() = default;
    ~HiveReleaseBatch() { flush(); }
    HiveReleaseBatch(const HiveReleaseBatch&) = delete;
    HiveReleaseBatch& operator=(const HiveReleaseBatch&) = delete;

    void release(void* piece) noexcept;
    void flush() noexcept;

private:
    void* m_chunk = nullptr;
    std::size_t m_count = 0;
};

} // namespace tw::wine
