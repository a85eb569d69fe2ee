// POSIX backend: reserved address space committed page by page (a PROT_NONE mapping whose
// pages are opened with mprotect), for the large blocks of the library's allocator.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ortolib/platform/posix/error.h"
#include "ortolib/platform/private/memory.h"

namespace pt::platform {

std::size_t memory_page_size() {
  static const std::size_t size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return size;
}

std::size_t memory_reserve_granularity() { return memory_page_size(); }

// Linux refuses to move a range that spans more than one mapping, and a mapping that has been
// moved keeps the page offset of its old place, so the kernel never merges it with the
// commits that follow it. One move per block therefore goes by mremap; a reservation this big
// keeps blocks of up to 1 GiB from moving at all.
std::size_t memory_reserve_floor() { return std::size_t{1} << 30; }

void* memory_reserve(std::size_t size) {
  // PROT_NONE private pages are not charged to the overcommit accounting; mprotect charges
  // them when they become writable, so a refused commit shows there, as on Windows.
  void* start = ::mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED) {
    posix::error_capture();
    return nullptr;
  }
  return start;
}

bool memory_commit(void* address, std::size_t size) {
  if (::mprotect(address, size, PROT_READ | PROT_WRITE) != 0) {
    posix::error_capture();
    return false;
  }
  return true;
}

void memory_prefault(void* address, std::size_t size) {
  // Linux 5.14 and later: the pages are allocated and cleared in one pass over the page
  // tables, instead of one fault (a trap into the kernel and back) for every 4 KiB written.
  // Older kernels refuse the advice (EINVAL) and the pages fault in as they are written.
#ifndef MADV_POPULATE_WRITE
  constexpr int MADV_POPULATE_WRITE = 23;
#endif
  const int saved = errno;  // a hint that fails is no error for anyone to find later
  (void)::madvise(address, size, MADV_POPULATE_WRITE);
  errno = saved;
}

void memory_decommit(void* address, std::size_t size) {
  // A fresh PROT_NONE mapping over the pages drops them and their accounting in one step.
  if (::mmap(address, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
      MAP_FAILED) {
    posix::error_capture();
    ::madvise(address, size, MADV_DONTNEED);  // the memory at least goes back
  }
}

bool memory_move(void* from, void* to, std::size_t size, std::size_t committed_size) {
  // mremap carries the pages over (page tables, not bytes) and extends the mapping behind them,
  // all within the target reservation; it fails before changing anything.
  void* moved = ::mremap(from, size, committed_size, MREMAP_MAYMOVE | MREMAP_FIXED, to);
  if (moved != MAP_FAILED)
    return true;
  if (errno != EFAULT) {  // ENOMEM: the accounting refused the larger mapping
    posix::error_capture();
    return false;
  }
  // The source spans more than one mapping (the kernel did not merge two commits): copy.
  if (!memory_commit(to, committed_size))
    return false;
  std::memcpy(to, from, size);
  memory_decommit(from, size);
  return true;
}

void memory_release(void* address, std::size_t size) { ::munmap(address, size); }

std::size_t heap_block_size(void* block) { return ::malloc_usable_size(block); }

}  // namespace pt::platform
