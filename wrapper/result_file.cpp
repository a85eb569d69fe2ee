// The result file writer: text-mode LF translation (line_ends.h) into a staging buffer, written
// chunk by chunk.
#include "result_file.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "line_ends.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/files.h"

namespace cmdwrap {
namespace {

// 256 KiB a write: a file system pays per call (64 KiB writes cost a quarter more than one
// big write), while a staging buffer this size still stays in the processor's cache.
constexpr std::size_t staging_size = std::size_t{256} * 1024;
// A piece of text smaller than this is not worth a translation of its own: the buffer is
// written first.
constexpr std::size_t least_piece = 4096;

// Writes text with every LF expanded to CR LF. Bytes are gathered in a staging buffer and
// written when it fills, so memory stays bounded whatever the output size. After the first
// failure nothing more is written.
class crlf_writer {
 public:
  // A buffer for at most `bytes` of input: the staging size, or less for less (each byte takes
  // at most two). Its pages are not cleared, so a small result touches little memory.
  crlf_writer(std::FILE* file, std::size_t bytes)
      : file_(file),
        size_(std::min(staging_size, 2 * bytes + 2)),
        staging_(std::make_unique_for_overwrite<char[]>(size_)) {}

  void put(std::string_view text) {
    while (!text.empty() && !failed_) {
      if (used_ == 0 && text.size() >= size_ && std::memchr(text.data(), '\n', size_) == nullptr) {
        // A whole buffer's worth without a line end goes out from the text itself, uncopied:
        // output without LF then costs what a raw write of it costs.
        write(text.data(), size_);
        text.remove_prefix(size_);
        continue;
      }
      // Each byte takes at most two in the buffer; a buffer too full to take a worthwhile
      // piece is written first.
      std::size_t piece = std::min(text.size(), (size_ - used_) / 2);
      if (piece < std::min(text.size(), least_piece)) {
        flush();
        continue;
      }
      used_ += expand_line_ends(text.data(), piece, staging_.get() + used_);
      text.remove_prefix(piece);
    }
  }

  // Writes what is staged; returns false if this or any earlier write failed.
  bool flush() {
    write(staging_.get(), used_);
    used_ = 0;
    return !failed_;
  }

  std::uint32_t error() const { return error_; }  // of the failed write

 private:
  void write(const char* bytes, std::size_t count) {
    if (!failed_ && count > 0 && std::fwrite(bytes, 1, count, file_) != count) {
      failed_ = true;
      error_ = pt::last_c_file_error();
    }
  }

  std::FILE* file_;
  std::size_t size_;
  std::unique_ptr<char[]> staging_;
  std::size_t used_ = 0;
  bool failed_ = false;
  std::uint32_t error_ = 0;
};

// The note for an exception code, with the LF that separates it from any output before it.
std::string exception_note(std::uint32_t code, bool after_output) {
  static const char digits[] = "0123456789abcdef";
  std::string note = after_output ? "\n" : "";
  note += "Returned Win32 exception 0x";
  for (int shift = 28; shift >= 0; shift -= 4)
    note += digits[(code >> shift) & 0xF];
  note += '\n';
  return note;
}

struct file_closer {
  // Closes only when the write was abandoned by an exception; the normal path checks fclose
  // itself.
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

}  // namespace

std::FILE* open_result_file(const char* path, pt::text_encoding path_encoding) {
  // No child inherits the file: none could write into it, and none that lives on keeps it open.
  // A FIFO without a reader fails here at once: cmdwrap never waits for one, and its caller
  // would read only after cmdwrap has ended.
  std::FILE* file = pt::c_file_rewrite(path, path_encoding);
  // Unbuffered, because the writer stages whole chunks itself; a failure then shows at the
  // write that meets it rather than later at close. Should setvbuf fail, the stream stays
  // buffered and the fflush and fclose checks below still see every failure.
  if (file != nullptr)
    (void)std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

std::int32_t write_result_file(std::FILE* file, std::string_view output, std::int32_t status,
                               write_failure* failure) {
  std::unique_ptr<std::FILE, file_closer> guard(file);
  const auto code = static_cast<std::uint32_t>(status);
  std::string note;
  if (pt::is_exception_code(code)) {
    note = exception_note(code, !output.empty());
    status = pt::no_exit_code;
  }

  crlf_writer writer(file, output.size() + note.size());
  writer.put(output);
  writer.put(note);
  bool written = writer.flush();
  std::uint32_t error = writer.error();
  // The file was emptied before the child ran, but the child, or anyone, may have written into
  // it since: what lies beyond the result is cut off, so the file holds the result alone.
  if (!pt::c_file_truncate_here(file) && written) {
    written = false;
    error = pt::last_c_file_error();
  }
  // A stream given with its own buffer may hold bytes still; a failure to write them, or one
  // the OS reports only at close, must not leave a success status over a truncated file.
  if (std::fflush(file) != 0 && written) {
    written = false;
    error = pt::last_c_file_error();
  }
  if (std::fclose(guard.release()) != 0 && written) {
    written = false;
    error = pt::last_c_file_error();
  }
  if (!written && failure != nullptr)
    *failure = write_failure{true, error};
  return written ? status : pt::no_exit_code;
}

}  // namespace cmdwrap
