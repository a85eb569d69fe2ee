// Reserved address space: commits that keep what was written, decommits that give zero pages,
// and moves that take the bytes along, also from a range that earlier commits and moves made
// of several pieces.
#include <gtest/gtest.h>

#include <cstring>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/memory.h"

namespace pt::platform {
namespace {

// Bytes that tell their offset, so a move to the wrong place or a lost piece shows.
void fill(char* start, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    start[i] = static_cast<char>(i * 7 + i / 4096);
}

bool holds_fill(const char* start, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i)
    if (start[i] != static_cast<char>(i * 7 + i / 4096))
      return false;
  return true;
}

class Reservation {
 public:
  explicit Reservation(std::size_t size)
      : size_(size), start_(static_cast<char*>(memory_reserve(size))) {}
  ~Reservation() {
    if (start_ != nullptr)
      memory_release(start_, size_);
  }
  Reservation(const Reservation&) = delete;
  Reservation& operator=(const Reservation&) = delete;
  char* start() const { return start_; }

 private:
  std::size_t size_;
  char* start_;
};

TEST(AddressSpace, SizesArePowersOfTwoThatFit) {
  std::size_t page = memory_page_size(), granularity = memory_reserve_granularity();
  EXPECT_GE(page, 4096u);
  EXPECT_EQ(page & (page - 1), 0u);
  EXPECT_EQ(granularity % page, 0u);
  EXPECT_EQ(memory_reserve_floor() % granularity, 0u);
}

TEST(AddressSpace, CommitKeepsContentAndDecommitGivesZeroPages) {
  const std::size_t page = memory_page_size(), size = 64 * memory_reserve_granularity();
  Reservation space(size);
  ASSERT_NE(space.start(), nullptr) << "error " << last_error();
  char* start = space.start();
  ASSERT_TRUE(memory_commit(start, 4 * page));
  EXPECT_EQ(start[4 * page - 1], 0);  // fresh pages read as zero
  fill(start, 0, 4 * page);
  // Committing again, and further, keeps what is there.
  ASSERT_TRUE(memory_commit(start, 8 * page));
  fill(start, 4 * page, 8 * page);
  EXPECT_TRUE(holds_fill(start, 8 * page));
  // The upper half given back comes back as zero pages; the lower half is untouched.
  memory_decommit(start + 4 * page, 4 * page);
  ASSERT_TRUE(memory_commit(start + 4 * page, 4 * page));
  EXPECT_TRUE(holds_fill(start, 4 * page));
  for (std::size_t i = 4 * page; i < 8 * page; i += 512)
    ASSERT_EQ(start[i], 0) << i;
}

TEST(AddressSpace, MovesCarryTheBytesAlongAgainAndAgain) {
  const std::size_t page = memory_page_size(), size = 64 * memory_reserve_granularity();
  Reservation first(size), second(size), third(size);
  ASSERT_TRUE(first.start() && second.start() && third.start()) << "error " << last_error();

  ASSERT_TRUE(memory_commit(first.start(), 8 * page));
  fill(first.start(), 0, 8 * page);
  // Five pages move, and the target has room for ten.
  ASSERT_TRUE(memory_move(first.start(), second.start(), 5 * page, 10 * page));
  EXPECT_TRUE(holds_fill(second.start(), 5 * page));
  EXPECT_EQ(second.start()[10 * page - 1], 0);

  // Grown by separate commits, the moved block is now made of pieces that the OS may keep
  // apart; it still moves whole.
  fill(second.start(), 5 * page, 10 * page);
  ASSERT_TRUE(memory_commit(second.start() + 10 * page, 6 * page));
  fill(second.start(), 10 * page, 16 * page);
  ASSERT_TRUE(memory_move(second.start(), third.start(), 16 * page, 20 * page));
  EXPECT_TRUE(holds_fill(third.start(), 16 * page));
  third.start()[20 * page - 1] = 1;  // the room behind the bytes is writable
}

}  // namespace
}  // namespace pt::platform
