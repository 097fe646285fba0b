#pragma once
// Where the expander gets its few fixed blocks (the two 32 KB file buffers and
// the decoder's tables). Routed through one pair of functions so tests can
// make an allocation or a release fail.

#include <cstddef>

struct BlockAllocator {
  void* (*Allocate)(std::size_t size);  // nullptr when no memory is left
  bool (*Release)(void* block);         // false when the release fails
};

const BlockAllocator& CurrentBlockAllocator();

// Test seam: installs another allocator (nullptr restores the heap).
void SetBlockAllocatorForTesting(const BlockAllocator* allocator);
