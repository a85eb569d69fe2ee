// The four standard streams: ready before static objects and alive after them, attached to
// the process's standard handles, never deleted by releases, and whole lines from threads.
#include "ortolib/streams/standard_streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ortolib/platform/private/handle_io.h"
#include "ortolib/streams/local_pipe.h"
#include "ortolib/streams/outfile.h"

namespace pt {
namespace {

// Uses the streams from its constructor, and again from its destructor at program end.
struct early_user {
  early_user() {
    streams_were_open = std_input.is_active && std_output.is_active && std_error.is_active &&
                        null_output.is_active;
    null_output.write_text("discarded before main");
  }
  ~early_user() {
    if (report_at_exit)
      std_error.format("standard streams %s at exit\n", std_error.is_active ? "alive" : "closed");
  }

  bool streams_were_open = false;
  bool report_at_exit = false;
};

early_user user;

TEST(StandardStreams, AreOpenForStaticConstructors) { EXPECT_TRUE(user.streams_were_open); }

// The standard streams duplicate the standard handles at start-up, so a death test whose
// child only forks would still write to the parent's handles: the child must start afresh.
class StandardStreamsDeathTest : public testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(StandardStreamsDeathTest, OutliveStaticDestructors) {
  EXPECT_EXIT(
      {
        user.report_at_exit = true;
        std::exit(0);
      },
      testing::ExitedWithCode(0), "standard streams alive at exit");
}

TEST_F(StandardStreamsDeathTest, StdErrorWritesToTheProcesssStandardError) {
  EXPECT_EXIT(
      {
        std_error.format("Error: %s %d\n", "reported", 7);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "Error: reported 7");
}

TEST(StandardStreams, AreSetUpAsTheirRolesAsk) {
  EXPECT_EQ(std_input.kind_code(), kind_infile);
  EXPECT_EQ(std_input.buffer_size, 4096);
  EXPECT_NE(std_input.buffer, nullptr);
  EXPECT_TRUE(std_input.file_name.is_empty());
  for (logfile* log : {&std_output, &std_error}) {
    EXPECT_EQ(log->kind_code(), kind_logfile);
    EXPECT_EQ(log->buffer_size, 0);
    EXPECT_NE(log->os_handle, platform::no_handle);
    EXPECT_NE(log->os_handle, platform::unusable_handle);  // the test runner gives both
    EXPECT_EQ(log->error_code, 0);
  }
  EXPECT_NE(std_output.os_handle, std_error.os_handle);
  EXPECT_EQ(null_output.kind_code(), kind_outnull);
  EXPECT_EQ(null_output.os_handle, platform::no_handle);
}

TEST(StandardStreams, ReleasingTheReferencesOfOthersNeverDeletesThem) {
  std::vector<component*> globals = {&std_input, &std_output, &std_error, &null_output};
  for (component* stream : globals) {
    std::int32_t before = stream->refcount;
    EXPECT_GE(before, 1);
    addref(stream);
    addref(stream);
    EXPECT_FALSE(release(stream));
    EXPECT_FALSE(release(stream));
    EXPECT_EQ(stream->refcount, before);
  }
  EXPECT_TRUE(std_error.is_active);
}

TEST(StandardStreams, NullOutputDiscardsEverything) {
  std::string block(20000, 'x');
  EXPECT_EQ(null_output.write_block(block.data(), 20000), 20000);
}

TEST(StandardStreams, DuplicatesAreNewHandlesOfTheCallers) {
  platform::handle first = dup_std_handle(platform::std_handle_id::error);
  platform::handle second = dup_std_handle(platform::std_handle_id::error);
  EXPECT_NE(first, platform::unusable_handle);
  EXPECT_NE(first, second);
  EXPECT_NE(first, std_error.os_handle);
  EXPECT_EQ(platform::handle_write(first, "", 0), 0);
  EXPECT_TRUE(platform::handle_close(first));
  EXPECT_TRUE(platform::handle_close(second));
}

TEST_F(StandardStreamsDeathTest, StdInputReadsBlocksOfAtMost4096Bytes) {
  EXPECT_EXIT(
      {
        outfile writer;
        make_local_pipe(std_input, writer);
        const std::string sent(10000, 'i');
        std::thread feeder([&] {
          writer.write_block(sent.data(), static_cast<std::int32_t>(sent.size()));
          writer.close_stream();
        });
        char first;
        bool small_block = std_input.read_block(&first, 1) == 1 && std_input.position <= 4096;
        std::string rest(sent.size(), '\0');
        std::int32_t got = 0;
        for (std::int32_t n; (n = std_input.read_block(rest.data() + got, 4000)) > 0;)
          got += n;
        feeder.join();
        std::fprintf(stderr, "block %s, %d more bytes\n", small_block ? "small" : "large", got);
        std::exit(0);
      },
      testing::ExitedWithCode(0), "block small, 9999 more bytes");
}

// One line as a thread writes it: several literal pieces and directives in one call.
constexpr char line_format[] = "thread %c line %05d: %s|%d\n";
const char filler[] = "................................................................";

TEST(StandardStreams, FormattedLinesFromTwoThreadsOnStdErrorStayWhole) {
  constexpr int lines = 2000;
  // std_error is moved onto a pipe for the test and put back on the standard error after.
  infile reader;
  reader.set_buffer_size(0);
  make_local_pipe(reader, std_error);
  std::string received;
  std::thread collector([&] {
    char piece[4096];
    for (std::int32_t got; (got = reader.read_block(piece, sizeof piece)) > 0;)
      received.append(piece, static_cast<std::size_t>(got));
  });
  auto write_lines = [](char name) {
    for (int i = 0; i < lines; ++i)
      std_error.format(line_format, name, i, filler, i);
  };
  std::thread a(write_lines, 'A'), b(write_lines, 'B');
  a.join();
  b.join();
  std_error.close_stream();
  collector.join();
  std_error.attach_handle(dup_std_handle(platform::std_handle_id::error));
  std_error.open_stream();

  std::istringstream text(received);
  std::string line;
  int next[2] = {0, 0};
  char expected[256];
  while (std::getline(text, line)) {
    ASSERT_GE(line.size(), 8u) << line;
    char name = line[7];
    ASSERT_TRUE(name == 'A' || name == 'B') << line;
    int& index = next[name - 'A'];
    std::snprintf(expected, sizeof expected, line_format, name, index, filler, index);
    ASSERT_EQ(line + "\n", expected);
    ++index;
  }
  EXPECT_EQ(next[0], lines);
  EXPECT_EQ(next[1], lines);
  EXPECT_TRUE(std_error.is_active);
  EXPECT_EQ(std_error.error_code, 0);
}

}  // namespace
}  // namespace pt
