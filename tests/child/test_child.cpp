// The helper child that tests start: it reads its arguments in order as commands, so one
// program can print its arguments, write to stdout and stderr, read stdin, exit with any code,
// crash, start a grandchild or close its output while it runs on, on Windows and POSIX alike.
//
//   hex-args        every FOLLOWING argument as lowercase hex, one line each ("\n"), to
//                   stdout; an empty argument gives an empty line; nothing after it is a command
//   hex-utf8-args   the same for the arguments as read from the wide command line, in UTF-8
//                   (pt::program_arguments: on Windows every character the parent passed, also
//                   those the ANSI code page lacks; on POSIX argv as it is)
//   out=<hex>       those bytes to stdout        err=<hex>   those bytes to stderr
//   fill=<n>        n bytes to stdout, byte i being "0123456789abcdef"[i % 16]
//   fill-err=<n>    the same to stderr
//   stdin           standard input copied to stdout until its end
//   stdin-doubled   the same with every byte written twice: it writes twice what it reads
//   wait-stdin      waits until one byte can be read from standard input (and takes it) or
//                   the input ends: a gate that the parent opens when it is ready
//   sleep=<ms>      pauses
//   exit=<n>        ends with code n (decimal, 32-bit unsigned; the OS may keep fewer bits)
//   crash           writes through a null pointer (SIGSEGV / 0xC0000005)
//   abort           calls abort()
//   grandchild=<ms> starts this program again with "sleep=<ms> out=6c617465" ("late") on the
//                   same stdout and stderr, and goes on without waiting for it
//   detached=<hex>  starts this program again with that command-line text (hex bytes) after
//                   its name, on the same stdin and with no stdout or stderr, and goes on
//                   without waiting for it: a grandchild that holds none of the output
//   escapee=<hex>   the same on the same stdin, stdout and stderr, outside its tree (a session
//                   of its own, or away from the job): a grandchild that holds the output but
//                   leaves the tree on purpose, as a daemon does
//   pid=<hex>       writes its process id (decimal) into the file at that path (hex bytes)
//   mark=<hex>      creates an empty file at that path (hex bytes): a sign to the parent that
//                   the commands before it have run
//   close-out       closes its standard output and standard error (the process's own and its
//                   duplicates), so a reader sees the end of data while the child runs on
//   descriptors     the open descriptors it did not open itself (POSIX: /proc/self/fd),
//                   ascending, separated by spaces, then LF; nothing on Windows
//   signals         its signal settings (support/signal_report.h)
//   cwd             its working directory, then LF
//   env=<name>      the value of that environment variable, then LF; "unset" LF without it
//   remove=<hex>    deletes the file at that path (hex bytes) and writes "removed" LF, or
//                   "kept" LF when the system refuses (Windows, while the file is open)
//   replace=<hex>   writes "replacement" into <path>.new and renames that over the path, then
//                   writes "replaced" LF, or "kept" LF when the system refuses
//   read-only=<hex> takes the write permission from the file and writes "read-only" LF, or
//                   "kept" LF when the system refuses
//
// Without exit=, the child ends with 0. It writes raw bytes through duplicated standard handles,
// so nothing is translated. Its own failures end it with codes from 101 up (failure_code).
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ortolib/platform/error_numbers.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/std_handles.h"
#include "ortolib/platform/program_arguments.h"
#include "support/child_tree.h"
#include "support/hex.h"
#include "support/signal_report.h"

