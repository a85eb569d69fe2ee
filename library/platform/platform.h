// What ortolib needs of an operating system, in one narrow interface.
// Two backends define it, posix/ and win32/; the build compiles exactly one of them.
// This is the only place that knows about OS handles, OS errors and OS calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pt::platform {

// ---------------------------------------------------------------- handles

// An OS handle at full width: a file descriptor on POSIX, a HANDLE on Windows.
using handle = std::intptr_t;

// The value that stands for "no handle" everywhere in the library.
inline constexpr handle no_handle = -1;

// The value a failed duplicate of a standard handle takes (see std_handle_duplicate):
// 0 on Windows (the null handle); on POSIX a negative value that is never a descriptor,
// because descriptor 0 is valid there. Reading, writing or closing it fails with EBADF /
// ERROR_INVALID_HANDLE, which the stream layer reports as "Invalid file descriptor".
extern const handle unusable_handle;

// ----------------------------------------------------------------- errors

// A raw OS error number: errno on POSIX, GetLastError() on Windows.
using os_error = std::uint32_t;

// The error of the last call of this layer that failed on the calling thread. Every failing
// call captures it at once, before anything else can overwrite it.
os_error last_error();

// Maps an OS error to the library's stream error number (POSIX errno numbering):
// 2, 5, 9, 12, 13, 17, 19, 24, 27, 28, 29, 30 or 32; anything the table does not know is 5.
// A failure reads alike on both systems: an errno gets the number of its Windows counterpart.
int stream_error_number(os_error error);

// ------------------------------------------------------------------ files

enum class file_access {
  read,            // existing file, for reading
  write_truncate,  // created or truncated, for writing
  write_append,    // created if missing, kept otherwise, for writing
};

// Opens a file. The handle is inheritable by child processes; other processes may read and
// write the file while it is open (but not delete it, where the OS can refuse that).
// Returns no_handle on failure.
handle file_open(const char* path, file_access access);

// Reads up to count bytes. Returns the number read (0 at the end of a file, and on POSIX at
// the end of a pipe), or -1 on failure. Interrupted calls are retried.
std::int32_t handle_read(handle h, void* buffer, std::int32_t count);

// Writes all count bytes, looping over partial and interrupted writes the way WriteFile on a
// blocking handle does. Returns count, or -1 on failure (also when part was written). A pipe
// without a reader fails with the broken-pipe error instead of killing the process.
std::int32_t handle_write(handle h, const void* buffer, std::int32_t count);

// Moves the file pointer: origin 0 from the start, 1 from the current position, 2 from the
// end. Returns the new position, or -1 on failure.
std::int64_t handle_seek(handle h, std::int64_t offset, int origin);

// Asks the OS to write its buffers for the handle to the device. The result is not reported.
void handle_flush(handle h);

// Closes a handle. Returns false on failure (closing no_handle fails harmlessly).
bool handle_close(handle h);

// True when the file-status query on path succeeds; directories count as existing.
bool file_exists(const char* path);

// ------------------------------------------------------------------ pipes

// Creates an anonymous blocking pipe whose two ends are inheritable. False on failure.
bool pipe_create(handle& read_end, handle& write_end);

// ------------------------------------------------------- standard handles

enum class std_handle_id { input, output, error };

// Returns an inheritable duplicate of the process's standard handle, or unusable_handle when
// there is none or it cannot be duplicated. On POSIX the duplicate is never 0, 1 or 2, and a
// closed standard descriptor is reopened on /dev/null, so that no file or pipe opened later
// can take its number (and a child or a stray write to it would hit the wrong file).
handle std_handle_duplicate(std_handle_id which);

// -------------------------------------------------------------- processes

struct process_request {
  const char* application = nullptr;  // the executable, used as given: no search, no extension
  char* command_line = nullptr;       // writable and zero-terminated (CreateProcessA may modify it)
  bool inherit_handles = true;        // pass every inheritable handle on to the child
  handle std_input = no_handle;       // the child's standard handles
  handle std_output = no_handle;
  handle std_error = no_handle;
};

