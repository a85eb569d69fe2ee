// The library overview shows each example file whole: the text between an example's marker
// and the end of its code block must be the file, byte for byte, so that the code a reader
// copies is the code these tests compile and run.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The docs folder of the source tree, and every example file in it by its path under docs/,
// comma-separated; both set by the build.
constexpr std::string_view docs_dir = ORTO_DOCS_DIR;
constexpr std::string_view example_list = ORTO_DOC_EXAMPLES;

std::vector<std::string> example_files() {
  std::vector<std::string> files;
  for (std::size_t start = 0; start < example_list.size();) {
    std::size_t end = std::min(example_list.find(',', start), example_list.size());
    files.emplace_back(example_list.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string marker_for(const std::string& file) { return "<!-- example: " + file + " -->\n"; }

int occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
    ++count;
  return count;
}

class LibraryDoc : public testing::Test {
 protected:
  std::string doc = read_file(std::string(docs_dir) + "/LIBRARY.md");
};

TEST_F(LibraryDoc, ShowsEveryExampleFileVerbatimInACodeBlock) {
  constexpr std::string_view open = "```cpp\n";
  // The closing fence as a whole line; a string_view, so that no temporary string is built.
  constexpr std::string_view close_line = "\n```\n";
  std::vector<std::string> files = example_files();
  ASSERT_GE(files.size(), 5u) << "examples: " << example_list;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::string marker = marker_for(file);
    ASSERT_EQ(occurrences(doc, marker), 1);
    std::size_t start = doc.find(marker) + marker.size();
    ASSERT_EQ(doc.compare(start, open.size(), open), 0) << "no ```cpp line after the marker";
    start += open.size();
    // The block ends at the first line that is only the closing fence.
    std::size_t end = doc.find(close_line, start);
    ASSERT_NE(end, std::string::npos) << "the code block is not closed";
    std::string shown = doc.substr(start, end + 1 - start);
    std::string source = read_file(std::string(docs_dir) + "/" + file);
    ASSERT_FALSE(source.empty());
    EXPECT_EQ(shown, source) << "the overview and " << file << " differ; copy the file into the "
                             << "code block after its marker";
  }
}

// The indented command lines that install the library alone (the development component), each
// with the block of command lines it stands in.
std::vector<std::string> library_install_blocks(const std::string& text) {
  std::vector<std::string> blocks;
  const std::string command = "\n    cmake --install ";
  for (auto at = text.find(command); at != std::string::npos; at = text.find(command, at + 1)) {
    const std::size_t line_end = text.find('\n', at + 1);
    if (text.substr(at, line_end - at).find(" --component development") == std::string::npos)
      continue;
    const std::size_t start = text.rfind("\n\n", at) + 2;
    blocks.push_back(text.substr(start, line_end - start));
  }
  return blocks;
}

TEST_F(LibraryDoc, GivesTheReadmesOneCommandThatInstallsTheLibraryAlone) {
  const std::vector<std::string> blocks = library_install_blocks(doc);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(library_install_blocks(read_file(std::string(docs_dir) + "/../README.md")), blocks);
}

TEST_F(LibraryDoc, HasNoMarkerForAnUnknownExample) {
  EXPECT_EQ(occurrences(doc, "<!-- example: "), static_cast<int>(example_files().size()));
}

}  // namespace
