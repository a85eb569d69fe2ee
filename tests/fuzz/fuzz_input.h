// The fuzzers' view of their input: a stream of small decisions (bytes, integers, lengths)
// taken from the front, so that the seed files read roughly as the programs they encode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace pt::fuzz {

// Reads from a buffer the caller keeps alive. Past the end every read gives zeros (or fewer
// bytes), so any input is a complete program. Nothing is thrown.
class fuzz_input {
 public:
  fuzz_input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool at_end() const { return position_ >= size_; }

  std::uint8_t byte() { return at_end() ? 0 : data_[position_++]; }

  // The next sizeof(T) bytes, least significant first.
  template <class T>
  T integer() {
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
      bits |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return static_cast<T>(bits);
  }

  // Up to count of the next bytes (fewer at the end of the input).
  std::string_view bytes(std::size_t count) {
    const std::size_t available = at_end() ? 0 : size_ - position_;
    const std::size_t taken = count < available ? count : available;
    std::string_view result(reinterpret_cast<const char*>(data_) + position_, taken);
    position_ += taken;
    return result;
  }

  // Exactly count bytes: the input's, then a fixed pattern when the input runs out, so that a
  // short input can still ask for a long text.
  std::string padded_bytes(std::size_t count) {
    std::string result(bytes(count));
    while (result.size() < count)
      result += static_cast<char>('a' + result.size() % 26);
    return result;
  }

  std::string_view rest() { return bytes(size_); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Reports a broken property and aborts, which libFuzzer records as a crash with the input.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline void check(bool holds, const char* what) {
  if (!holds)
    fail(what);
}

}  // namespace pt::fuzz
