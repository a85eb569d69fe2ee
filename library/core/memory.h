// The allocation routines behind every library buffer (string blocks, list storage, stream
// buffers). They never return failure: exhausted memory is the fatal error 0xC0005.
#pragma once

#include <cstdint>

namespace pt {

// A block of size bytes, to be given back with mem_free (or resized with mem_realloc).
// Size 0 allocates nothing and returns null. Never returns null otherwise.
void* mem_alloc(std::uint32_t size);

// Resizes block to size bytes and returns the block that replaces it (the old pointer is then
// invalid). Size 0 frees the block and returns null; a null block is allocated as by mem_alloc.
// On failure the block is left as it was and the process ends.
void* mem_realloc(void* block, std::uint32_t size);

// Gives a block back; null is ignored.
void mem_free(void* block);

}  // namespace pt
