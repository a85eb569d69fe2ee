// Shared copy-on-write strings against std::string models. The input is a small program of
// operations on a few string values; after every step each value must hold its model's bytes
// with a NUL after them, and every block must be counted once for each value that shares it.
#include "ortolib/core/string.h"

#include "fuzz/fuzz_input.h"

#include <array>
#include <cstring>
#include <string>
#include <utility>

namespace {

using pt::fuzz::check;

// Long enough to cross the step from 64-byte to 4096-byte block sizes, short enough to be fast.
constexpr std::size_t max_length = 9000;
constexpr std::size_t slot_count = 4;

struct machine {
  std::array<pt::string, slot_count> values;
  std::array<std::string, slot_count> models;
  pt::fuzz::fuzz_input& input;

  std::size_t slot() { return input.byte() % slot_count; }

  // Mostly short lengths, now and then one up to max_length.
  std::size_t length() {
    const std::uint8_t b = input.byte();
    return b < 0xC0 ? b : input.integer<std::uint16_t>() % (max_length + 1);
  }

  // As length(), but now and then 0 or negative.
  std::int32_t signed_length() {
    const std::uint8_t b = input.byte();
    if (b >= 0xFC)
      return 0xFB - b;  // -1 to -4
    return b < 0xC0 ? b : input.integer<std::uint16_t>() % (max_length + 1);
  }

  // A position inside a non-empty model, and a count that stays inside it from there.
  std::pair<std::size_t, std::size_t> inner_range(std::size_t size) {
    const std::size_t offset = input.integer<std::uint16_t>() % size;
    const std::size_t count = 1 + input.integer<std::uint16_t>() % (size - offset);
    return {offset, count};
  }

  void check_all() const {
    for (std::size_t i = 0; i < slot_count; ++i) {
      const pt::string& s = values[i];
      const std::string& model = models[i];
      check(s.length() == static_cast<std::int32_t>(model.size()), "the length is the model's");
      check(s.is_empty() == model.empty(), "is_empty agrees with the length");
      check(std::memcmp(s.text(), model.data(), model.size()) == 0, "the bytes are the model's");
      check(s.text()[s.length()] == '\0', "a NUL follows the characters");
      if (model.empty()) {
        check(s.text() == &pt::shared_empty.nul, "every empty string is the shared block");
        continue;
      }
      std::int32_t sharers = 0;
      for (const pt::string& other : values)
        sharers += other.text() == s.text() ? 1 : 0;
      check(s.refcount() == sharers, "a block is counted once per value holding it");
    }
  }

  bool fits(std::size_t size) const { return size <= max_length; }

