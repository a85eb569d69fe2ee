// Strings: a copy shares its original's block until one of them changes, and every change
// first makes the block private, so the other value keeps its text. A string holds any
// bytes; length() counts them all, while text() reads as C text up to the first NUL. It is a
// range of bytes and a std::string_view, compares bytewise with ==, < and <=>, and is a key of
// std::unordered_map.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <ortolib/core/string.h>

namespace example {

pt::string greet(const pt::string& name) {
  pt::string greeting = "hello";  // a new block, count 1
  pt::string saved = greeting;    // the same block, count 2: no bytes copied
  greeting += ", ";               // greeting first gets a block of its own
  greeting += name;
  return saved + " -> " + greeting;  // saved still reads "hello"
}

pt::string make_record(const char* key, const char* value) {
  pt::string record = key;
  record += '\0';  // a NUL is a byte like any other
  record.append(value);
  return record;
}

pt::string record_value(const pt::string& record) {
  std::string_view bytes = record;  // every byte, the NUL included; nothing copied
  std::size_t nul = bytes.find('\0');
  if (nul == std::string_view::npos)
    return pt::string();
  return pt::string(bytes.substr(nul + 1));  // a new string from a view
}

std::vector<pt::string> distinct_words(const pt::string& text) {
  std::vector<pt::string> words;
  auto start = text.begin();
  while (start != text.end()) {
    auto end = std::find(start, text.end(), ' ');
    if (end != start)
      words.emplace_back(std::string_view(start, end));
    start = end == text.end() ? end : end + 1;
  }
  std::sort(words.begin(), words.end());  // bytewise: "B" < "a" < "\xe4"
  words.erase(std::unique(words.begin(), words.end()), words.end());
  return words;
}

std::unordered_map<pt::string, int> word_counts(const std::vector<std::string>& words) {
  std::unordered_map<pt::string, int> counts;  // std::hash<pt::string> hashes every byte
  for (const std::string& word : words) {
    pt::string key(word);  // explicit: a copy of the std::string's bytes
    if (!key.empty())
      ++counts[key];
  }
  return counts;
}

}  // namespace example
