// Shared strings: construction, copy-on-write, growth, concatenation and overflow.
#include "ortolib/core/string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <compare>
#include <string>
#include <string_view>
#include <thread>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "support/fatal_report.h"

namespace pt {
namespace {

std::string_view view(const string& s) { return {s.text(), static_cast<std::size_t>(s.length())}; }

const char* shared_nul() { return &shared_empty.nul; }

TEST(String, ConstructionForms) {
  EXPECT_EQ(string().text(), shared_nul());
  EXPECT_EQ(string(static_cast<const char*>(nullptr)).text(), shared_nul());
  EXPECT_EQ(string("").text(), shared_nul());
  EXPECT_EQ(string("abc", 0).text(), shared_nul());
  EXPECT_EQ(string("abc", -3).text(), shared_nul());
  EXPECT_EQ(string(nullptr, 5).text(), shared_nul());

  string text("hello");
  EXPECT_EQ(view(text), "hello");
  EXPECT_EQ(text.text()[5], '\0');
  EXPECT_EQ(text.refcount(), 1);

  string bytes("a\0b", 3);
  EXPECT_EQ(bytes.length(), 3);
  EXPECT_EQ(view(bytes), std::string_view("a\0b", 3));

  // A string of one NUL has length 1 and reads as an empty zero-terminated text.
  string nul('\0');
  EXPECT_EQ(nul.length(), 1);
  EXPECT_STREQ(nul.text(), "");
  EXPECT_NE(nul.text(), shared_nul());
}

TEST(String, CopiesShareTheBlockAndMovesStealIt) {
  string a("shared");
  {
    string b(a);
    EXPECT_EQ(b.text(), a.text());
    EXPECT_EQ(a.refcount(), 2);
  }
  EXPECT_EQ(a.refcount(), 1);

  const char* block = a.text();
  string moved(static_cast<string&&>(a));
  EXPECT_EQ(moved.text(), block);
  EXPECT_EQ(a.text(), shared_nul());
  EXPECT_EQ(moved.refcount(), 1);

  string target("old");
  string other(moved);
  target = static_cast<string&&>(other);
  EXPECT_EQ(target.text(), block);
  EXPECT_EQ(moved.refcount(), 2);
}

TEST(String, AssigningTheSameBlockChangesNothing) {
  string a("same");
  string b(a);
  const char* block = a.text();
  a = a;
  a = b;
  a.assign(b);
  EXPECT_EQ(a.text(), block);
  EXPECT_EQ(a.refcount(), 2);
}

TEST(String, AssignBytesReusesAPrivateBlock) {
  string a("hello");
  const char* block = a.text();
  a.assign("world", 5);  // same size class, private block: written in place
  EXPECT_EQ(a.text(), block);
  EXPECT_EQ(view(a), "world");

  string b(a);
  a.assign("other", 5);  // shared: a new block, b keeps the old one
  EXPECT_EQ(view(a), "other");
  EXPECT_EQ(view(b), "world");
  EXPECT_EQ(b.refcount(), 1);

  a.assign("", 0);
  EXPECT_EQ(a.text(), shared_nul());
  a.assign(static_cast<const char*>(nullptr));
  EXPECT_EQ(a.length(), 0);
  a = "x";
  EXPECT_EQ(view(a), "x");
}

TEST(String, AssignFromItsOwnCharacters) {
  string a("abcdefghijklmnopqrstuvwxyz0123456789");
  a.assign(a.text() + 3, 5);
  EXPECT_EQ(view(a), "defgh");
  string b("abcdefghijklmnopqrstuvwxyz0123456789");
  b.assign(b.text() + 30, 6);
  EXPECT_EQ(view(b), "456789");
  string c("abcdef");
  c.append(c.text() + 2, 3);
  EXPECT_EQ(view(c), "abcdefcde");
}

TEST(String, WritersCopyASharedBlockFirst) {
  string a("original");
  string b(a);
  a.append("+");
  EXPECT_EQ(view(a), "original+");
  EXPECT_EQ(view(b), "original");
  EXPECT_EQ(b.refcount(), 1);

  string c(b);
  b.set_length(3);
  EXPECT_EQ(view(b), "ori");
  EXPECT_EQ(view(c), "original");
  EXPECT_EQ(c.refcount(), 1);

  string d(c);
  char* writable = d.make_unique();
  writable[0] = 'O';
  EXPECT_EQ(view(d), "Original");
  EXPECT_EQ(view(c), "original");
  EXPECT_EQ(d.refcount(), 1);
  EXPECT_EQ(d.make_unique(), d.text());  // already private: unchanged

  string e(c);
  e.set_length(8)[0] = '0';  // same length on a shared block makes it private
  EXPECT_EQ(view(c), "original");
  EXPECT_EQ(view(e), "0riginal");
}

TEST(String, SetLength) {
  string a("abcdef");
  string b(a);
  EXPECT_EQ(a.set_length(-1), nullptr);
  EXPECT_EQ(view(a), "abcdef");

  EXPECT_EQ(a.set_length(0), shared_nul());  // empties this value only
  EXPECT_EQ(view(b), "abcdef");
  EXPECT_EQ(b.refcount(), 1);

  char* grown = a.set_length(3);  // from empty: a new block
  EXPECT_EQ(grown[3], '\0');
  grown[0] = 'x';

  char* longer = b.set_length(100);  // private: keeps the first characters
  EXPECT_EQ(std::string_view(longer, 6), "abcdef");
  EXPECT_EQ(longer[100], '\0');
  EXPECT_EQ(b.length(), 100);
  EXPECT_EQ(string().make_unique(), shared_nul());
}

TEST(String, BlockSizesFollowTheGrowthRule) {
  EXPECT_EQ(block_size_for(7 + 9), 16);
  EXPECT_EQ(block_size_for(24 + 9), 64);
  EXPECT_EQ(block_size_for(2039 + 9), 2048);
  EXPECT_EQ(block_size_for(2040 + 9), 4096);

  // Every size maps to the smallest allowed block that holds it: 16, 32, multiples of 64 up to
  // 2048, multiples of 4096 above.
  std::vector<std::int32_t> allowed = {16, 32};
  for (std::int32_t size = 64; size <= 2048; size += 64)
    allowed.push_back(size);
  for (std::int32_t size = 4096; size <= 65536; size += 4096)
    allowed.push_back(size);
  for (std::int32_t size = 1; size <= 65536; ++size) {
    auto fit = *std::lower_bound(allowed.begin(), allowed.end(), size);
    ASSERT_EQ(block_size_for(size), fit) << size;
  }
}

TEST(String, GrowsAndShrinksByteByByte) {
  // Each step either stays within the block or reallocates it; the sanitizers catch a write past
  // a block that was not grown, the content check a block that lost its characters.
  string s;
  std::string expected;
  for (int i = 0; i < 9000; ++i) {
    char ch = static_cast<char>('a' + i % 26);
    s += ch;
    expected += ch;
  }
  ASSERT_EQ(view(s), expected);
  while (s.length() > 1) {
    s.set_length(s.length() - 1);
    expected.pop_back();
    ASSERT_EQ(s.text()[s.length()], '\0');
  }
  EXPECT_EQ(view(s), expected);
}

TEST(String, AppendForms) {
  string empty;
  string source("shared");
  empty.append(source);  // an empty string shares the other's block
  EXPECT_EQ(empty.text(), source.text());

  string a("ab");
  a.append(a);
  EXPECT_EQ(view(a), "abab");

  string seven("abcdefg");  // 16-byte block; doubling needs 32
  string holder(seven);
  seven.append(seven.text(), seven.length());
  EXPECT_EQ(view(seven), "abcdefgabcdefg");
  EXPECT_EQ(view(holder), "abcdefg");

  string big(std::string(2040, 'q').c_str());
  big.append(big);
  EXPECT_EQ(big.length(), 4080);
  EXPECT_EQ(find_char('\0', big), 4080);

  string b("x");
  b.append("yz", 0);
  b.append(static_cast<const char*>(nullptr));
  b.append(string());
  EXPECT_EQ(view(b), "x");
  b.append("\0z", 2);
  EXPECT_EQ(view(b), std::string_view("x\0z", 3));
}

TEST(String, Concatenation) {
  string empty;
  string left("left");
  string right("right");

  EXPECT_EQ((empty + right).text(), right.text());
  EXPECT_EQ((left + empty).text(), left.text());
  EXPECT_EQ(view(left + right), "leftright");
  EXPECT_EQ(view(left + "!"), "left!");
  EXPECT_EQ(view(">" + right), ">right");
  EXPECT_EQ(view(empty + "text"), "text");
  EXPECT_EQ(view("text" + empty), "text");
  EXPECT_EQ(view(left + '.'), "left.");
  EXPECT_EQ(view('.' + right), ".right");
  EXPECT_EQ(view(empty + '\0'), std::string_view("\0", 1));
  EXPECT_EQ(view('c' + empty), "c");
  EXPECT_EQ((empty + static_cast<const char*>(nullptr)).length(), 0);

  string copy_of_left = left + "";  // a new block even when the text adds nothing
  EXPECT_NE(copy_of_left.text(), left.text());
  EXPECT_EQ(view(left), "left");
  EXPECT_EQ(view(right), "right");
}

TEST(String, FindChar) {
  string s("abcabc");
  EXPECT_EQ(find_char('c', s), 2);
  EXPECT_EQ(find_char('z', s), -1);
  EXPECT_EQ(find_char('\0', s), 6);
  EXPECT_EQ(find_char('\0', string()), 0);
  EXPECT_EQ(find_char('a', string()), -1);

  string with_nul("ab\0cd", 5);
  EXPECT_EQ(find_char('d', with_nul), -1);
  EXPECT_EQ(find_char('\0', with_nul), 2);
  EXPECT_EQ(find_char('\xff', string("a\xff")), 1);
}

TEST(String, ManyThreadsCopyAndDropOneString) {
  string shared("the one shared block");
  const char* block = shared.text();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&shared] {
      for (int i = 0; i < 20000; ++i) {
        string copy(shared);
        string second;
        second = copy;
        if (second.text()[0] != 't')
          std::abort();
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(shared.text(), block);
  EXPECT_EQ(shared.refcount(), 1);
  EXPECT_EQ(view(shared), "the one shared block");
}

using StringDeathTest = testing::Test;

// About 1.1 GB of address space; the characters are never touched.
constexpr std::int32_t big_length = 1100000000;

TEST(StringDeathTest, OverflowingLengthsAreFatal) {
  EXPECT_FATAL(string().set_length(max_string_length + 1), fatal_string_overflow,
               "String overflow");
  EXPECT_FATAL(
      {
        string big;
        big.set_length(big_length);
        string sum = big + big;
      },
      fatal_string_overflow, "String overflow");
  EXPECT_FATAL(
      {
        string big;
        big.set_length(big_length);
        big.append(big);
      },
      fatal_string_overflow, "String overflow");
}

TEST(StringInterop, ComparesBytesAsUnsignedValuesNulIncluded) {
  const string a("abc"), a_copy = string("abc", 3), b("abd"), nul_inside("ab\0c", 4);
  EXPECT_TRUE(a == a_copy && a == "abc" && a == std::string_view("abc"));
  EXPECT_TRUE("abc" == a && std::string_view("abc") == a);
  EXPECT_FALSE(a == b || a == nul_inside || nul_inside == "ab");  // "ab" is not "ab\0c"
  EXPECT_TRUE(string() == static_cast<const char*>(nullptr) && string() == "");
  EXPECT_EQ(a <=> b, std::strong_ordering::less);
  EXPECT_EQ(string("ab") <=> a, std::strong_ordering::less);  // a prefix comes first
  EXPECT_EQ(nul_inside <=> string("ab"), std::strong_ordering::greater);
  EXPECT_EQ(string("\xff") <=> "a", std::strong_ordering::greater);  // 0xFF above 'a'
  EXPECT_EQ(a <=> "abc", std::strong_ordering::equal);
  EXPECT_TRUE(string("\x80") > string("\x7f"));
}

TEST(StringInterop, ViewsRangesAndConstructionFromAView) {
  const string bytes("x\0y", 3);
  std::string_view v = bytes;
  EXPECT_EQ(v, std::string_view("x\0y", 3));
  EXPECT_EQ(v.data(), bytes.text());  // no copy
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("x\0y", 3));
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\0'), 1);
  EXPECT_EQ(std::string_view(string()).size(), 0u);

  string from_view(std::string_view("a\0b", 3));
  EXPECT_EQ(from_view.length(), 3);
  EXPECT_EQ(from_view, std::string_view("a\0b", 3));
  EXPECT_EQ(string(std::string_view()).text(), shared_nul());
  std::string standard = "from std";
  EXPECT_EQ(string(standard), "from std");
}

TEST(String, TheStandardLibrarysNamesAndHash) {
  const std::string source("a\0b", 3);
  const string copied(source);  // every byte, NUL included
  static_assert(!std::is_convertible_v<std::string, string>, "explicit: a copy is never silent");
  EXPECT_EQ(view(copied), std::string_view(source));
  EXPECT_EQ(copied.size(), 3u);
  EXPECT_FALSE(copied.empty());
  EXPECT_TRUE(string().empty());
  EXPECT_EQ(copied.data(), copied.text());
  EXPECT_EQ(copied.c_str(), copied.text());

  // A key of an unordered map: equal strings meet, and the bytes after a NUL count.
  std::unordered_map<string, int> counts;
  for (const char* word : {"b", "a", "b", ""})
    ++counts[string(word)];
  ++counts[copied];
  EXPECT_EQ(counts.size(), 4u);
  EXPECT_EQ(counts.at("b"), 2);
  EXPECT_EQ(counts.at(string("a\0b", 3)), 1);
  EXPECT_EQ(counts.count(string("a")), 1u);
  EXPECT_EQ(std::hash<string>{}(copied), std::hash<std::string_view>{}(source));
}

}  // namespace
}  // namespace pt
