// The argument file reader: binary reads with the text-mode translation done here, in chunks,
// bounded by the room of the child's command line and by the size of the file.
#include "argument_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "ortolib/platform/files.h"

namespace cmdwrap {
namespace {

constexpr std::size_t read_chunk_size = std::size_t{64} * 1024;
constexpr char end_of_data = 0x1A;

// Collects lines from translated bytes. A CR is held back until the next byte shows whether
// it is the first half of a CR LF pair; that byte may come in the next chunk. Each line is
// counted into the room of the child's command line as it ends, and the line still being read
// after each chunk: once the arguments no longer fit, the splitter overflows and takes no more.
class line_splitter {
 public:
  explicit line_splitter(pt::platform::command_line_room& room) : room_(room) {}

  void feed(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !overflowed_; ++i) {
      const char c = data[i];
      if (cr_pending_) {
        cr_pending_ = false;
        if (c != '\n')
          add('\r');
      }
      if (c == '\r')
        cr_pending_ = true;
      else if (c == '\n')
        end_line();
      else
        add(c);
    }
    // The line read so far is a lower bound of its argument: what cannot take it ends reading.
    if (!overflowed_ && !room_.could_take(visible_length()))
      overflowed_ = true;
  }

  std::vector<std::string> finish() {
    if (cr_pending_)
      add('\r');
    cr_pending_ = false;
    end_line();
    return std::move(lines_);
  }

  bool overflowed() const { return overflowed_; }

 private:
  void add(char c) {
    if (c == '\0' && nul_at_ == std::string::npos)
      nul_at_ = current_.size();
    current_ += c;
  }

  // The part of the line that reaches the child: up to its first NUL.
  std::size_t visible_length() const {
    return nul_at_ == std::string::npos ? current_.size() : nul_at_;
  }

  void end_line() {
    if (!current_.empty()) {
      if (!room_.add_argument(current_))
        overflowed_ = true;
      lines_.push_back(std::move(current_));
    }
    // cppcheck-suppress accessMoved ; clear() is what gives a moved-from string a known state
    current_.clear();
    nul_at_ = std::string::npos;
  }

  pt::platform::command_line_room& room_;
  std::vector<std::string> lines_;
  std::string current_;
  std::size_t nul_at_ = std::string::npos;  // where the first NUL of current_ stands
  bool cr_pending_ = false;
  bool overflowed_ = false;
};

struct file_closer {
  // The file was only read: a failure to close it loses nothing.
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

}  // namespace

argument_lines read_argument_lines(const char* path, pt::platform::command_line_room& room,
                                   std::uint64_t byte_bound) {
  argument_lines result;
  // Binary mode: the translation below is the same on every platform. The C runtime's fopen
  // opens without denying other processes access; no child inherits the file.
  std::unique_ptr<std::FILE, file_closer> file(pt::c_file_open(path, "rb"));
  if (!file) {
    result.error = pt::last_c_file_error();
    return result;
  }
  // Reads go straight into our chunk buffer (a buffered stream, should this fail, reads the same).
  (void)std::setvbuf(file.get(), nullptr, _IONBF, 0);

  // Not cleared: a short file touches one page of it, not all sixteen.
  auto chunk = std::make_unique_for_overwrite<char[]>(read_chunk_size);
  line_splitter splitter(room);
  std::uint64_t total = 0;
  for (;;) {
    // One byte past the bound is read, if there is one: it shows a file longer than the bound.
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(read_chunk_size, byte_bound + 1 - total));
    const std::size_t got = std::fread(chunk.get(), 1, wanted, file.get());
    const std::uint32_t read_error = pt::last_c_file_error();  // used only if ferror says so
    const void* end_mark = std::memchr(chunk.get(), end_of_data, got);
    if (end_mark != nullptr) {
      splitter.feed(chunk.get(),
                    static_cast<std::size_t>(static_cast<const char*>(end_mark) - chunk.get()));
      break;
    }
    total += got;
    if (total > byte_bound) {
      result.opened = result.too_long = true;
      return result;
    }
    splitter.feed(chunk.get(), got);
    if (splitter.overflowed())
      break;
    if (got < wanted) {
      // A failed read would leave a partial argument list: report the file as unreadable.
      if (std::ferror(file.get())) {
        result.error = read_error;
        return result;
      }
      break;
    }
  }
  result.opened = true;
  std::vector<std::string> lines = splitter.finish();
  if (splitter.overflowed())
    result.too_long = true;
  else
    result.lines = std::move(lines);
  return result;
}

}  // namespace cmdwrap
