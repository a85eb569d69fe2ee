// The maintainers' map stays true to the tree: every path and every name it shows in backticks
// must exist, so that a file moved or a function renamed without the page fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path source_root = fs::path(ORTO_DOCS_DIR).parent_path();

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The spans between backticks, outside the page's indented code blocks.
std::vector<std::string> backticked(const std::string& page) {
  std::vector<std::string> spans;
  for (std::size_t at = page.find('`'); at != std::string::npos;) {
    const std::size_t end = page.find('`', at + 1);
    if (end == std::string::npos)
      break;
    spans.push_back(page.substr(at + 1, end - at - 1));
    at = page.find('`', end + 1);
  }
  return spans;
}

// The tree's files and folders as paths from its top with '/', the build and git folders
// left out, and the text of its code and scripts, in which names are looked for.
struct source_tree {
  std::vector<std::string> paths;
  std::string text;

  source_tree() {
    static const std::set<std::string> texts = {".h",     ".cpp", ".c",  ".sh",  ".py",
                                                ".cmake", ".txt", ".in", ".json"};
    for (auto entry = fs::recursive_directory_iterator(source_root);
         entry != fs::recursive_directory_iterator(); ++entry) {
      const std::string name = entry->path().filename().string();
      if (entry->is_directory() && (name == "build" || name == ".git" || name == "corpus")) {
        entry.disable_recursion_pending();
        continue;
      }
      std::string path = entry->path().lexically_relative(source_root).generic_string();
      paths.push_back(entry->is_directory() ? path + "/" : path);
      if (entry->is_regular_file() && (texts.count(entry->path().extension().string()) != 0 ||
                                       name == "run" || name == "wine-run"))
        text += read_file(entry->path()) + "\n";
    }
  }

  // A path of the page names a file or folder when some path of the tree ends in it (the page
  // names files from the floor or the folder they are in: `posix/process.cpp`).
  bool has_path(const std::string& shown) const {
    for (const std::string& path : paths)
      if (path == shown || (path.size() > shown.size() && path.ends_with(shown) &&
                            path[path.size() - shown.size() - 1] == '/'))
        return true;
    return false;
  }

  // Whether the word stands alone somewhere in the code; a called name ("name(") must be
  // found called or declared, not just mentioned.
  bool has_word(const std::string& word) const {
    const auto is_word_char = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
    };
    const bool open_end = !is_word_char(word.back());
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
      const bool starts = at == 0 || !is_word_char(text[at - 1]);
      const std::size_t after = at + word.size();
      if (starts && (open_end || after == text.size() || !is_word_char(text[after])))
        return true;
    }
    return false;
  }
};

// What a span stands for: a path (with a '/', or a file name with its extension), a name
// (an identifier, qualified or not, perhaps called: `uexec::work`, `run_unit(false)`), or
// neither (a value, a message, a pattern with '*' or '<...>'), which is not checked.
bool is_identifier(std::string_view text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text.front())) != 0)
    return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
  });
}

bool is_path(std::string_view span) {
  const bool path_chars = !span.empty() && std::all_of(span.begin(), span.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '-' ||
           c == '/';
  });
  if (!path_chars)
    return false;
  if (span.find('/') != std::string_view::npos)
    return true;
  static const std::set<std::string_view> extensions = {"h",  "cpp", "c",    "md",    "sh",
                                                        "in", "py",  "args", "cmake", "json"};
  const std::size_t dot = span.find('.');
  return dot != std::string_view::npos && dot > 0 && span.find('.', dot + 1) == span.npos &&
         extensions.count(span.substr(dot + 1)) != 0;
}

// The name a span shows (the last part of a qualified name, without a call's arguments or a
// destructor's '~'), or "" when it shows none.
std::string name_in(std::string_view span) {
  if (!span.empty() && span.back() == ')') {
    const std::size_t open = span.find('(');
    if (open == std::string_view::npos)
      return {};
    span = span.substr(0, open);
  }
  std::string_view last = span;
  for (std::size_t colons = span.find("::"); colons != std::string_view::npos;
       colons = span.find("::")) {
    if (!is_identifier(span.substr(0, colons)))
      return {};
    span.remove_prefix(colons + 2);
    last = span;
  }
  if (!last.empty() && last.front() == '~')
    last.remove_prefix(1);
  return is_identifier(last) ? std::string(last) : std::string();
}

TEST(ArchitectureDoc, EveryPathAndNameOnThePageExistsInTheTree) {
  const std::string page = read_file(fs::path(ORTO_DOCS_DIR) / "ARCHITECTURE.md");
  ASSERT_FALSE(page.empty());
  const source_tree tree;
  int checked = 0;
  for (const std::string& span : backticked(page)) {
    if (is_path(span)) {
      EXPECT_TRUE(tree.has_path(span)) << "no such file or folder: " << span;
      ++checked;
    } else if (const std::string name = name_in(span); !name.empty()) {
      const bool called = span.back() == ')';
      EXPECT_TRUE(tree.has_word(called ? name + "(" : name))
          << "no such name in the code: " << span;
      ++checked;
    }
  }
  EXPECT_GT(checked, 100) << "the page's names were not found";
}

}  // namespace
