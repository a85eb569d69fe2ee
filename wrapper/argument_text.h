// The text of an argument file. A file without a byte-order mark is bytes, taken as they are
// (the ANSI code page's on Windows). A file that begins with one is text of that encoding, as
// Windows programs write it (UTF-8 with a mark, or UTF-16, what PowerShell writes by default):
// no caller can mean those bytes as arguments, so they are decoded to UTF-8 and the mark is
// dropped. The text-mode rules then apply to the characters alike: no character but a line
// end, U+001A or U+0000 is made of the bytes those rules look for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ortolib/platform/text_encoding.h"

namespace cmdwrap {

class argument_text_decoder {
 public:
  // The most bytes the form of a file is decided by: those of a UTF-32 mark.
  static constexpr std::size_t longest_mark = 4;

  // Decodes the next bytes of the file into text(). The first call decides the form by the
  // mark: it must hold the file's first four bytes (longest_mark), or all of the file if it is
  // shorter. A UTF-32 mark (FF FE 00 00, 00 00 FE FF) is refused.
  // A marked file's decoding stops after U+001A, which ends the data: what follows it is never
  // looked at. (A plain file's bytes pass whole; the reader looks for 0x1A in every text.)
  // False when the bytes hold no valid text of the form (failure() says why, text() is empty).
  bool decode(std::string_view bytes);

  // The end of the file: false when it cuts a character short.
  bool finish();

  // The text of the last decode: the bytes themselves for a plain file, UTF-8 for a marked
  // one (a character may be split between two calls). Valid until the next call, and as long
  // as the bytes given to it.
  std::string_view text() const { return text_; }

  // What the lines are: ANSI bytes for a plain file, UTF-8 for a marked one.
  pt::text_encoding encoding() const {
    return form_ == form::plain ? pt::text_encoding::ansi : pt::text_encoding::utf8;
  }
  const std::string& failure() const { return failure_; }

  // Once the form is decided: the bytes of the mark (none for a plain file), and of one unit of
  // the text (two for UTF-16, one byte otherwise).
  std::size_t mark_size() const { return mark_size_; }
  std::size_t unit_size() const {
    return form_ == form::utf16_le || form_ == form::utf16_be ? 2 : 1;
  }

 private:
  enum class form { plain, utf8, utf16_le, utf16_be };

  bool detect(std::string_view& bytes);
  bool decode_utf8(std::string_view bytes);
  bool decode_utf16(std::string_view bytes);
  bool fail(const char* what, std::uint64_t at);
  void put(char32_t character);

  bool started_ = false;
  bool ended_ = false;  // U+001A was decoded
  form form_ = form::plain;
  std::string_view text_;
  std::string decoded_;  // the text of a UTF-16 file
  std::string failure_;
  std::uint64_t offset_ = 0;  // of the next byte in the file
  std::size_t mark_size_ = 0;
  // Carried from one call to the next: the first byte of a UTF-16 unit, a high surrogate that
  // waits for its partner, the bytes of a UTF-8 character still to come and the bounds of the
  // next one.
  int odd_byte_ = -1;
  char16_t high_surrogate_ = 0;
  std::uint64_t pending_at_ = 0;  // where the pending surrogate or UTF-8 character began
  int utf8_missing_ = 0;
  unsigned char utf8_lowest_ = 0x80;
  unsigned char utf8_highest_ = 0xBF;
};

}  // namespace cmdwrap
