// The LF to CR LF translation against the plain oracle: every length and alignment up to a few
// blocks, line ends at and around every block edge, and random text of every density of LF.
#include "line_ends.h"

#include "support/line_ends.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace cmdwrap {
namespace {

// The translation of text[offset, offset + size) written at out_offset into a buffer of just
// the room the contract asks for, behind and before guard bytes that must stay as they were.
void expect_translated(const std::string& text, std::size_t offset, std::size_t size,
                       std::size_t out_offset) {
  constexpr char guard = '\x5A';
  std::vector<char> out(out_offset + 2 * size + 64, guard);
  const std::size_t written = expand_line_ends(text.data() + offset, size, out.data() + out_offset);
  const std::string expected = pt::test::with_crlf(std::string_view(text).substr(offset, size));
  ASSERT_EQ(std::string(out.data() + out_offset, written), expected)
      << "offset " << offset << ", size " << size << ", out offset " << out_offset;
  for (std::size_t i = 0; i < out_offset; ++i)
    ASSERT_EQ(out[i], guard) << "written before the output";
  for (std::size_t i = out_offset + 2 * size; i < out.size(); ++i)
    ASSERT_EQ(out[i], guard) << "written past the room of 2 * size, size " << size;
}

TEST(ExpandLineEnds, EveryLengthAndAlignmentWithLineEndsAtBlockEdges) {
  // One LF at each position of a run of 80 bytes, and runs of LF, at every start alignment.
  for (std::size_t lf = 0; lf < 80; ++lf) {
    std::string text(96, 'x');
    text[lf] = '\n';
    for (std::size_t offset = 0; offset < 16; ++offset)
      for (std::size_t size : {lf + 1 - std::min(lf + 1, offset), std::size_t{31}, std::size_t{32},
                               std::size_t{33}, std::size_t{80}})
        if (offset + size <= text.size())
          expect_translated(text, offset, size, (offset * 7) % 16);
  }
  const std::string all_lf(100, '\n');
  for (std::size_t size = 0; size <= 100; ++size)
    expect_translated(all_lf, 0, size, size % 16);
}

TEST(ExpandLineEnds, RandomTextOfEveryDensity) {
  std::mt19937 random(20261209);
  for (int density : {0, 1, 3, 8, 16, 64, 100}) {  // percent of bytes that are LF
    std::string text(5000, '\0');
    std::uniform_int_distribution<int> percent(0, 99), byte(0, 255);
    for (char& c : text)
      c = percent(random) < density ? '\n' : static_cast<char>(byte(random));
    for (int round = 0; round < 40; ++round) {
      std::uniform_int_distribution<std::size_t> offset(0, 64), size(0, 4900);
      expect_translated(text, offset(random), size(random), offset(random) % 16);
    }
  }
}

}  // namespace
}  // namespace cmdwrap