struct process_info {
  handle process = no_handle;  // waited for with process_wait, released with process_close
  handle thread = no_handle;   // the main thread's handle (no_handle on POSIX)
  std::uint32_t process_id = 0;
};

// Starts a child process. On POSIX the child's argv is the command line split by the
// Windows C-runtime rules (command_line.h), with argv[0] the application path; a standard
// handle that is not a descriptor leaves that descriptor closed in the child; with
// inherit_handles false the child inherits nothing but its three standard handles.
// A failure to start, exec failures included, returns false with last_error() set. A command
// line longer than the OS takes is such a failure (Windows: 32767 characters with the NUL,
// ERROR_FILENAME_EXCED_RANGE; POSIX: E2BIG), never a child started on a cut line.
bool process_start(const process_request& request, process_info& started);

// Waits without time limit for the process to end and gives its exit code. On POSIX a child
// killed by a signal gives the Windows exception code of that signal (SIGSEGV 0xc0000005,
// SIGBUS 0xc0000006, SIGILL 0xc000001d, SIGFPE 0xc0000094, SIGINT 0xc000013a,
// SIGABRT 0xc0000409, any other signal 0xc0000001). False on failure.
bool process_wait(handle process, std::uint32_t& exit_code);

// Releases a process or thread handle from process_start. Does not end the process.
void process_close(handle h);

// ----------------------------------------------------------- address space

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

// ---------------------------------------------------------------- threads

using thread_routine = unsigned (*)(void* argument);

// Starts routine(argument) on a new OS thread. thread_handle and thread_id are stored before
// the routine can begin, so a routine that deletes their owner at once is safe.
// False on failure.
bool thread_start(thread_routine routine, void* argument, handle& thread_handle,
                  std::uint32_t& thread_id);

// Waits until the thread has ended, then releases its handle.
void thread_join(handle thread_handle);

// Releases the handle of a thread that is not waited for; the thread runs on.
void thread_release(handle thread_handle);

// The OS identifier of the calling thread.
std::uint32_t current_thread_id();

// --------------------------------------------- semaphores and critical sections

// Creates an unnamed counting semaphore; no_handle when the OS refuses (for instance an
// initial count below 0 or above the maximum).
handle semaphore_create(std::int32_t initial_count, std::int32_t maximum_count);
void semaphore_close(handle semaphore);

// Room for the platform's critical-section record (CRITICAL_SECTION, pthread_mutex_t).
// The thread that holds a section may enter it again and must leave it as often, on POSIX
// too (a recursive mutex), as a CRITICAL_SECTION allows.
struct critical_section {
  alignas(16) unsigned char storage[64];
};
void critical_section_init(critical_section& section);
void critical_section_enter(critical_section& section);
void critical_section_leave(critical_section& section);
void critical_section_destroy(critical_section& section);

// -------------------------------------------------------------- reporting

// Shows a fatal error to the user and returns once it is acknowledged: a message box on
// Windows; the caption, ": ", the text and a line end on standard error on POSIX.
void fatal_message_show(const char* text, const char* caption);

// -------------------------------------------------------- formatting

// The platform's bounded formatter (_snprintf on Windows, snprintf on POSIX) for one
// directive and its argument. Returns the length written, or a negative value when the
// text does not fit into size bytes (the buffer's content is then undefined).
int format_bounded(char* buffer, std::size_t size, const char* directive, ...);

// The length modifier by which format_bounded reads a 64-bit integer ("ll" or "I64").
extern const char int64_length_modifier[];

// ------------------------------------------------------------ the process

// The bits of a process's exit status that reach its parent: all 32 on Windows, the low 8
// on POSIX.
extern const std::uint32_t exit_status_mask;

// Prepares the process for the library; run once at start-up, before any stream exists.
// POSIX: ignores SIGPIPE and SIGXFSZ, so a write to a pipe without a reader, or past the
// file-size limit, is an error number (EPIPE, EFBIG) instead of the end of the process
// (children get the default dispositions back). Windows: nothing.
void process_startup();

}  // namespace pt::platform
