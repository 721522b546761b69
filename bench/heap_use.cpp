#include "heap_use.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {

thread_local std::uint64_t t_allocations = 0;

}  // namespace

// Every other form of operator new, and every operator delete, of the standard library ends up in
// malloc or free through this one.
void* operator new(std::size_t size) {
  ++t_allocations;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

namespace kdp::bench {

std::size_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

std::uint64_t ThreadAllocations() { return t_allocations; }

}  // namespace kdp::bench
