// The one place that takes library buffers from memory and gives them back: small blocks from
// the C heap, large ones from reserved address space that is committed as they grow.
#include "ortolib/core/memory.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <type_traits>

#include "ortolib/core/fatal.h"
#include "ortolib/platform/private/memory.h"

namespace pt {

namespace {

// A large block: its reservation starts with this header, and the caller's bytes follow it.
// The header's size puts those bytes 8 bytes past a multiple of 16, where a C heap that aligns
// its blocks to 16 bytes never puts one; so blocks elsewhere are known to be heap blocks without
// a lookup. At that address a block may still be either kind (a heap that aligns small blocks
// to 8 bytes puts some there), and only the table of live large blocks tells.
struct large_header {
  std::size_t reserved;   // bytes of address space from the header on
  std::size_t committed;  // of those, the bytes committed (readable and writable)
  std::size_t size;       // the caller's bytes
};
constexpr std::size_t header_size = sizeof(large_header);
static_assert(header_size % 16 == 8, "large blocks must sit 8 bytes off the heap's alignment");

// Blocks from this size on are large. Below it the heaps grow a block in place or copy it
// cheaply; above it Windows' heap (and wine's) gives each block its own mapping and copies
// it at every growth step.
constexpr std::size_t large_threshold = std::size_t{256} * 1024;
// A large block that shrinks below this size goes back to the heap. Between the two sizes a
// block stays what it is, so one that hovers around the threshold is not copied back and forth.
constexpr std::size_t small_threshold = large_threshold / 2;
// A reservation holds this many times the block it is made for, so a growing block moves
// rarely; where it does, it moves into one as many times bigger.
constexpr std::size_t reserve_factor = 8;
// Commits run ahead of the block by an eighth, at most commit_ahead_limit, so a block growing
// by pages needs a system call only every so often. The pages a growing block commits are
// backed with memory at once where the OS can do that in one call (memory_prefault), cheaper
// than a fault at each page's first write; the limit keeps what is backed ahead small beside
// the block.
constexpr std::size_t commit_ahead_divisor = 8;
constexpr std::size_t commit_ahead_limit = std::size_t{2} << 20;
// At most this much of one commit is backed at once: a growing block commits a step at a time
// and uses it all, but a huge request may never be written, and memory backed for it would be
// taken from the system for nothing (or end the process by the kernel's hand when it runs out,
// where unbacked commits leave the fatal "Not enough memory" to report it). New blocks are not
// backed ahead at all, for the same reason.
constexpr std::size_t prefault_limit = 2 * commit_ahead_limit;
// The largest reservation: enough for any block a 32-bit size can ask for.
constexpr std::size_t largest_block = header_size + 0xFFFFFFFFull;

[[noreturn]] void out_of_memory() { fatal_error(fatal::out_of_memory); }

// A lock that needs no constructor and no destructor, as std::mutex does on some platforms.
// It is held only for a search or a short move of the table below.
class table_lock {
 public:
  void lock() {
    while (taken_.test_and_set(std::memory_order_acquire))
      std::this_thread::yield();
  }
  void unlock() { taken_.clear(std::memory_order_release); }

 private:
  std::atomic_flag taken_;
};

// The addresses of the live large blocks, sorted. Its storage comes straight from the C heap,
// and it has no destructor, so that blocks can still be freed while the process ends. Nothing
// in it calls fatal_error with the lock held: the end of the process frees blocks too.
class large_block_table {
 public:
  // False, with nothing changed, when the table cannot grow.
  bool add(const void* block) {
    std::lock_guard<table_lock> hold(lock_);
    if (count_ == capacity_) {
      std::size_t capacity = std::max<std::size_t>(64, capacity_ * 2);
      void* grown = std::realloc(entries_, capacity * sizeof(std::uintptr_t));
      if (grown == nullptr)
        return false;
      entries_ = static_cast<std::uintptr_t*>(grown);
      capacity_ = capacity;
    }
    std::uintptr_t* at = std::lower_bound(entries_, entries_ + count_, address(block));
    std::memmove(at + 1, at, (entries_ + count_ - at) * sizeof(std::uintptr_t));
    *at = address(block);
    ++count_;
    return true;
  }

  void remove(const void* block) {
    std::lock_guard<table_lock> hold(lock_);
    std::uintptr_t* at = find(block);
    if (at == nullptr)
      return;
    std::memmove(at, at + 1, (entries_ + count_ - at - 1) * sizeof(std::uintptr_t));
    --count_;
  }

  bool contains(const void* block) {
    std::lock_guard<table_lock> hold(lock_);
    return find(block) != nullptr;
  }

 private:
  static std::uintptr_t address(const void* block) {
    return reinterpret_cast<std::uintptr_t>(block);
  }

  std::uintptr_t* find(const void* block) {
    std::uintptr_t* at = std::lower_bound(entries_, entries_ + count_, address(block));
    return at != entries_ + count_ && *at == address(block) ? at : nullptr;
  }

