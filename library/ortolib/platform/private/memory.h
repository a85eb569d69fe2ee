// Private to the library (not installed): address space reserved and committed page by page
// for large blocks, and the usable size of a C-heap block. Backend: memory.cpp.
#pragma once

#include <cstddef>

namespace pt::platform {

// Address space reserved first and backed by memory only as it is committed, page by page,
// so that a large block grows in place instead of being copied into a bigger one at every
// step. Committed pages read as zero until written; a page counts against the system's memory
// (Windows' commit limit, Linux's overcommit accounting) from its commit on, and takes real
// memory only once it is touched. None of these functions is seen by the sanitizers' heap
// checks: they are the OS's pages, not the C heap's blocks.

// The unit of commit and decommit: 4096 on x86-64.
std::size_t memory_page_size();

// The unit of reservations, their start and size: 64 KiB on Windows, the page size on POSIX.
std::size_t memory_reserve_granularity();

// The smallest reservation worth making for a block that may grow: 1 GiB on POSIX, where
// address space costs nothing until it is committed and where a block that has moved once
// (with its pages) cannot be moved that way again; on Windows the reserve granularity, since
// wine keeps a byte of bookkeeping for every reserved page.
std::size_t memory_reserve_floor();

// Reserves size bytes (a multiple of the reserve granularity) of address space, without
// access. Returns the start, or null when the OS refuses (address space or mappings used up).
void* memory_reserve(std::size_t size);

// Commits the pages [address, address + size) of a reservation (page-aligned), readable and
// writable. Pages already committed keep their content. False when the OS refuses.
bool memory_commit(void* address, std::size_t size);

// Backs committed pages [address, address + size) (page-aligned) with memory now, in one call,
// so that the writes that follow take no page fault each. A hint: where the OS has no such
// call, or refuses, the pages are backed at their first write as before.
void memory_prefault(void* address, std::size_t size);

// Gives the memory of committed pages back; the addresses stay reserved, without access.
void memory_decommit(void* address, std::size_t size);

// Commits committed_size bytes at `to` and moves the first size bytes from `from` there (both
// page-aligned, in different reservations; size <= committed_size). Afterwards `from` up to
// size holds nothing and is only fit to be released with its reservation. POSIX moves the
// pages themselves, without copying; Windows copies piece by piece and decommits each piece
// behind it, so that only one piece is ever held twice. False, with nothing changed, when the
// target cannot be committed.
bool memory_move(void* from, void* to, std::size_t size, std::size_t committed_size);

// Gives a whole reservation back: the start and size that memory_reserve was given.
void memory_release(void* address, std::size_t size);

// The usable size of a block from the C heap (malloc, realloc): at least the size asked for.
std::size_t heap_block_size(void* block);

}  // namespace pt::platform