namespace {

namespace platform = pt::platform;

enum failure_code : int {
  unknown_command = 101,
  write_failed = 102,
  read_failed = 103,
  grandchild_failed = 104,
};

struct std_handles {
  platform::handle input = platform::std_handle_duplicate(platform::std_handle_id::input);
  platform::handle output = platform::std_handle_duplicate(platform::std_handle_id::output);
  platform::handle error = platform::std_handle_duplicate(platform::std_handle_id::error);
};

[[noreturn]] void fail(failure_code code) { std::exit(code); }

void write_all(platform::handle h, std::string_view bytes) {
  if (platform::handle_write(h, bytes.data(), static_cast<std::int32_t>(bytes.size())) !=
      static_cast<std::int32_t>(bytes.size()))
    fail(write_failed);
}

// The bytes a command's hex value spells; a value that is no hex ends the child.
std::string from_hex(std::string_view hex) {
  std::optional<std::string> bytes = pt::test::from_hex(hex);
  if (!bytes)
    fail(unknown_command);
  return *bytes;
}

std::uint32_t number(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    fail(unknown_command);
  return value;
}

void fill(platform::handle out, std::uint32_t count) {
  // Writes of 64 KiB, a multiple of the pattern's 16 bytes, so one block serves every write
  // and the child keeps pace with any reader (benchmarks time the reader, not the child).
  static constexpr char pattern[] = "0123456789abcdef";
  std::string block(65536, '\0');
  for (std::size_t i = 0; i < block.size(); ++i)
    block[i] = pattern[i % 16];
  while (count > 0) {
    std::uint32_t part = count < block.size() ? count : static_cast<std::uint32_t>(block.size());
    write_all(out, std::string_view(block.data(), part));
    count -= part;
  }
}

void copy_input(const std_handles& handles, bool doubled) {
  char buffer[4096];
  std::string doubled_bytes;
  for (;;) {
    std::int32_t got = platform::handle_read(handles.input, buffer, sizeof buffer);
    if (got == 0)
      return;
    if (got < 0) {
      // Windows ends a pipe with "broken pipe" where POSIX reads 0 bytes.
      if (platform::stream_error_number(platform::last_error()) == pt::error_broken_pipe)
        return;
      fail(read_failed);
    }
    std::string_view bytes(buffer, static_cast<std::size_t>(got));
    if (doubled) {
      doubled_bytes.clear();
      for (char c : bytes)
        doubled_bytes.append(2, c);
      bytes = doubled_bytes;
    }
    write_all(handles.output, bytes);
  }
}

void start_grandchild(const char* self, const std::string& arguments, platform::handle input,
                      platform::handle output, platform::handle error) {
  platform::process_request request;
  request.application = self;
  request.arguments = arguments.c_str();
  request.std_input = input;
  request.std_output = output;
  request.std_error = error;
  platform::process_info started;
  if (!platform::process_start(request, started))
    fail(grandchild_failed);
  platform::process_close(started.thread);
  platform::process_close(started.process);
}

// The entries of /proc/self/fd but the child's own: the duplicates of its standard handles and
// the one that reads the folder.
std::string open_descriptors(const std_handles& handles) {
  std::vector<int> numbers;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code unreadable;
    const auto target = std::filesystem::read_symlink(entry.path(), unreadable).string();
    const auto fd = static_cast<platform::handle>(number(entry.path().filename().string()));
    const bool own = fd == handles.input || fd == handles.output || fd == handles.error;
    if (!own && target.find("/fd") == std::string::npos)  // the folder: /proc/<pid>/fd
      numbers.push_back(static_cast<int>(fd));
  }
  std::sort(numbers.begin(), numbers.end());
  std::string list;
  for (int fd : numbers) {
    if (!list.empty())
      list += ' ';
    list += std::to_string(fd);
  }
  return list.empty() ? list : list + "\n";
}

void close_output(std_handles& handles) {
  platform::handle_close(handles.output);
  platform::handle_close(handles.error);
  handles.output = handles.error = platform::no_handle;
  // The runtime's streams own the process's own standard output and error handles.
  std::fclose(stdout);
  std::fclose(stderr);
}

// Opaque to the optimiser, so the store below is a real access violation and not a trap.
volatile std::uintptr_t null_address = 0;

// Sanitizers would report the fault themselves and exit with a status of their own.
__attribute__((no_sanitize("address", "undefined"))) void crash() {
  *reinterpret_cast<volatile int*>(null_address) = 1;
}

// What happened to the file that a command changed, for the parent to read.
void report_change(const std_handles& handles, bool done, std::string_view what) {
  write_all(handles.output, std::string(done ? what : "kept") + "\n");
}

bool remove_file(const std::string& path) {
  std::error_code error;
  return std::filesystem::remove(path, error);
}

