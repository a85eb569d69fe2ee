// Decoding an argument file: the byte-order mark, UTF-8 checked as it passes, UTF-16 of either
// byte order turned into UTF-8, each stopping at U+001A.
#include "argument_text.h"

#include <utility>

namespace cmdwrap {
namespace {

constexpr char end_of_data = 0x1A;

constexpr std::string_view utf8_mark = "\xEF\xBB\xBF";
constexpr std::string_view utf16_le_mark = "\xFF\xFE";
constexpr std::string_view utf16_be_mark = "\xFE\xFF";
// UTF-32 is not read. Its LE mark begins with the UTF-16 LE one, and no UTF-16 text begins with
// U+0000, so a file that begins so is refused rather than read as UTF-16 cut at every NUL.
constexpr std::string_view utf32_le_mark("\xFF\xFE\0\0", 4);
constexpr std::string_view utf32_be_mark("\0\0\xFE\xFF", 4);

bool is_high_surrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

bool argument_text_decoder::detect(std::string_view& bytes) {
  started_ = true;
  const std::pair<std::string_view, const char*> refused[] = {
      {utf32_le_mark, "UTF-32 LE byte-order mark: only UTF-8 and UTF-16 are read"},
      {utf32_be_mark, "UTF-32 BE byte-order mark: only UTF-8 and UTF-16 are read"}};
  for (const auto& [mark, reason] : refused) {
    if (bytes.starts_with(mark)) {
      failure_ = reason;
      return false;
    }
  }
  const std::pair<std::string_view, form> marks[] = {
      {utf8_mark, form::utf8}, {utf16_le_mark, form::utf16_le}, {utf16_be_mark, form::utf16_be}};
  for (const auto& [mark, marked_form] : marks) {
    if (bytes.starts_with(mark)) {
      form_ = marked_form;
      bytes.remove_prefix(mark.size());
      offset_ = mark_size_ = mark.size();
      return true;
    }
  }
  return true;
}

bool argument_text_decoder::decode(std::string_view bytes) {
  text_ = {};
  if (!started_ && !detect(bytes))
    return false;
  if (ended_)
    return true;
  switch (form_) {
    case form::plain: text_ = bytes; return true;  // the reader stops at 0x1A itself
    case form::utf8: return decode_utf8(bytes);
    case form::utf16_le:
    case form::utf16_be: return decode_utf16(bytes);
  }
  return true;
}

// UTF-8 is its own text: checked, and passed on up to U+001A. The bounds of each byte after
// the first leave out overlong forms, surrogates and what lies beyond U+10FFFF.
bool argument_text_decoder::decode_utf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i, ++offset_) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (utf8_missing_ > 0) {
      if (byte < utf8_lowest_ || byte > utf8_highest_)
        return fail("invalid UTF-8", pending_at_);
      --utf8_missing_;
      utf8_lowest_ = 0x80;
      utf8_highest_ = 0xBF;
      continue;
    }
    if (byte < 0x80) {
      if (byte == end_of_data) {
        ended_ = true;
        text_ = bytes.substr(0, i + 1);
        return true;
      }
      continue;
    }
    pending_at_ = offset_;
    if (byte >= 0xC2 && byte <= 0xDF) {
      utf8_missing_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      utf8_missing_ = 2;
      utf8_lowest_ = byte == 0xE0 ? 0xA0 : 0x80;
      utf8_highest_ = byte == 0xED ? 0x9F : 0xBF;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      utf8_missing_ = 3;
      utf8_lowest_ = byte == 0xF0 ? 0x90 : 0x80;
      utf8_highest_ = byte == 0xF4 ? 0x8F : 0xBF;
    } else {
      return fail("invalid UTF-8", offset_);
    }
  }
  text_ = bytes;
  return true;
}

bool argument_text_decoder::decode_utf16(std::string_view bytes) {
  decoded_.clear();
  const bool big_endian = form_ == form::utf16_be;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (odd_byte_ < 0) {
      odd_byte_ = byte;
      continue;
    }
    const char32_t unit = big_endian ? (static_cast<char32_t>(odd_byte_) << 8 | byte)
                                     : (static_cast<char32_t>(byte) << 8 | odd_byte_);
    odd_byte_ = -1;
    const std::uint64_t unit_at = offset_;
    offset_ += 2;
    if (high_surrogate_ != 0) {
      if (!is_low_surrogate(unit))
        return fail("UTF-16 surrogate without its partner", pending_at_);
      put(0x10000 + ((static_cast<char32_t>(high_surrogate_) - 0xD800) << 10) + (unit - 0xDC00));
      high_surrogate_ = 0;
    } else if (is_high_surrogate(unit)) {
      high_surrogate_ = static_cast<char16_t>(unit);
      pending_at_ = unit_at;
    } else if (is_low_surrogate(unit)) {
      return fail("UTF-16 surrogate without its partner", unit_at);
    } else {
      put(unit);
      if (unit == end_of_data) {
        ended_ = true;
        break;
      }
    }
  }
  text_ = decoded_;
  return true;
}

bool argument_text_decoder::finish() {
  text_ = {};
  if (ended_ || form_ == form::plain)
    return true;
  if (utf8_missing_ > 0)
    return fail("invalid UTF-8", pending_at_);
  if (high_surrogate_ != 0)
    return fail("UTF-16 surrogate without its partner", pending_at_);
  if (odd_byte_ >= 0) {
    failure_ = "UTF-16 text of an odd number of bytes";
    return false;
  }
  return true;
}

bool argument_text_decoder::fail(const char* what, std::uint64_t at) {
  text_ = {};
  failure_ = std::string(what) + " at offset " + std::to_string(at);
  return false;
}

void argument_text_decoder::put(char32_t character) {
  if (character < 0x80) {
    decoded_ += static_cast<char>(character);
  } else if (character < 0x800) {
    decoded_ += static_cast<char>(0xC0 | character >> 6);
    decoded_ += static_cast<char>(0x80 | (character & 0x3F));
  } else if (character < 0x10000) {
    decoded_ += static_cast<char>(0xE0 | character >> 12);
    decoded_ += static_cast<char>(0x80 | (character >> 6 & 0x3F));
    decoded_ += static_cast<char>(0x80 | (character & 0x3F));
  } else {
    decoded_ += static_cast<char>(0xF0 | character >> 18);
    decoded_ += static_cast<char>(0x80 | (character >> 12 & 0x3F));
    decoded_ += static_cast<char>(0x80 | (character >> 6 & 0x3F));
    decoded_ += static_cast<char>(0x80 | (character & 0x3F));
  }
}

}  // namespace cmdwrap
