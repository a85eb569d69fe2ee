// The one place that takes library buffers from the C heap and gives them back.
#include "core/memory.h"

#include <cstdlib>

#include "core/fatal.h"

namespace pt {

namespace {

[[noreturn]] void out_of_memory() { fatal_error(fatal_out_of_memory, "Not enough memory"); }

}  // namespace

void* mem_alloc(std::uint32_t size) {
  if (size == 0)
    return nullptr;
  void* block = std::malloc(size);
  if (block == nullptr)
    out_of_memory();
  return block;
}

void* mem_realloc(void* block, std::uint32_t size) {
  if (size == 0) {
    mem_free(block);
    return nullptr;
  }
  if (block == nullptr)
    return mem_alloc(size);
  void* resized = std::realloc(block, size);
  if (resized == nullptr)
    out_of_memory();
  return resized;
}

void mem_free(void* block) { std::free(block); }

}  // namespace pt