bool replace_file(const std::string& path) {
  const std::string replacement = path + ".new";
  {
    std::ofstream out(replacement, std::ios::binary);
    out << "replacement";
    if (!out.flush())
      return false;
  }
  std::error_code error, ignored;
  std::filesystem::rename(replacement, path, error);
  if (error)
    std::filesystem::remove(replacement, ignored);
  return !error;
}

bool make_read_only(const std::string& path) {
  std::error_code error;
  std::filesystem::permissions(path,
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove, error);
  return !error;
}

}  // namespace

// Let crash and abort reach the parent as signals, and allow the child's abrupt exits.
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_abort=0:detect_leaks=0";
}
extern "C" const char* __tsan_default_options() { return "handle_segv=0"; }

int main(int argc, char** argv) {
  std_handles handles;
  for (int i = 1; i < argc; ++i) {
    std::string_view command = argv[i];
    std::string_view value = command.substr(command.find('=') + 1);
    auto is = [&](std::string_view name) { return command.substr(0, name.size()) == name; };
    if (command == "hex-args") {
      for (++i; i < argc; ++i)
        write_all(handles.output, pt::test::hex(argv[i]) + "\n");
    } else if (command == "hex-utf8-args") {
      const std::vector<std::string> arguments = pt::program_arguments(argc, argv);
      for (std::size_t at = static_cast<std::size_t>(i) + 1; at < arguments.size(); ++at)
        write_all(handles.output, pt::test::hex(arguments[at]) + "\n");
      i = argc;
    } else if (is("out=")) {
      write_all(handles.output, from_hex(value));
    } else if (is("err=")) {
      write_all(handles.error, from_hex(value));
    } else if (is("fill=")) {
      fill(handles.output, number(value));
    } else if (is("fill-err=")) {
      fill(handles.error, number(value));
    } else if (command == "stdin" || command == "stdin-doubled") {
      copy_input(handles, command == "stdin-doubled");
    } else if (command == "wait-stdin") {
      char byte;
      platform::handle_read(handles.input, &byte, 1);
    } else if (is("sleep=")) {
      std::this_thread::sleep_for(std::chrono::milliseconds(number(value)));
    } else if (is("exit=")) {
      std::exit(static_cast<int>(number(value)));  // the runtime passes all 32 bits on
    } else if (command == "crash") {
      crash();
    } else if (command == "abort") {
      std::abort();
    } else if (is("grandchild=")) {
      const std::string late = " sleep=" + std::string(value) + " out=" + pt::test::hex("late");
      start_grandchild(argv[0], late, handles.input, handles.output, handles.error);
    } else if (is("detached=")) {
      start_grandchild(argv[0], from_hex(value), handles.input, platform::no_handle,
                       platform::no_handle);
    } else if (is("escapee=")) {
      if (!pt::test::start_outside_tree(argv[0], from_hex(value), handles.input, handles.output,
                                        handles.error))
        fail(grandchild_failed);
    } else if (is("pid=")) {
      if (!(std::ofstream(from_hex(value), std::ios::binary) << pt::test::current_process_id()))
        fail(write_failed);
    } else if (is("mark=")) {
      if (!std::ofstream(from_hex(value), std::ios::binary))
        fail(write_failed);
    } else if (command == "close-out") {
      close_output(handles);
    } else if (command == "descriptors") {
      write_all(handles.output, open_descriptors(handles));
    } else if (command == "cwd") {
      write_all(handles.output, std::filesystem::current_path().string() + "\n");
    } else if (is("env=")) {
      const char* variable = std::getenv(std::string(value).c_str());
      write_all(handles.output, std::string(variable != nullptr ? variable : "unset") + "\n");
    } else if (command == "signals") {
      write_all(handles.output, pt::test::signal_report());
    } else if (is("remove=")) {
      report_change(handles, remove_file(from_hex(value)), "removed");
    } else if (is("replace=")) {
      report_change(handles, replace_file(from_hex(value)), "replaced");
    } else if (is("read-only=")) {
      report_change(handles, make_read_only(from_hex(value)), "read-only");
    } else {
      fail(unknown_command);
    }
  }
  return 0;
}
