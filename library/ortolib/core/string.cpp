// Shared string blocks: allocation with the growth rule, copy-on-write and concatenation.
#include "ortolib/core/string.h"

#include <cstddef>
#include <cstring>

#include "ortolib/core/atomic.h"
#include "ortolib/core/fatal.h"
#include "ortolib/core/memory.h"

namespace pt {

static_assert(sizeof(string) == sizeof(char*), "a string is one pointer");
static_assert(offsetof(empty_block, nul) == sizeof(string_header),
              "the characters follow the header directly");

empty_block shared_empty = {{0, 0}, '\0'};

namespace {

char* empty_chars() { return &shared_empty.nul; }

string_header* header_of(char* chars) { return reinterpret_cast<string_header*>(chars) - 1; }

[[noreturn]] void string_overflow() { fatal_error(fatal::string_overflow); }

// The length of a zero-terminated text (0 for null); a text too long for a string is fatal.
std::int32_t text_length(const char* text) {
  return text == nullptr ? 0 : string_length_of(std::strlen(text));
}

// The sum of two lengths, or a negative value when it does not fit: alloc_chars and
// resize_unique report that as "String overflow".
std::int32_t length_sum(std::int32_t a, std::int32_t b) {
  std::int64_t sum = static_cast<std::int64_t>(a) + b;
  return sum > INT32_MAX ? -1 : static_cast<std::int32_t>(sum);
}

// True when bytes point into the first length characters of chars.
bool points_into(const char* bytes, const char* chars, std::int32_t length) {
  auto address = reinterpret_cast<std::uintptr_t>(bytes);
  auto first = reinterpret_cast<std::uintptr_t>(chars);
  return address >= first && address < first + static_cast<std::uintptr_t>(length);
}

}  // namespace

std::int32_t string_length_of(std::size_t count) {
  if (count > static_cast<std::size_t>(max_string_length))
    string_overflow();
  return static_cast<std::int32_t>(count);
}

std::int32_t block_size_for(std::int32_t size) {
  if (size <= 16)
    return 16;
  if (size <= 32)
    return 32;
  if (size <= 2048)
    return (size + 63) & ~63;
  return (size + 4095) & ~4095;
}

// ---------------------------------------------------------------- blocks

void string::alloc_chars(std::int32_t n) {
  if (n <= 0 || n > max_string_length)
    string_overflow();
  auto* block =
      static_cast<string_header*>(mem_alloc(static_cast<std::uint32_t>(block_size_for(n + 9))));
  block->refcount = 1;
  block->length = n;
  chars = reinterpret_cast<char*>(block + 1);
  chars[n] = '\0';
}

void string::resize_unique(std::int32_t n) {
  std::int32_t old_length = length();
  if (n <= 0 || old_length <= 0 || n > max_string_length)
    string_overflow();
  std::int32_t new_size = block_size_for(n + 9);
  if (new_size != block_size_for(old_length + 9)) {
    void* block = mem_realloc(header(), static_cast<std::uint32_t>(new_size));
    chars = reinterpret_cast<char*>(static_cast<string_header*>(block) + 1);
  }
  header()->length = n;
  chars[n] = '\0';
}

void string::release_block(char* chars) {
  string_header* block = header_of(chars);
  // Blocks of length 0 are the shared empty block, which is never counted down.
  if (block->length != 0 && atomic_decrement(&block->refcount) == 0)
    mem_free(block);
}

std::int32_t string::refcount() const { return atomic_read(&header()->refcount); }

bool string::is_shared() const { return atomic_read(&header()->refcount) >= 2; }

// ---------------------------------------------------------- construction

void string::init_copy(const string& other) {
  chars = other.chars;
  atomic_increment(&header()->refcount);
}

void string::init_from_buffer(const char* bytes, std::int32_t length) {
  if (length > 0 && bytes != nullptr) {
    alloc_chars(length);
    std::memcpy(chars, bytes, static_cast<std::size_t>(length));
  } else {
    chars = empty_chars();
  }
}

void string::init_from_text(const char* text) { init_from_buffer(text, text_length(text)); }

void string::init_from_char(char ch) {
  alloc_chars(1);
  chars[0] = ch;
}

void string::init_concat(const char* a, std::int32_t la, const char* b, std::int32_t lb) {
  if (la <= 0) {
    init_from_buffer(b, lb);
  } else if (lb <= 0) {
    init_from_buffer(a, la);
  } else {
    alloc_chars(length_sum(la, lb));
    std::memcpy(chars, a, static_cast<std::size_t>(la));
    std::memcpy(chars + la, b, static_cast<std::size_t>(lb));
  }
}

string::string() noexcept : chars(empty_chars()) {}
string::string(const string& other) noexcept { init_copy(other); }
string::string(string&& other) noexcept : chars(other.chars) { other.chars = empty_chars(); }
string::string(const char* text) { init_from_text(text); }
string::string(const char* bytes, std::int32_t length) { init_from_buffer(bytes, length); }
string::string(char ch) { init_from_char(ch); }
string::string(std::string_view bytes) {
  if (bytes.size() > static_cast<std::size_t>(max_string_length))
    string_overflow();
  init_from_buffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}
string::~string() { clear(); }

// ------------------------------------------------------------ assignment

void string::clear() {
  if (length() != 0) {
    release_block(chars);
    chars = empty_chars();
  }
}

void string::assign(const string& other) {
  if (chars == other.chars)
    return;
  // The new reference is taken before the old one is dropped, so other cannot vanish in between
  // even if its only other holder lets go at the same time.
  char* previous = chars;
  init_copy(other);
  release_block(previous);
}

void string::assign(const char* bytes, std::int32_t n) {
  std::int32_t old_length = length();
  if (old_length != 0 && n > 0 && bytes != nullptr && !is_shared() &&
      !points_into(bytes, chars, old_length)) {
    resize_unique(n);
    std::memmove(chars, bytes, static_cast<std::size_t>(n));
    return;
  }
  // The new block is built before the old reference is dropped, so bytes taken from this
  // string's own characters are still there to be copied.
  char* previous = chars;
  init_from_buffer(bytes, n);
  release_block(previous);
}

void string::assign(const char* text) { assign(text, text_length(text)); }

// NOLINTNEXTLINE(bugprone-unhandled-self-assignment,cert-oop54-cpp): assign skips its own block
string& string::operator=(const string& other) {
  assign(other);
  return *this;
}

string& string::operator=(string&& other) noexcept {
  if (this != &other) {
    char* previous = chars;
    chars = other.chars;
    other.chars = empty_chars();
    release_block(previous);
  }
  return *this;
}

string& string::operator=(const char* text) {
  assign(text);
  return *this;
}

// -------------------------------------------------------- in-place change

char* string::set_length(std::int32_t n) {
  std::int32_t old_length = length();
  if (n < 0)
    return nullptr;
  if (n == 0) {
    clear();
  } else if (old_length == 0) {
    alloc_chars(n);
  } else if (n == old_length) {
    make_unique();
  } else if (is_shared()) {
    char* previous = chars;
    alloc_chars(n);
    std::memcpy(chars, previous, static_cast<std::size_t>(n < old_length ? n : old_length));
    release_block(previous);
  } else {
    resize_unique(n);
  }
  return chars;
}

char* string::make_unique() {
  if (length() != 0 && is_shared()) {
    char* previous = chars;
    alloc_chars(header_of(previous)->length);
    std::memcpy(chars, previous, static_cast<std::size_t>(length()));
    release_block(previous);
  }
  return chars;
}

void string::append(const char* bytes, std::int32_t n) {
  std::int32_t old_length = length();
  if (old_length == 0) {
    assign(bytes, n);
    return;
  }
  if (n <= 0 || bytes == nullptr)
    return;
  std::int32_t new_length = length_sum(old_length, n);
  if (new_length < 0 || new_length > max_string_length)
    string_overflow();
  // Bytes from this string's own characters are found again at the same offset after
  // set_length, which keeps the old characters but may move them.
  bool inside = points_into(bytes, chars, old_length);
  std::ptrdiff_t offset = inside ? bytes - chars : 0;
  char* target = set_length(new_length);
  std::memmove(target + old_length, inside ? target + offset : bytes, static_cast<std::size_t>(n));
}

void string::append(const char* text) { append(text, text_length(text)); }

void string::append(const string& other) {
  if (length() == 0)
    assign(other);
  else
    append(other.chars, other.length());
}

// --------------------------------------------------------- concatenation

string concat(const string& left, const string& right) {
  if (left.length() == 0)
    return right;
  if (right.length() == 0)
    return left;
  string result;
  result.init_concat(left.chars, left.length(), right.chars, right.length());
  return result;
}

string concat(const string& left, const char* text) {
  string result;
  if (left.length() == 0)
    result.init_from_text(text);
  else
    result.init_concat(left.chars, left.length(), text, text_length(text));
  return result;
}

string concat(const char* text, const string& right) {
  string result;
  if (right.length() == 0)
    result.init_from_text(text);
  else
    result.init_concat(text, text_length(text), right.chars, right.length());
  return result;
}

string concat(const string& left, char ch) {
  string result;
  if (left.length() == 0)
    result.init_from_char(ch);
  else
    result.init_concat(left.chars, left.length(), &ch, 1);
  return result;
}

string concat(char ch, const string& right) {
  string result;
  if (right.length() == 0)
    result.init_from_char(ch);
  else
    result.init_concat(&ch, 1, right.chars, right.length());
  return result;
}

// ------------------------------------------------------------ comparison

namespace {

std::string_view view_of_text(const char* text) {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

// memcmp orders bytes as unsigned values; a common prefix puts the shorter first.
std::strong_ordering compare_bytes(std::string_view left, std::string_view right) noexcept {
  std::size_t common = left.size() < right.size() ? left.size() : right.size();
  int order = common == 0 ? 0 : std::memcmp(left.data(), right.data(), common);
  if (order != 0)
    return order < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
  return left.size() <=> right.size();
}

bool equal_bytes(std::string_view left, std::string_view right) noexcept {
  return left.size() == right.size() &&
         (left.empty() || std::memcmp(left.data(), right.data(), left.size()) == 0);
}

}  // namespace

bool operator==(const string& left, const string& right) noexcept {
  // Values that share a block are equal without looking at the bytes.
  return left.chars == right.chars || equal_bytes(left, right);
}

bool operator==(const string& left, std::string_view right) noexcept {
  return equal_bytes(left, right);
}

bool operator==(const string& left, const char* right) noexcept {
  return equal_bytes(left, view_of_text(right));
}

std::strong_ordering operator<=>(const string& left, const string& right) noexcept {
  return compare_bytes(left, right);
}

std::strong_ordering operator<=>(const string& left, std::string_view right) noexcept {
  return compare_bytes(left, right);
}

std::strong_ordering operator<=>(const string& left, const char* right) noexcept {
  return compare_bytes(left, view_of_text(right));
}

// ---------------------------------------------------------------- search

std::int32_t find_char(char ch, const string& s) {
  const char* text = s.text();
  for (std::int32_t i = 0;; ++i) {
    if (text[i] == ch)
      return i;
    if (text[i] == '\0')
      return -1;
  }
}

}  // namespace pt
