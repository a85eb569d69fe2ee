// The examples of the library overview run for real: each test calls an example's functions
// and checks what they return, write to files and report on std_error.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "examples/counted_nodes.h"
#include "examples/fatal_report.h"
#include "examples/formatting.h"
#include "examples/input_streams.h"
#include "examples/process_unit.h"
#include "examples/running_programs.h"
#include "examples/streams.h"
#include "examples/strings.h"
#include "examples/units.h"
#include "examples/variants.h"
#include "ortolib/core/exception.h"
#include "ortolib/core/fatal.h"
#include "ortolib/streams/inmemory.h"
#include "support/captured_log.h"
#include "support/child_run.h"
#include "support/exit_status.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"

namespace {

using pt::test::captured_std_error;
using pt::test::scratch_file;

std::string bytes_of(const pt::string& s) {
  return std::string(s.text(), static_cast<std::size_t>(s.length()));
}

TEST(FatalReportExampleDeathTest, ReplacesTheDefaultReportWithOneLineOnStandardError) {
  EXPECT_EXIT(
      {
        pt::fatal_handler = example::report_fatal_on_stderr;
        pt::fatal_error(pt::fatal_string_overflow, "String overflow");
      },
      testing::ExitedWithCode(pt::test::visible_status(pt::fatal_string_overflow)),
      "app: fatal error 0xc0015: String overflow\n");
}

TEST(StringsExample, ACopyKeepsItsTextWhenTheOriginalChanges) {
  EXPECT_EQ(bytes_of(example::greet("world")), "hello -> hello, world");
  EXPECT_EQ(bytes_of(example::greet("")), "hello -> hello, ");
}

TEST(StringsExample, ARecordHoldsANulThatLengthCountsAndTextStopsAt) {
  pt::string record = example::make_record("key", "value");
  EXPECT_EQ(record.length(), 9);
  EXPECT_EQ(std::strlen(record.text()), 3u);
  EXPECT_EQ(bytes_of(record), std::string("key\0value", 9));
  EXPECT_EQ(bytes_of(example::record_value(record)), "value");

  EXPECT_EQ(bytes_of(example::make_record("", "v")), std::string("\0v", 2));
  EXPECT_EQ(bytes_of(example::record_value(example::make_record("", "v"))), "v");
  EXPECT_TRUE(example::record_value(example::make_record("k", "")).is_empty());
  EXPECT_TRUE(example::record_value("no separator").is_empty());
}

TEST(StringsExample, DistinctWordsInByteOrder) {
  std::vector<pt::string> words = example::distinct_words("b a  \xe4 B a ");
  EXPECT_EQ(words, (std::vector<pt::string>{"B", "a", "b", "\xe4"}));
  EXPECT_TRUE(example::distinct_words("").empty());
}

TEST(StringsExample, WordsAreCountedAsKeysOfAnUnorderedMap) {
  auto counts = example::word_counts({"b", "a", "b", "", std::string("a\0z", 3)});
  EXPECT_EQ(counts.size(), 3u);
  EXPECT_EQ(counts.at("b"), 2);
  EXPECT_EQ(counts.at(pt::string("a\0z", 3)), 1);
}

TEST(VariantsExample, ItemsReadAsTextInOrder) {
  pt::variant settings = example::make_settings();
  EXPECT_EQ(pt::array_length(settings), 4);
  EXPECT_EQ(bytes_of(example::join_items(settings, ',')), "verbose,42,1,0.5");
  EXPECT_EQ(bytes_of(example::join_items(settings, ' ')), "verbose 42 1 0.5");
  EXPECT_TRUE(example::join_items(pt::variant(7), ',').is_empty());
  EXPECT_TRUE(example::join_items(pt::variant(), ',').is_empty());
}

TEST(VariantsExample, CopiesOfAnArrayVariantShareTheArray) {
  pt::variant settings = example::make_settings();
  pt::variant copy = settings;
  pt::array_add(copy, pt::variant("more"));
  EXPECT_EQ(bytes_of(example::join_items(settings, ',')), "verbose,42,1,0.5,more");
}

TEST(VariantsExample, ARangeForChangesItemsInPlace) {
  pt::variant settings = example::make_settings();
  pt::variant copy = settings;
  example::mark_items(copy);
  EXPECT_EQ(bytes_of(example::join_items(settings, ',')), "verbose!,42!,1!,0.5!");
  pt::variant number(7);
  example::mark_items(number);
  EXPECT_EQ(number.tag, pt::tag_integer);

  pt::tpodlist<std::int64_t> numbers;
  for (std::int64_t n : {std::int64_t{1}, std::int64_t{-4}, std::int64_t{3000000000}})
    numbers.add(n);
  EXPECT_EQ(example::double_all(numbers), 5999999994);
  EXPECT_EQ(numbers[2], 6000000000);
}

TEST(CountedNodesExample, AChainIsHeldWhereItsClassIsOnlyDeclared) {
  // example::node is incomplete in this file: its refs are copied and released all the same.
  pt::ref<example::node> head = example::make_chain({"a", "b", "c"});
  pt::ref<example::node> copy = head;
  head = nullptr;
  EXPECT_EQ(bytes_of(example::chain_text(copy)), "a -> b -> c");
  EXPECT_FALSE(example::make_chain({}));
  EXPECT_TRUE(example::chain_text(nullptr).is_empty());
}

TEST(FormattingExample, EachArgumentAsItsTypeSays) {
  EXPECT_EQ(bytes_of(example::summary("logs", {5000000000, 7})), "logs: 2 files, 5000000007 bytes");
  EXPECT_EQ(bytes_of(example::table({{"alpha", 1}, {"b", -20}})),
            "alpha   |     1\nb       |   -20\n");
  EXPECT_EQ(bytes_of(example::apply_template("%s has %d", "x", 3)), "x has 3");
  EXPECT_EQ(bytes_of(example::apply_template("%d has %s", "x", 3)), "%!d(text) has %!s(integer)");
}

TEST(StreamsExample, AFileIsWrittenAndReadBackByteForByte) {
  scratch_file file("doc-example");
  const char* text = "line one\r\nline two\n\x80\xff no end";
  example::save_text(file.c_str(), text);
  EXPECT_EQ(file.read(), text);  // nothing translated
  EXPECT_EQ(bytes_of(example::load_text(file.c_str())), text);

  example::save_text(file.c_str(), "short");  // an existing file is emptied first
  EXPECT_EQ(file.read(), "short");
  example::save_text(file.c_str(), "");
  EXPECT_EQ(file.read(), "");
  EXPECT_TRUE(example::load_text(file.c_str()).is_empty());
}

TEST(StreamsExample, AFileThatCannotBeReadIsReportedWithItsNameInBrackets) {
  captured_std_error errors;
  scratch_file missing("doc-example-missing");
  EXPECT_TRUE(example::load_text(missing.c_str()).is_empty());
  EXPECT_EQ(errors.text(), "cannot read: No such file or directory [" + missing.path() + "]\n");
}

TEST(StreamsExample, AFileThatCannotBeCreatedThrowsAStreamError) {
  scratch_file folder("doc-example-no-folder");
  std::string path = folder.path() + "/file.txt";  // inside a folder that does not exist
  try {
    example::save_text(path.c_str(), "text");
    ADD_FAILURE() << "save_text did not throw";
  } catch (pt::exception* error) {
    std::string message = bytes_of(error->get_message());
    delete error;
    EXPECT_EQ(message, "No such file or directory [" + path + "]");
  }
}

TEST(StreamsExample, LinesAreCountedAndAMissingFileReported) {
  scratch_file file("doc-example-lines");
  file.write("one\r\ntwo\n\nlast without end");
  EXPECT_EQ(example::count_lines(file.c_str()), 4);
  file.write("");
  EXPECT_EQ(example::count_lines(file.c_str()), 0);

  captured_std_error errors;
  scratch_file missing("doc-example-no-lines");
  EXPECT_EQ(example::count_lines(missing.c_str()), -1);
  EXPECT_EQ(errors.text(),
            missing.path() + ": No such file or directory [" + missing.path() + "]\n");
}

TEST(StreamsExample, APipeCarriesTheTextToItsReader) {
  EXPECT_EQ(bytes_of(example::through_pipe("through the pipe\n")), "through the pipe\n");
  std::string longer = std::string(1000, 'p') + "\r\n\x1a\xff end";
  EXPECT_EQ(bytes_of(example::through_pipe(longer.c_str())), longer);
  EXPECT_TRUE(example::through_pipe("").is_empty());
}

TEST(InputStreamsExample, AStreamOfOnesOwnAndOneOverAStringReadAsAnyInputStream) {
  pt::ref<pt::instm> pattern = example::make_pattern_input("abc", 10000);
  pattern->open_stream();
  pt::string line;
  EXPECT_TRUE(pattern->read_line(line));
  EXPECT_EQ(line.length(), 10000);
  EXPECT_EQ(bytes_of(line).substr(9990), "abcabcabca");
  EXPECT_FALSE(pattern->read_line(line));
  EXPECT_EQ(example::count_lines_of("a\nb\r\n\nc"), 4);
  EXPECT_EQ(example::count_lines_of(""), 0);
}

TEST(InputStreamsExample, AProgramIsFedFromEitherAndACutOutputIsReported) {
  pt::string error = "left over";
  pt::ref<pt::instm> memory = pt::make_ref<pt::inmemory>("from memory\n");
  EXPECT_EQ(bytes_of(example::run_with_input(ORTO_TEST_CHILD, "stdin", *memory, -1, error)),
            "from memory\n");
  EXPECT_TRUE(error.is_empty());
  // Far more than a pipe holds, made as it is fed.
  pt::ref<pt::instm> pattern = example::make_pattern_input("0123456789", 3000000);
  const std::string output =
      bytes_of(example::run_with_input(ORTO_TEST_CHILD, "stdin", *pattern, -1, error));
  ASSERT_EQ(output.size(), 3000000u);
  EXPECT_EQ(output.substr(2999990), "0123456789");

  captured_std_error errors;
  pt::ref<pt::instm> short_pattern = example::make_pattern_input("xyz", 100);
  EXPECT_EQ(bytes_of(example::run_with_input(ORTO_TEST_CHILD, "stdin", *short_pattern, 30, error)),
            "xyzxyzxyzxyzxyzxyzxyzxyzxyzxyz");
  EXPECT_EQ(bytes_of(error), "Output cut at its limit of 30 bytes (70 more bytes dropped)");
  EXPECT_EQ(errors.text(), "Error: " + bytes_of(error) + "\n");
}

TEST(UnitsExample, AChainOfThreeUpperCasesAndNumbersTheLines) {
  for (bool asynchronous : {false, true}) {
    SCOPED_TRACE(asynchronous ? "asynchronous" : "synchronous");
    pt::string failure = "left over";
    EXPECT_EQ(bytes_of(example::numbered_shout("hello, units 42\nsecond", asynchronous, failure)),
              "1: HELLO, UNITS 42\n2: SECOND\n");
    EXPECT_TRUE(failure.is_empty());
    EXPECT_TRUE(example::numbered_shout("", asynchronous, failure).is_empty());
  }
}

TEST(UnitsExample, AChainCarriesFarMoreThanAPipeHolds) {
  std::string text, expected;
  for (int i = 1; i <= 20000; ++i) {
    text += "line of the chain\n";
    expected += std::to_string(i) + ": LINE OF THE CHAIN\n";
  }
  for (bool asynchronous : {false, true}) {
    SCOPED_TRACE(asynchronous ? "asynchronous" : "synchronous");
    pt::string failure;
    EXPECT_EQ(bytes_of(example::numbered_shout(text.c_str(), asynchronous, failure)), expected);
  }
}

// The last unit refuses an empty line: the head tells which unit of its chain failed first.
TEST(UnitsExample, TheHeadTellsWhichUnitOfTheChainFailed) {
  for (bool asynchronous : {false, true}) {
    SCOPED_TRACE(asynchronous ? "asynchronous" : "synchronous");
    captured_std_error errors;
    pt::string failure;
    EXPECT_EQ(bytes_of(example::numbered_shout("one\n\nthree", asynchronous, failure)), "1: ONE\n");
    EXPECT_EQ(bytes_of(failure), "example::line_numbers: empty line 2");
    EXPECT_EQ(errors.text().rfind("Error: empty line 2\n", 0), 0u) << errors.text();
  }
}

TEST(ProcessUnitExample, CollectsTheProgramsOutputAndExitCode) {
  pt::string output, error = "left over";
  // "hello\n" to standard output, "oops\n" to standard error, then exit code 7.
  EXPECT_EQ(example::run_program(ORTO_TEST_CHILD, {"out=68656c6c6f0a", "err=6f6f70730a", "exit=7"},
                                 output, error),
            7);
  EXPECT_EQ(bytes_of(output), "hello\noops\n");
  EXPECT_TRUE(error.is_empty());
}

TEST(ProcessUnitExample, EachArgumentArrivesWhole) {
  pt::string output, error;
  EXPECT_EQ(example::run_program(ORTO_TEST_CHILD,
                                 {"hex-args", "two words", "", "*", R"(say "hi" C:\dir\)"}, output,
                                 error),
            0);
  EXPECT_EQ(bytes_of(output),
            "74776f20776f726473\n\n2a\n" + pt::test::hex(R"(say "hi" C:\dir\)") + "\n");
}

TEST(ProcessUnitExample, AMissingProgramGivesMinusOneAndTheReasonToTheCaller) {
  captured_std_error errors;
  scratch_file missing("doc-example-program");
  pt::string output = "left over", error;
  EXPECT_EQ(example::run_program(missing.c_str(), {"x"}, output, error), -1);
  EXPECT_TRUE(output.is_empty());
  EXPECT_EQ(bytes_of(error), "Couldn't run '" + missing.path() + "' - missing executable");
  EXPECT_EQ(errors.text(), "");  // the unit reports nothing itself
}

// "hello" to stdout after the input, "oops" to stderr: hex bytes for the helper child.
constexpr const char* hello_out = "out=68656c6c6f";
constexpr const char* oops_err = "err=6f6f7073";

TEST(RunningProgramsExample, FeedsInputAndCollectsBothOutputsApartOrJoined) {
  example::run_options options;
  options.input = "fed ";
  const example::completed_run apart =
      example::run(ORTO_TEST_CHILD, {"stdin", oops_err, hello_out, "exit=3"}, options);
  EXPECT_EQ(bytes_of(apart.output), "fed hello");
  EXPECT_EQ(bytes_of(apart.errors), "oops");
  EXPECT_EQ(apart.exit_code, 3);
  EXPECT_TRUE(apart.failure.is_empty());

  options.capture_errors = false;
  const example::completed_run joined =
      example::run(ORTO_TEST_CHILD, {"stdin", oops_err, hello_out}, options);
  EXPECT_EQ(bytes_of(joined.output), "fed oopshello");
  EXPECT_TRUE(joined.errors.is_empty());
}

TEST(RunningProgramsExample, ATimeoutKeepsTheOutputSoFarAndSaysSo) {
  example::run_options options;
  options.timeout_ms = 300;
  const example::completed_run late =
      example::run(ORTO_TEST_CHILD, {hello_out, "grandchild=60000", "sleep=60000"}, options);
  EXPECT_TRUE(late.timed_out);
  EXPECT_EQ(bytes_of(late.output), "hello");
  EXPECT_EQ(bytes_of(late.failure),
            "Couldn't finish '" ORTO_TEST_CHILD "' - timed out after 300 ms");
  EXPECT_EQ(late.signal, pt::test::on_windows() ? 0 : 9);
}

TEST(RunningProgramsExample, TheProgramRunsWhereAndWithWhatItIsTold) {
  const scratch_file directory("doc-example-directory");
  std::filesystem::create_directory(directory.path());
  example::run_options options;
  options.working_directory = directory.c_str();
  options.changes = {"ORTO_EXAMPLE=set here", "PATH"};
  const example::completed_run placed =
      example::run(ORTO_TEST_CHILD, {"env=ORTO_EXAMPLE", "env=PATH", "cwd"}, options);
  const std::string output = bytes_of(placed.output);
  ASSERT_EQ(output.rfind("set here\nunset\n", 0), 0u) << output;
  EXPECT_TRUE(std::filesystem::equivalent(output.substr(15, output.size() - 16), directory.path()));

  const example::completed_run missing = example::run("no-such-program-anywhere", {});
  EXPECT_EQ(bytes_of(missing.failure), "No program 'no-such-program-anywhere' along PATH");
  EXPECT_EQ(missing.exit_code, -1);
}

}  // namespace
