// The library's text and byte-buffer type: one pointer to the characters of a shared,
// reference-counted heap block, copied on write. Lengths that do not fit are fatal
// ("String overflow", 0xC0015); exhausted memory is fatal 0xC0005.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ortolib/config.h"
#include "ortolib/core/globals_order.h"

namespace pt {

// The 8 bytes in front of a string's characters.
struct string_header {
  std::int32_t refcount;  // string values sharing the block; changed only atomically
  std::int32_t length;    // characters, not counting the NUL that always follows them
};

// The static block every empty string points at: count 0, length 0, a NUL. Its count grows
// with each copy of an empty string and is never dropped; it is never freed.
struct empty_block {
  string_header header;
  char nul;
};
extern empty_block shared_empty;

// The longest string: its block size, length + 9 rounded up to 4096, must stay a positive
// signed 32-bit number.
inline constexpr std::int32_t max_string_length = INT32_MAX - 9 - 4095;

// A byte count as a string length. A count beyond max_string_length is "String overflow", as
// for any string that would grow that long: a length is never cut to 32 bits.
std::int32_t string_length_of(std::size_t count);

// The allocated size of a block of size bytes: 16, 32, a multiple of 64 up to 2048, then a
// multiple of 4096. A block holds n characters in block_size_for(n + 9) bytes, and is
// reallocated only when that size changes. size must be at most max_string_length + 9.
std::int32_t block_size_for(std::int32_t size);

// Holds any bytes, NUL included, and keeps a NUL after the last one, so text() can be given to
// anything that expects a zero-terminated text. Copies share the block; every change first makes
// the block private to this value. Values sharing a block may be copied, read and destroyed
// from different threads at once; one value must not be changed from two threads at once.
// It owns its characters as std::string does: clang warns (-Wdangling-gsl) about a
// std::string_view of a temporary string.
class ORTO_OWNER(char) string {
 public:
  string() noexcept;                               // the empty string
  string(const string& other) noexcept;            // shares other's block
  string(string&& other) noexcept;                 // takes other's block; other becomes empty
  string(const char* text);                        // a copy of a zero-terminated text (null: empty)
  string(const char* bytes, std::int32_t length);  // a copy of length bytes (none: empty)
  explicit string(char ch);                        // one character, NUL included
  // A copy of the view's bytes, NUL included; a view longer than max_string_length is fatal
  // "String overflow". Implicit, as the constructor from a C text is.
  string(std::string_view bytes);
  // A copy of every byte of a std::string, as from its view. Explicit: a std::string is not
  // turned into a pt::string (an allocation and a copy) without a word.
  explicit string(const std::string& bytes) : string(std::string_view(bytes)) {}
  ~string();  // clear

  string& operator=(const string& other);
  string& operator=(string&& other) noexcept;
  string& operator=(const char* text);
  string& operator+=(const string& other) {
    append(other);
    return *this;
  }
  string& operator+=(const char* text) {
    append(text);
    return *this;
  }
  string& operator+=(char ch) {
    append(&ch, 1);
    return *this;
  }

  // Queries: no change, no allocation.
  std::int32_t length() const { return header()->length; }
  bool is_empty() const { return length() == 0; }
  // The zero-terminated characters; valid until this value is next changed or destroyed.
  const char* text() const { return chars; }
  char operator[](std::int32_t index) const { return chars[index]; }

  // The same under the standard library's names, for generic code: size() is length() as an
  // unsigned count, data() and c_str() are text().
  std::size_t size() const noexcept { return static_cast<std::size_t>(length()); }
  bool empty() const noexcept { return is_empty(); }
  const char* data() const noexcept { return chars; }
  const char* c_str() const noexcept { return chars; }

  // How many values share the block (0 for the shared empty block and its many users).
  std::int32_t refcount() const;

  // Every byte, NUL included, for the standard library: a view, and the range of a range-for
  // or an algorithm. Read-only (a write must first make the block private); valid as text() is.
  operator std::string_view() const noexcept { return {chars, static_cast<std::size_t>(length())}; }
  const char* begin() const noexcept { return chars; }
  const char* end() const noexcept { return chars + length(); }