  void step();
};

void machine::step() {
  const std::uint8_t op = input.byte();
  const std::size_t i = slot();
  pt::string& s = values[i];
  std::string& m = models[i];

  switch (op % 17) {
    case 0: {  // copy assignment shares the block (a value with itself included)
      const std::size_t j = slot();
      s = values[j];
      m = models[j];
      check(m.empty() || s.text() == values[j].text(), "assignment shares the block");
      break;
    }
    case 1: {  // copy construction, then move assignment
      const std::size_t j = slot();
      pt::string copy(values[j]);
      check(copy.text() == values[j].text(), "a copy shares the block");
      s = std::move(copy);
      check(copy.is_empty(), "a moved-from string is empty");
      m = models[j];
      break;
    }
    case 2: {  // move assignment from another value, or from itself
      const std::size_t j = slot();
      s = std::move(values[j]);
      if (i != j) {
        m = std::move(models[j]);
        models[j].clear();
      }
      break;
    }
    case 3: {  // move construction
      const std::size_t j = slot();
      pt::string moved(std::move(values[j]));
      std::string moved_model = std::exchange(models[j], std::string());
      s = moved;
      m = moved_model;
      break;
    }
    case 4: {  // assign bytes; a count of 0 or less, or no bytes, empties the string
      const std::int32_t n = signed_length();
      const std::string bytes = input.padded_bytes(n > 0 ? static_cast<std::size_t>(n) : 0);
      const bool null_bytes = input.byte() == 0xFF;
      s.assign(null_bytes ? nullptr : bytes.data(), n);
      m = n > 0 && !null_bytes ? bytes : std::string();
      break;
    }
    case 5: {  // assign a zero-terminated text: it ends at its first NUL
      const std::string bytes = input.padded_bytes(length());
      const std::uint8_t how = input.byte();
      if (how == 0xFF) {
        s.assign(static_cast<const char*>(nullptr));
        m.clear();
      } else {
        if (how % 2 == 0)
          s.assign(bytes.c_str());
        else
          s = bytes.c_str();
        m = bytes.substr(0, bytes.find('\0'));
      }
      break;
    }
    case 6: {  // assign a piece of the string's own characters
      if (m.empty())
        break;
      const auto [offset, count] = inner_range(m.size());
      s.assign(s.text() + offset, static_cast<std::int32_t>(count));
      m = m.substr(offset, count);
      break;
    }
    case 7: {  // append bytes; nothing for a count of 0 or less, or no bytes
      const std::int32_t n = signed_length();
      const std::string bytes = input.padded_bytes(n > 0 ? static_cast<std::size_t>(n) : 0);
      const bool null_bytes = input.byte() == 0xFF;
      if (!fits(m.size() + bytes.size()))
        break;
      s.append(null_bytes ? nullptr : bytes.data(), n);
      if (n > 0 && !null_bytes)
        m += bytes;
      break;
    }
    case 8: {  // append a zero-terminated text
      const std::string bytes = input.padded_bytes(length());
      const std::string text = bytes.substr(0, bytes.find('\0'));
      if (!fits(m.size() + text.size()))
        break;
      if (input.byte() % 2 == 0)
        s.append(bytes.c_str());
      else
        s += bytes.c_str();
      m += text;
      break;
    }
    case 9: {  // append another value (an empty string shares it), or the string to itself
      const std::size_t j = slot();
      if (!fits(m.size() + models[j].size()))
        break;
      const bool was_empty = m.empty();
      if (input.byte() % 2 == 0)
        s.append(values[j]);
      else
        s += values[j];
      m += std::string(models[j]);
      check(!was_empty || s.text() == values[j].text() || m.empty(),
            "appending to an empty string shares the other block");
      break;
    }
    case 10: {  // append a piece of the string's own characters (from the first: doubling)
      if (m.empty())
        break;
      auto [offset, count] = inner_range(m.size());
      if (input.byte() % 2 == 0) {
        offset = 0;
        count = m.size();
      }
      if (!fits(m.size() + count))
        break;
      s.append(s.text() + offset, static_cast<std::int32_t>(count));
      m += m.substr(offset, count);
      break;
    }
    case 11: {  // append one character, NUL included
      if (!fits(m.size() + 1))
        break;
      const char c = static_cast<char>(input.byte());
      s += c;
      m += c;
      break;
    }
    case 12: {  // concatenation into a value; the operands keep their content
      const std::size_t j = slot();
      const std::size_t k = slot();
      const std::uint8_t form = input.byte() % 5;
      const std::string bytes = input.padded_bytes(form == 1 || form == 2 ? length() : 0);
      const std::string text = bytes.substr(0, bytes.find('\0'));
      const char c = static_cast<char>(input.byte());
      if (!fits(models[j].size() + models[k].size() + text.size() + 1))
        break;
      const char* left_block = values[j].text();
      const char* right_block = values[k].text();
      pt::string result;
      std::string expected;
      switch (form) {
        case 0:
          result = values[j] + values[k];
          expected = models[j] + models[k];
          if (models[j].empty())
            check(result.text() == right_block, "an empty left operand shares the right one");
          else if (models[k].empty())
            check(result.text() == left_block, "an empty right operand shares the left one");
          break;
        case 1:
          result = values[j] + bytes.c_str();
          expected = models[j] + text;
          break;
        case 2:
          result = bytes.c_str() + values[j];
          expected = text + models[j];
          break;
        case 3:
          result = values[j] + c;
          expected = models[j] + c;
          break;
        default:
          result = c + values[j];
          expected = c + models[j];
          break;
      }
      s = result;
      m = expected;
      break;
    }
    case 13: {  // set_length: the kept prefix, a NUL at the end, new characters written
      const std::int32_t n = signed_length();
      const std::size_t old_size = m.size();
      char* chars = s.set_length(n);
      if (n < 0) {
        check(chars == nullptr, "a negative length gives a null pointer");
        break;
      }
      check(chars == s.text(), "set_length gives the string's own characters");
      check(s.length() == n, "set_length sets the length");
      check(chars[n] == '\0', "a NUL follows the new length");
      m.resize(static_cast<std::size_t>(n) < old_size ? static_cast<std::size_t>(n) : old_size);
      check(std::memcmp(chars, m.data(), m.size()) == 0, "set_length keeps the prefix");
      // The new characters get a counting pattern from one input byte, so that a long growth
      // does not swallow the rest of the program.
      const auto first = static_cast<unsigned char>(input.byte());
      for (std::size_t k = old_size; k < static_cast<std::size_t>(n); ++k) {
        const auto c = static_cast<char>(first + k);
        chars[k] = c;
        m += c;
      }
      break;
    }
    case 14: {  // make_unique, then write through the pointer: no other value may see it
      char* chars = s.make_unique();
      check(chars == s.text(), "make_unique gives the string's own characters");
      const std::uint16_t position = input.integer<std::uint16_t>();
      const char c = static_cast<char>(input.byte());
      if (m.empty())
        break;
      check(s.refcount() == 1, "after make_unique the block is private");
      chars[position % m.size()] = c;
      m[position % m.size()] = c;
      break;
    }
    case 15:
      s.clear();
      m.clear();
      break;
    default: {  // construction from a character, bytes or a text; find_char on the result
      const std::uint8_t form = input.byte() % 4;
      const std::string bytes = input.padded_bytes(form == 0 ? 0 : length());
      const char c = static_cast<char>(input.byte());
      switch (form) {
        case 0:
          s = pt::string(c);
          m.assign(1, c);
          break;
        case 1:
          s = pt::string(bytes.data(), static_cast<std::int32_t>(bytes.size()));
          m = bytes;
          break;
        case 2:
          s = pt::string(bytes.c_str());
          m = bytes.substr(0, bytes.find('\0'));
          break;
        default:
          s = pt::string();
          m.clear();
          break;
      }
      // The search reads the zero-terminated text: it stops at the first NUL.
      const std::string zero_terminated = m.substr(0, m.find('\0'));
      const std::size_t found = c == '\0' ? zero_terminated.size() : zero_terminated.find(c);
      const std::int32_t expected = found == std::string::npos ? -1
                                                               : static_cast<std::int32_t>(found);
      check(pt::find_char(c, s) == expected, "find_char finds the first match before a NUL");
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pt::fuzz::fuzz_input input(data, size);
  machine program{{}, {}, input};
  while (!input.at_end()) {
    program.step();
    program.check_all();
  }
  return 0;
}
