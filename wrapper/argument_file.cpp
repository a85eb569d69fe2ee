// The argument file reader: binary reads, decoded when the file is marked, with the text-mode
// translation done here, in chunks, bounded by the room of the child's command line and by the
// size of the file.
#include "argument_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>

#include "argument_text.h"
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
  explicit line_splitter(pt::command_line_room& room) : room_(room) {}

  // The encoding of the lines, in which the room counts them.
  void count_as(pt::text_encoding encoding) { encoding_ = encoding; }

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
    // Nothing read since the last line end may still turn out to be no line at all (line
    // ends, or the end of the data, may follow), so it takes no room yet.
    if (!overflowed_ && !current_.empty() && !room_.could_take(visible_length(), encoding_))
      overflowed_ = true;
  }

  std::vector<std::string> finish() {
    if (cr_pending_)
      add('\r');
    cr_pending_ = false;
    end_line();
    return std::move(lines_);
  }

  // The number of each line that finish gives, in the file.
  std::vector<std::uint32_t> line_numbers() { return std::move(line_numbers_); }

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
      if (!room_.add_argument(current_, encoding_))
        overflowed_ = true;
      lines_.push_back(std::move(current_));
      line_numbers_.push_back(line_number_);
    }
    ++line_number_;
    // cppcheck-suppress accessMoved ; clear() is what gives a moved-from string a known state
    current_.clear();
    nul_at_ = std::string::npos;
  }

  pt::command_line_room& room_;
  pt::text_encoding encoding_ = pt::text_encoding::ansi;
  std::vector<std::string> lines_;
  std::vector<std::uint32_t> line_numbers_;
  std::uint32_t line_number_ = 1;  // of current_: LF ends a line, as it does in an editor
  std::string current_;
  std::size_t nul_at_ = std::string::npos;  // where the first NUL of current_ stands
  bool cr_pending_ = false;
  bool overflowed_ = false;
};

struct file_closer {
  // The file was only read: a failure to close it loses nothing.
  void operator()(std::FILE* file) const { (void)std::fclose(file); }
};

enum class read_outcome { done, too_long, read_failed, undecodable };

// Reads the file to its end of data through the decoder into the splitter, in chunks, until a
// bound or a failure stops it. error gets the OS error of a failed read.
read_outcome read_text(std::FILE* file, std::uint64_t byte_bound, argument_text_decoder& decoder,
                       line_splitter& splitter, std::uint32_t& error) {
  // Not cleared: a short file touches one page of it, not all sixteen.
  auto chunk = std::make_unique_for_overwrite<char[]>(read_chunk_size);
  std::uint64_t total = 0;
  // The bytes read at most: the mark, byte_bound bytes of text and one unit more (a byte, or a
  // UTF-16 unit), which shows a text longer than the bound unless it is the end of data. The
  // first read shows the mark: it takes at least the longest one, or the whole file.
  std::uint64_t limit = std::max<std::uint64_t>(byte_bound + 1, decoder.longest_mark);
  for (;;) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(read_chunk_size, limit - total));
    std::size_t got = std::fread(chunk.get(), 1, wanted, file);
    error = pt::last_c_file_error();  // used only if ferror says so
    if (!decoder.decode(std::string_view(chunk.get(), got)))
      return read_outcome::undecodable;
    splitter.count_as(decoder.encoding());
    std::string_view text = decoder.text();
    if (total == 0) {
      limit = decoder.mark_size() + byte_bound + decoder.unit_size();
      // Only a plain file's first read can pass its limit (a bound below the longest mark); its
      // text is its bytes.
      if (got > limit) {
        got = static_cast<std::size_t>(limit);
        text = text.substr(0, got);
      }
    }
    if (const std::size_t end = text.find(end_of_data); end != std::string_view::npos) {
      splitter.feed(text.data(), end);
      return read_outcome::done;
    }
    total += got;
    if (total >= limit)
      return read_outcome::too_long;
    splitter.feed(text.data(), text.size());
    if (splitter.overflowed())
      return read_outcome::done;
    if (got < wanted) {
      // A failed read would leave a partial argument list: report the file as unreadable.
      if (std::ferror(file))
        return read_outcome::read_failed;
      return decoder.finish() ? read_outcome::done : read_outcome::undecodable;
    }
  }
}

}  // namespace

argument_lines read_argument_lines(const char* path, pt::command_line_room& room,
                                   std::uint64_t byte_bound, pt::text_encoding path_encoding) {
  argument_lines result;
  // Binary mode: the translation below is the same on every platform. The C runtime's fopen
  // opens without denying other processes access; no child inherits the file.
  std::unique_ptr<std::FILE, file_closer> file(pt::c_file_open(path, "rb", path_encoding));
  if (!file) {
    result.error = pt::last_c_file_error();
    return result;
  }
  // Reads go straight into our chunk buffer (a buffered stream, should this fail, reads the same).
  (void)std::setvbuf(file.get(), nullptr, _IONBF, 0);

  argument_text_decoder decoder;
  line_splitter splitter(room);
  std::uint32_t error = 0;
  switch (read_text(file.get(), byte_bound, decoder, splitter, error)) {
    case read_outcome::read_failed: result.error = error; return result;
    case read_outcome::undecodable: result.undecodable = decoder.failure(); return result;
    case read_outcome::too_long: result.opened = result.too_long = true; return result;
    case read_outcome::done: break;
  }
  result.opened = true;
  result.encoding = decoder.encoding();
  std::vector<std::string> lines = splitter.finish();
  if (splitter.overflowed()) {
    result.too_long = true;
  } else {
    result.lines = std::move(lines);
    result.line_numbers = splitter.line_numbers();
  }
  return result;
}

}  // namespace cmdwrap