  // Comparisons of the bytes, NUL included: equal when lengths and bytes are; ordered byte by
  // byte as unsigned values (as memcmp orders), a string before every longer one it begins.
  // A null C text compares as the empty string.
  friend bool operator==(const string& left, const string& right) noexcept;
  friend bool operator==(const string& left, std::string_view right) noexcept;
  friend bool operator==(const string& left, const char* right) noexcept;
  friend std::strong_ordering operator<=>(const string& left, const string& right) noexcept;
  friend std::strong_ordering operator<=>(const string& left, std::string_view right) noexcept;
  friend std::strong_ordering operator<=>(const string& left, const char* right) noexcept;

  // Shares other's block (nothing happens when this value already holds it).
  void assign(const string& other);
  // Makes the content length copied bytes (length <= 0 or null bytes: empty). A block only this
  // value holds is resized in place; the bytes may lie inside it.
  void assign(const char* bytes, std::int32_t length);
  void assign(const char* text);

  // Appends length bytes; an empty string takes them as assign does. The bytes may be this
  // string's own (appending text() to itself doubles it). An overflowing sum is fatal.
  void append(const char* bytes, std::int32_t length);
  void append(const char* text);
  // An empty string shares other's block; otherwise other's characters are appended.
  void append(const string& other);

  // Makes the length n and returns the writable characters: the first min(old, n) keep their
  // values, the rest are undefined until written, a NUL follows. n < 0 changes nothing and
  // returns null; n = 0 empties the string (the result points at the shared NUL, not writable).
  char* set_length(std::int32_t n);
  // Gives this value a block of its own (copying a shared one) and returns its writable
  // characters; for the empty string the shared NUL, which must not be written.
  char* make_unique();
  // Drops this value's reference (freeing the block with the last one) and makes it empty.
  void clear();

  // Concatenation: each returns a new value; the operands do not change. An empty operand
  // makes the result share the other operand's block.
  friend string concat(const string& left, const string& right);
  friend string concat(const string& left, const char* text);
  friend string concat(const char* text, const string& right);
  friend string concat(const string& left, char ch);
  friend string concat(char ch, const string& right);

 private:
  char* chars;  // the characters of a heap block, or shared_empty's NUL

  string_header* header() const { return reinterpret_cast<string_header*>(chars) - 1; }
  bool is_shared() const;

  void init_copy(const string& other);
  void init_from_buffer(const char* bytes, std::int32_t length);
  void init_from_text(const char* text);
  void init_from_char(char ch);
  void init_concat(const char* a, std::int32_t la, const char* b, std::int32_t lb);
  // A new private block of n characters (undefined) with its NUL; n <= 0 or beyond the limit is
  // "String overflow".
  void alloc_chars(std::int32_t n);
  // Resizes the private, non-empty block to n characters.
  void resize_unique(std::int32_t n);
  // Drops the reference to a block without touching this value's pointer.
  static void release_block(char* chars);
};

inline string operator+(const string& left, const string& right) { return concat(left, right); }
inline string operator+(const string& left, const char* text) { return concat(left, text); }
inline string operator+(const char* text, const string& right) { return concat(text, right); }
inline string operator+(const string& left, char ch) { return concat(left, ch); }
inline string operator+(char ch, const string& right) { return concat(ch, right); }

// Index of the first byte equal to ch in the zero-terminated text (so the search stops at an
// embedded NUL), or -1. Searching for NUL gives the index of the first NUL.
std::int32_t find_char(char ch, const string& s);

// The global empty string, built at start-up and cleared at program end.
extern string& empty_string;

}  // namespace pt

// Strings as keys of unordered containers: the hash of every byte, NUL included, the same as
// for a std::string_view of them, so it agrees with ==.
template <>
struct std::hash<pt::string> {
  std::size_t operator()(const pt::string& value) const noexcept {
    return std::hash<std::string_view>{}(std::string_view(value));
  }
};
