// The process's heap: large memory pages where the system has them.
#pragma once

namespace tw::platform {

/// Asks the allocator to back new heap memory with large (2 MiB) pages where the system
/// allows them: a scan of a large registry fills a heap of hundreds of megabytes, and a
/// page fault per 4 KiB page is a good part of its time. Memory already held keeps its
/// pages, so call this first thing in main(). Does nothing with an allocator that cannot.
void preferLargeMemoryPages();

} // namespace tw::platform
