// The argument-file reader against a plain model of the text-mode rules: the input is written
// to a file, read back with read_argument_lines, and the lines must be the model's. An input
// with a byte-order mark is text: the model takes what one decode of the whole file gives, so
// that the reader's decoding in chunks must come to the same.
#include "argument_file.h"
#include "argument_text.h"

#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using pt::fuzz::check;

// The reader works in chunks of this size; padding in front of the input moves its bytes across
// the boundary, where a CR and its LF arrive in different reads.
constexpr std::size_t reader_chunk_size = 64 * 1024;

// One file per process, rewritten for every input and removed at exit.
class scratch_path {
 public:
  // A random name, so that fuzzers running side by side write files of their own, of 16 hex
  // digits whatever the number: a name that took another path through the code would change
  // what the fuzzer sees as coverage, and a fixed seed would no longer give the same runs.
  scratch_path() {
    std::random_device random;
    const std::uint64_t bits = random() ^ std::uint64_t{random()} << 32;
    std::string name = "orto-argument-file-fuzz-";
    for (int shift = 60; shift >= 0; shift -= 4)
      name += "0123456789abcdef"[bits >> shift & 15];
    path_ = (std::filesystem::temp_directory_path() / (name + ".txt")).string();
  }
  ~scratch_path() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const char* c_str() const { return path_.c_str(); }

 private:
  std::string path_;
};

void write_file(const char* path, std::string_view bytes) {
  std::FILE* file = std::fopen(path, "wb");
  check(file != nullptr, "the scratch file opens for writing");
  check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(),
        "the scratch file is written whole");
  check(std::fclose(file) == 0, "the scratch file closes");
}

// The rules step by step: 0x1A ends the data, CR LF becomes LF (a lone CR stays), split at LF,
// drop empty lines. Written with searches rather than a loop per byte, which keeps the
// instrumented model cheap next to the padded inputs.
std::vector<std::string> model_lines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string text;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t pair = std::min(bytes.find("\r\n", start), bytes.size());
    text.append(bytes.substr(start, pair - start));
    start = pair;
    if (pair < bytes.size()) {
      text += '\n';
      start += 2;
    }
  }
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (end > start)
      lines.emplace_back(text, start, end - start);
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const scratch_path path;
  pt::fuzz::fuzz_input input(data, size);

  // The first byte chooses the padding: an odd byte b puts the rest of the input b / 2 bytes
  // before the end of the reader's first chunk; an even byte adds none.
  const std::uint8_t layout = input.byte();
  std::string content;
  if (layout % 2 != 0)
    content.assign(reader_chunk_size - layout / 2, 'p');
  content += input.rest();

  write_file(path.c_str(), content);
  pt::command_line_room room("child");
  const cmdwrap::argument_lines read = cmdwrap::read_argument_lines(path.c_str(), room);

  cmdwrap::argument_text_decoder whole;
  const bool decoded = whole.decode(content);
  const std::string text(whole.text());
  if (!decoded || !whole.finish()) {
    check(!read.opened && read.undecodable == whole.failure(),
          "a marked file that does not decode is refused, with the reason");
    return 0;
  }
  check(read.opened, "a readable file is reported as opened");
  check(read.encoding == whole.encoding(), "the lines are in the file's encoding");
  check(!read.too_long, "an input this short fits a command line");
  check(read.lines == model_lines(text), "the lines are the model's");
  return 0;
}
