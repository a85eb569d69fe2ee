// The allocation routines behind every library buffer (string blocks, list storage, stream
// buffers). They never return failure: exhausted memory is the fatal error 0xC0005.
#pragma once

#include "ortolib/config.h"

#include <cstdint>

namespace pt {

// Blocks below 256 KiB come from the C heap, aligned as malloc aligns them. Larger blocks live
// in address space of their own that is reserved several times larger than the block and
// committed as the block grows, so growing one (a string that collects a child's output, say)
// does not copy it at every step; they are aligned to 8 bytes and are invisible to the
// sanitizers' heap checks, and a table of the live ones tells them from heap blocks. A block
// moves only when it outgrows its reservation, or when it crosses between the two kinds. Every
// block, of either kind, is given back with mem_free or resized with mem_realloc; the routines
// are as thread-safe as the C heap.

// A block of size bytes, to be given back with mem_free (or resized with mem_realloc).
// Size 0 allocates nothing and returns null. Never returns null otherwise.
void* mem_alloc(std::uint32_t size);

// Resizes block to size bytes and returns the block that replaces it (the old pointer is then
// invalid); the first min(old, new size) bytes keep their values. Size 0 frees the block and
// returns null; a null block is allocated as by mem_alloc. On failure the block is left as it
// was and the process ends.
void* mem_realloc(void* block, std::uint32_t size);

// Gives a block back; null is ignored.
void mem_free(void* block);

// True when block is a live large block (from reserved address space), false for any other
// address: a heap block at any alignment, a freed block, an address inside a block. Decided by
// a lookup in the table of live large blocks, never by the address alone.
bool mem_is_large(const void* block);

}  // namespace pt
