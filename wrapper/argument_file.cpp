// The argument file reader: binary reads with the text-mode translation done here, in chunks.
#include "argument_file.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "ortolib/platform/files.h"

namespace cmdwrap {
namespace {

constexpr std::size_t read_chunk_size = std::size_t{64} * 1024;
constexpr char end_of_data = 0x1A;

// Collects lines from translated bytes. A CR is held back until the next byte shows whether
// it is the first half of a CR LF pair; that byte may come in the next chunk.
class line_splitter {
 public:
  void feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = data[i];
      if (cr_pending_) {
        cr_pending_ = false;
        if (c != '\n')
          current_ += '\r';
      }
      if (c == '\r')
        cr_pending_ = true;
      else if (c == '\n')
        end_line();
      else
        current_ += c;
    }
  }

  std::vector<std::string> finish() {
    if (cr_pending_)
      current_ += '\r';
    cr_pending_ = false;
    end_line();
    return std::move(lines_);
  }

 private:
  void end_line() {
    if (!current_.empty())
      lines_.push_back(std::move(current_));
    // cppcheck-suppress accessMoved ; clear() is what gives a moved-from string a known state
    current_.clear();
  }

  std::vector<std::string> lines_;
  std::string current_;
  bool cr_pending_ = false;
};

struct file_closer {
  // The file was only read: a failure to close it loses nothing.
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

}  // namespace

argument_lines read_argument_lines(const char* path) {
  argument_lines result;
  // Binary mode: the translation below is the same on every platform. The C runtime's fopen
  // opens without denying other processes access.
  std::unique_ptr<std::FILE, file_closer> file(std::fopen(path, "rb"));
  if (!file) {
    result.error = pt::last_c_file_error();
    return result;
  }
  // Reads go straight into our chunk buffer (a buffered stream, should this fail, reads the same).
  (void)std::setvbuf(file.get(), nullptr, _IONBF, 0);

  // Not cleared: a short file touches one page of it, not all sixteen.
  auto chunk = std::make_unique_for_overwrite<char[]>(read_chunk_size);
  line_splitter splitter;
  for (;;) {
    const std::size_t got = std::fread(chunk.get(), 1, read_chunk_size, file.get());
    const std::uint32_t read_error = pt::last_c_file_error();  // used only if ferror says so
    const void* end_mark = std::memchr(chunk.get(), end_of_data, got);
    if (end_mark != nullptr) {
      splitter.feed(chunk.get(), static_cast<const char*>(end_mark) - chunk.get());
      break;
    }
    splitter.feed(chunk.get(), got);
    if (got < read_chunk_size) {
      // A failed read would leave a partial argument list: report the file as unreadable.
      if (std::ferror(file.get())) {
        result.error = read_error;
        return result;
      }
      break;
    }
  }
  result.opened = true;
  result.lines = splitter.finish();
  return result;
}

}  // namespace cmdwrap
