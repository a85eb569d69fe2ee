// The allocation routines: sizes 0, null blocks, resizing, and exhausted memory.
#include "core/memory.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/platform.h"
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

using MemoryDeathTest = testing::Test;

TEST(MemoryDeathTest, ExhaustedMemoryIsFatal) {
  // The largest blocks, never freed, until the address space or the commit limit runs out: a
  // second natively, but the Windows build's emulated address space takes minutes to fill.
  if (platform::exit_status_mask != 0xFF)
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
