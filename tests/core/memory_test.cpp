// The allocation routines: sizes 0, null blocks, resizing, blocks that grow and shrink across
// the heap / reserved-space boundary and out of their reservations, and exhausted memory.
#include "ortolib/core/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ortolib/platform/private/process.h"
#include "support/fatal_report.h"
#include "support/process_limits.h"
#include "support/sanitizers.h"

// The sanitizers' allocators report a failed allocation themselves, and need minutes to run out
// of address space; let them return null as the C heap does, at once for blocks above 2 GB.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=2048";
}
extern "C" const char* __tsan_default_options() {
  return "allocator_may_return_null=1:max_allocation_size_mb=2048";
}

namespace pt {
namespace {

TEST(Memory, ZeroSizesAndNullBlocks) {
  EXPECT_EQ(mem_alloc(0), nullptr);
  mem_free(nullptr);

  void* block = mem_realloc(nullptr, 32);  // a null block is allocated
  ASSERT_NE(block, nullptr);
  std::memset(block, 0x5a, 32);
  EXPECT_EQ(mem_realloc(block, 0), nullptr);  // size 0 frees (the leak checker would tell)
}

TEST(Memory, ResizingKeepsTheContent) {
  auto* block = static_cast<unsigned char*>(mem_alloc(16));
  for (int i = 0; i < 16; ++i)
    block[i] = static_cast<unsigned char>(i);
  block = static_cast<unsigned char*>(mem_realloc(block, 1 << 20));
  for (int i = 0; i < 16; ++i)
    ASSERT_EQ(block[i], i);
  block[(1 << 20) - 1] = 1;
  block = static_cast<unsigned char*>(mem_realloc(block, 8));
  EXPECT_EQ(block[7], 7);
  mem_free(block);
}

constexpr std::uint32_t kib = 1024;
constexpr std::uint32_t mib = 1024 * kib;

// Bytes that depend on their offset, so a block copied to the wrong place or cut short shows.
const std::vector<unsigned char>& pattern() {
  static const std::vector<unsigned char> bytes = [] {
    std::vector<unsigned char> made(40 * mib);
    for (std::uint32_t i = 0; i < made.size(); ++i)
      made[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
    return made;
  }();
  return bytes;
}

void fill_pattern(void* block, std::uint32_t from, std::uint32_t to) {
  std::memcpy(static_cast<unsigned char*>(block) + from, pattern().data() + from, to - from);
}

bool holds_pattern(const void* block, std::uint32_t size) {
  return std::memcmp(block, pattern().data(), size) == 0;
}

TEST(Memory, GrowingByPagesKeepsTheContent) {
  // A string's growth: 4096 bytes a step, from the heap into reserved space, through its first
  // reservation and out of it into bigger ones (a block 8 times its size at each move).
  void* block = nullptr;
  std::uint32_t size = 0;
  int moves = 0;
  for (std::uint32_t next = 4 * kib; next <= 40 * mib; next += 4 * kib) {
    void* previous = block;
    block = mem_realloc(block, next);
    ASSERT_NE(block, nullptr);
    // Where the block moved, everything written so far must have come with it.
    if (block != previous && previous != nullptr) {
      ++moves;
      ASSERT_TRUE(holds_pattern(block, size)) << "after growing to " << next;
    }
    fill_pattern(block, size, next);
    size = next;
  }
  // Reserved space spares the copy at almost every step (the C heap alone may move a block
  // at every one of these 10240 steps).
  EXPECT_LT(moves, 100);
  EXPECT_TRUE(holds_pattern(block, size));
  mem_free(block);
}

TEST(Memory, ShrinkingKeepsTheContentAcrossTheThreshold) {
  auto* block = static_cast<unsigned char*>(mem_alloc(24 * mib));
  fill_pattern(block, 0, 24 * mib);
  // Shrinking inside reserved space (giving committed pages back), then back to the heap.
  for (std::uint32_t size : {20 * mib, 1 * mib, 300 * kib, 200 * kib, 100 * kib, 16u, 1u}) {
    block = static_cast<unsigned char*>(mem_realloc(block, size));
    ASSERT_TRUE(holds_pattern(block, size)) << "after shrinking to " << size;
  }
  // And up again: heap, reserved space, a moved reservation; the new bytes are writable.
  std::uint32_t size = 1;
  for (std::uint32_t next : {200 * kib, 256 * kib, 3 * mib, 30 * mib}) {
    block = static_cast<unsigned char*>(mem_realloc(block, next));
    ASSERT_TRUE(holds_pattern(block, size)) << "after growing to " << next;
    fill_pattern(block, size, next);
    size = next;
  }
  EXPECT_TRUE(holds_pattern(block, size));
  mem_free(block);
}

TEST(Memory, OutgrownReservationsMoveWithTheContent) {
  // Doubling until the block has left its reservation (natively at 1 GiB, whose pages are
  // committed but, apart from the two written here at each step, never touched).
  auto* block = static_cast<char*>(mem_alloc(256 * kib));
  std::strcpy(block, "first bytes");
  std::uint32_t size = 256 * kib;
  int moves = 0;
  while (moves < 2 && size <= (1u << 30)) {
    block[size - 1] = static_cast<char>(size >> 18);
    char* grown = static_cast<char*>(mem_realloc(block, 2 * size));
    moves += grown != block;
    block = grown;
    ASSERT_STREQ(block, "first bytes") << "after growing to " << 2 * size;
    ASSERT_EQ(block[size - 1], static_cast<char>(size >> 18)) << "after growing to " << 2 * size;
    size *= 2;
  }
  EXPECT_GE(moves, 1);
  mem_free(block);
}

TEST(Memory, LargeBlocksFromNullAndToZero) {
  void* block = mem_realloc(nullptr, 5 * mib);  // allocated as by mem_alloc
  ASSERT_NE(block, nullptr);
  fill_pattern(block, 0, 5 * mib);
  EXPECT_EQ(mem_realloc(block, 0), nullptr);  // and freed
  mem_free(mem_alloc(256 * kib));             // exactly the threshold
  mem_free(mem_alloc(256 * kib - 1));
}

TEST(Memory, ThousandsOfLargeBlocks) {
  // Every large block reserves more address space than it uses; thousands of them must still
  // fit, each with its own content.
  std::vector<unsigned char*> blocks;
  for (std::uint32_t i = 0; i < 3000; ++i) {
    std::uint32_t size = 256 * kib + i * 64;
    auto* block = static_cast<unsigned char*>(mem_alloc(size));
    block[0] = static_cast<unsigned char>(i);
    block[size - 1] = static_cast<unsigned char>(i >> 8);
    blocks.push_back(block);
  }
  // Half of them grown past their reservations, half given back.
  for (std::uint32_t i = 0; i < blocks.size(); i += 2) {
    blocks[i] = static_cast<unsigned char*>(mem_realloc(blocks[i], 3 * mib));
    blocks[i][3 * mib - 1] = 0x5a;
    mem_free(blocks[i + 1]);
  }
  for (std::uint32_t i = 0; i < blocks.size(); i += 2) {
    ASSERT_EQ(blocks[i][0], static_cast<unsigned char>(i)) << i;
    ASSERT_EQ(blocks[i][256 * kib + i * 64 - 1], static_cast<unsigned char>(i >> 8)) << i;
    mem_free(blocks[i]);
  }
}

TEST(Memory, LargeBlocksAreKnownByLookupNotByTheirAddress) {
  // A heap that aligns small blocks to 8 bytes puts some where large blocks sit, 8 past a
  // multiple of 16: such a block is planted inside a heap block here.
  auto* heap = static_cast<char*>(std::malloc(64));
  const char* planted = heap + ((24 - (reinterpret_cast<std::uintptr_t>(heap) & 15)) & 15);
  ASSERT_EQ(reinterpret_cast<std::uintptr_t>(planted) & 15, 8u);
  EXPECT_FALSE(mem_is_large(planted));
  std::free(heap);

  auto* large = static_cast<char*>(mem_alloc(1 * mib));
  EXPECT_TRUE(mem_is_large(large));
  EXPECT_FALSE(mem_is_large(large + 16));  // inside the block, at the same alignment
  auto* small = static_cast<char*>(mem_realloc(large, 16));  // back to the heap
  EXPECT_FALSE(mem_is_large(small));
  EXPECT_FALSE(mem_is_large(large));  // given back
  mem_free(small);
}

using MemoryDeathTest = testing::Test;

TEST(MemoryDeathTest, ExhaustedMemoryIsFatal) {
  // The largest blocks, never freed, until the address space or the commit limit runs out: a
  // second natively, but the Windows build's emulated address space takes minutes to fill.
  if (pt::exit_status_mask != 0xFF)
    GTEST_SKIP() << "address space too slow to exhaust";
  EXPECT_FATAL(for (;;) mem_alloc(0xFFFFFFFF), fatal_out_of_memory,
               "Fatal \\[c0005\\]: Not enough memory");
}

TEST(MemoryDeathTest, AllocationsBeyondAnAddressSpaceLimitAreFatal) {
  // Exhaustion within a second on every platform that can limit a process, with blocks of
  // the sizes the library's buffers take.
  if (!test::process_limits_supported())
    GTEST_SKIP() << "this platform sets no address-space limit on a process";
  if (test::sanitized_build)
    GTEST_SKIP() << "the sanitizer runtime needs more address space than the limit leaves";
  const test::process_limits limits{.address_space = std::uint64_t{64} << 20};
  EXPECT_FATAL(
      {
        ASSERT_TRUE(test::limit_this_process(limits));
        for (;;)
          std::memset(mem_alloc(1 << 20), 1, 1 << 20);
      },
      fatal_out_of_memory, "Fatal \\[c0005\\]: Not enough memory");
  // A block that keeps growing, as the text of a memory stream does.
  EXPECT_FATAL(
      {
        ASSERT_TRUE(test::limit_this_process(limits));
        void* block = nullptr;
        for (std::uint32_t size = 4096;; size += 4096)
          block = mem_realloc(block, size);
      },
      fatal_out_of_memory, "Fatal \\[c0005\\]: Not enough memory");
}

}  // namespace
}  // namespace pt