  table_lock lock_;
  std::uintptr_t* entries_ = nullptr;
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};
static_assert(std::is_trivially_destructible_v<large_block_table>,
              "the table must outlive every block, up to the very end of the process");

constinit large_block_table large_blocks;

large_header* header_of(void* block) {
  return reinterpret_cast<large_header*>(static_cast<char*>(block) - header_size);
}

std::size_t round_up(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

// The bytes to commit for a block of `bytes` (header included) in a reservation of `reserved`.
std::size_t commit_goal(std::size_t bytes, std::size_t reserved) {
  const std::size_t ahead = std::min(bytes / commit_ahead_divisor, commit_ahead_limit);
  return std::min(round_up(bytes + ahead, platform::memory_page_size()), reserved);
}

// A reservation for a block of `bytes`: reserve_factor times as much (at least the platform's
// floor), or only what the block needs when the address space is that short. Null when even
// that is refused.
void* reserve_for(std::size_t bytes, std::size_t& reserved) {
  std::size_t granularity = platform::memory_reserve_granularity();
  std::size_t wanted = std::max(bytes * reserve_factor, platform::memory_reserve_floor());
  reserved = round_up(std::min(wanted, largest_block), granularity);
  if (void* start = platform::memory_reserve(reserved))
    return start;
  reserved = round_up(bytes, granularity);
  return platform::memory_reserve(reserved);
}

// Commits a reservation from `committed` up to `goal`, or only up to the page that `needed`
// bytes reach when the run-ahead is refused. Returns the new committed size, 0 when refused.
std::size_t commit_more(char* start, std::size_t committed, std::size_t goal, std::size_t needed) {
  if (platform::memory_commit(start + committed, goal - committed))
    return goal;
  std::size_t least = round_up(needed, platform::memory_page_size());
  if (least < goal && platform::memory_commit(start + committed, least - committed))
    return least;
  return 0;
}

void* large_alloc(std::size_t size) {
  std::size_t bytes = header_size + size;
  std::size_t reserved = 0;
  auto* start = static_cast<char*>(reserve_for(bytes, reserved));
  if (start == nullptr)
    out_of_memory();
  std::size_t committed = commit_more(start, 0, commit_goal(bytes, reserved), bytes);
  if (committed == 0) {
    platform::memory_release(start, reserved);
    out_of_memory();
  }
  if (!large_blocks.add(start + header_size)) {
    platform::memory_release(start, reserved);
    out_of_memory();
  }
  auto* header = reinterpret_cast<large_header*>(start);
  header->reserved = reserved;
  header->committed = committed;
  header->size = size;
  return start + header_size;
}

void large_free(void* block) {
  large_blocks.remove(block);
  large_header* header = header_of(block);
  platform::memory_release(header, header->reserved);
}

// Resizes a large block that stays large. The block moves only when it outgrows its
// reservation; until the move has succeeded the old block is untouched.
void* large_resize(void* block, std::size_t size) {
  large_header* header = header_of(block);
  auto* start = reinterpret_cast<char*>(header);
  std::size_t bytes = header_size + size;
  if (bytes <= header->committed) {
    // Shrinking: give back what lies well beyond the goal, not every last page, so that a
    // block shrinking and growing by a page does not call the system each time.
    std::size_t goal = commit_goal(bytes, header->reserved);
    if (header->committed > goal + goal / 2) {
      platform::memory_decommit(start + goal, header->committed - goal);
      header->committed = goal;
    }
    header->size = size;
    return block;
  }
  if (bytes <= header->reserved) {
    std::size_t committed =
        commit_more(start, header->committed, commit_goal(bytes, header->reserved), bytes);
    if (committed == 0)
      out_of_memory();
    // A block that grows is written as it grows: its next step is backed now, in one call.
    platform::memory_prefault(start + header->committed,
                              std::min(committed - header->committed, prefault_limit));
    header->committed = committed;
    header->size = size;
    return block;
  }
  std::size_t reserved = 0;
  auto* moved = static_cast<char*>(reserve_for(bytes, reserved));
  if (moved == nullptr)
    out_of_memory();
  if (!large_blocks.add(moved + header_size)) {
    platform::memory_release(moved, reserved);
    out_of_memory();
  }
  std::size_t used = round_up(header_size + header->size, platform::memory_page_size());
  std::size_t goal = commit_goal(bytes, reserved);
  std::size_t old_reserved = header->reserved;
  if (!platform::memory_move(start, moved, std::min(used, header->committed), goal)) {
    large_blocks.remove(moved + header_size);
    platform::memory_release(moved, reserved);
    out_of_memory();
  }
  large_blocks.remove(block);
  platform::memory_release(start, old_reserved);
  auto* moved_header = reinterpret_cast<large_header*>(moved);
  moved_header->reserved = reserved;
  moved_header->committed = goal;
  moved_header->size = size;
  return moved + header_size;
}

}  // namespace

bool mem_is_large(const void* block) {
  return (reinterpret_cast<std::uintptr_t>(block) & 15) == 8 && large_blocks.contains(block);
}

void* mem_alloc(std::uint32_t size) {
  if (size == 0)
    return nullptr;
  if (size >= large_threshold)
    return large_alloc(size);
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
  if (mem_is_large(block)) {
    if (size >= small_threshold)
      return large_resize(block, size);
    void* small = std::malloc(size);
    if (small == nullptr)
      out_of_memory();
    std::memcpy(small, block, size);  // shrinking: the new size is the smaller
    large_free(block);
    return small;
  }
  if (size >= large_threshold) {
    std::size_t old_size = platform::heap_block_size(block);
    void* large = large_alloc(size);
    std::memcpy(large, block, std::min<std::size_t>(old_size, size));
    std::free(block);
    return large;
  }
  void* resized = std::realloc(block, size);
  if (resized == nullptr)
    out_of_memory();
  return resized;
}

void mem_free(void* block) {
  if (block == nullptr)
    return;
  if (mem_is_large(block))
    large_free(block);
  else
    std::free(block);
}

}  // namespace pt
