// What the heap holds and how often this thread allocated, for benchmarks that report memory per object or
// allocations per call. The benchmark program replaces operator new to count calls; blocks are still
// malloc's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kdp::bench {

// Bytes the allocator has handed out and not had back, its per-block overhead included.
std::size_t HeapBytesInUse();
// Calls of operator new made by the calling thread so far.
std::uint64_t ThreadAllocations();

}  // namespace kdp::bench
