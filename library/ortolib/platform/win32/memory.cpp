// Windows backend: reserved address space committed page by page (VirtualAlloc MEM_RESERVE,
// then MEM_COMMIT), for the large blocks of the library's allocator.
#include <windows.h>

#include <malloc.h>

#include <algorithm>
#include <cstring>

#include "ortolib/platform/private/memory.h"
#include "ortolib/platform/win32/error.h"

namespace pt::platform {
namespace {

const SYSTEM_INFO& system_info() {
  static const SYSTEM_INFO info = [] {
    SYSTEM_INFO filled;
    GetSystemInfo(&filled);
    return filled;
  }();
  return info;
}

// How much a move copies before it gives the source's pages back.
constexpr std::size_t move_piece = 1 << 20;

}  // namespace

std::size_t memory_page_size() { return system_info().dwPageSize; }

std::size_t memory_reserve_granularity() { return system_info().dwAllocationGranularity; }

std::size_t memory_reserve_floor() { return memory_reserve_granularity(); }

void* memory_reserve(std::size_t size) {
  void* start = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
  if (start == nullptr)
    win32::error_capture();
  return start;
}

bool memory_commit(void* address, std::size_t size) {
  if (VirtualAlloc(address, size, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
    win32::error_capture();
    return false;
  }
  return true;
}

// Windows has no call that backs committed pages for writing ahead of use (PrefetchVirtualMemory
// reads file-backed pages): they are backed at their first write.
void memory_prefault(void* /*address*/, std::size_t /*size*/) {}

void memory_decommit(void* address, std::size_t size) { VirtualFree(address, size, MEM_DECOMMIT); }

bool memory_move(void* from, void* to, std::size_t size, std::size_t committed_size) {
  // Reservations cannot be joined or moved: copy, but hand each piece of the source back as
  // soon as it is copied, so that a move never holds the whole block twice.
  if (!memory_commit(to, committed_size))
    return false;
  auto* source = static_cast<char*>(from);
  auto* target = static_cast<char*>(to);
  for (std::size_t done = 0; done < size;) {
    std::size_t piece = std::min(move_piece, size - done);
    std::memcpy(target + done, source + done, piece);
    memory_decommit(source + done, piece);
    done += piece;
  }
  return true;
}

void memory_release(void* address, std::size_t) { VirtualFree(address, 0, MEM_RELEASE); }

std::size_t heap_block_size(void* block) { return _msize(block); }

}  // namespace pt::platform
