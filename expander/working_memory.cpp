#include "working_memory.h"

#include <cstdlib>

namespace {

void* HeapAllocate(std::size_t size) { return std::malloc(size); }
bool HeapRelease(void* block) {
  std::free(block);
  return true;
}

const BlockAllocator kHeap = {HeapAllocate, HeapRelease};
const BlockAllocator* g_override = nullptr;

}  // namespace

const BlockAllocator& CurrentBlockAllocator() { return g_override ? *g_override : kHeap; }

void SetBlockAllocatorForTesting(const BlockAllocator* allocator) { g_override = allocator; }
