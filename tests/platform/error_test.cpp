// The per-thread last error and the mapping of OS errors to stream error numbers.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ortolib/platform/error_numbers.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"

namespace pt::platform {
namespace {

using test::on_windows;

struct mapping_row {
  os_error os;
  int stream;
};

// The one table's numbers are the errno values its POSIX names stand for (these values are the
// same in every C runtime the library is built with), and only the I/O error has no text.
TEST(ErrorNumbers, EachNumberIsTheErrnoOfItsName) {
  const struct {
    int value;
    const char* name;
  } names[] = {{ENOENT, "ENOENT"}, {EIO, "EIO"},       {EBADF, "EBADF"},   {ENOMEM, "ENOMEM"},
               {EACCES, "EACCES"}, {EEXIST, "EEXIST"}, {ENODEV, "ENODEV"}, {EMFILE, "EMFILE"},
               {EFBIG, "EFBIG"},   {ENOSPC, "ENOSPC"}, {ESPIPE, "ESPIPE"}, {EROFS, "EROFS"},
               {EPIPE, "EPIPE"}};
  for (const auto& row : names) {
    ASSERT_NE(error_number_name(row.value), nullptr) << row.name;
    EXPECT_STREQ(error_number_name(row.value), row.name);
    EXPECT_EQ(error_number_text(row.value) == nullptr, row.value == error_io) << row.name;
  }
  EXPECT_EQ(error_number_name(22), nullptr);  // EINVAL: no row
}

TEST(StreamErrorNumber, MapsEveryKnownOsErrorAndTheRestToFive) {
  // Windows error codes there, Linux errno values here.
  const std::vector<mapping_row> rows =
      on_windows()
          ? std::vector<mapping_row>{{2, 2},    {3, 2},    {6, 9},   {8, 12},   {14, 12},
                                     {5, 13},   {32, 13},  {80, 17}, {15, 19},  {4, 24},
                                     {112, 28}, {132, 29}, {19, 30}, {109, 32}, {0, 5},
                                     {1, 5},    {87, 5},   {183, 5}, {193, 5},  {267, 5}}
          : std::vector<mapping_row>{{2, 2},
                                     {5, 5},
                                     {9, 9},
                                     {12, 12},
                                     {13, 13},
                                     {17, 17},
                                     {19, 19},
                                     {24, 24},
                                     {27, 27},
                                     {28, 28},
                                     {29, 29},
                                     {30, 30},
                                     {32, 32},
                                     {1, 13},
                                     {0, 5},
                                     {3, 5},
                                     {4, 5},
                                     {11, 5},
                                     {22, 5},
                                     {110, 5},
                                     // As their Windows counterparts read: ENOTDIR, EISDIR,
                                     // ETXTBSY, ENFILE, EDQUOT; ENAMETOOLONG and ELOOP stay 5.
                                     {20, 2},
                                     {21, 13},
                                     {26, 13},
                                     {23, 24},
                                     {122, 28},
                                     {36, 5},
                                     {40, 5}};
  for (const mapping_row& row : rows)
    EXPECT_EQ(stream_error_number(row.os), row.stream) << "OS error " << row.os;
}

TEST(StreamErrorNumber, TheSameFailureReadsAlikeOnBothSystems) {
  test::scratch_file plain("plain"), folder("folder");
  plain.write("x");
  ASSERT_TRUE(std::filesystem::create_directory(folder.path()));
  const std::string under_a_file = plain.path() + "/name";
  struct row {
    const char* path;
    file_access access;
    int stream;
  };
  for (row r : {row{under_a_file.c_str(), file_access::read, 2},
                row{under_a_file.c_str(), file_access::write_truncate, 2},
                row{folder.c_str(), file_access::write_truncate, 13}}) {
    EXPECT_EQ(file_open(r.path, r.access), no_handle) << r.path;
    EXPECT_EQ(stream_error_number(last_error()), r.stream) << r.path << ": " << last_error();
  }
}

TEST(LastError, IsKeptUntilTheNextFailureOnTheSameThread) {
  test::scratch_file missing("missing"), present("present");
  present.write("x");
  ASSERT_EQ(file_open(missing.c_str(), file_access::read), no_handle);
  EXPECT_EQ(stream_error_number(last_error()), 2);

  // Calls that succeed leave it alone.
  handle h = file_open(present.c_str(), file_access::read);
  ASSERT_NE(h, no_handle);
  EXPECT_TRUE(handle_close(h));
  EXPECT_EQ(stream_error_number(last_error()), 2);

  // A failure on another thread is that thread's own.
  int other_thread_error = 0;
  std::thread([&] {
    EXPECT_FALSE(handle_close(no_handle));
    other_thread_error = stream_error_number(last_error());
  }).join();
  EXPECT_EQ(other_thread_error, 9);
  EXPECT_EQ(stream_error_number(last_error()), 2);
}

}  // namespace
}  // namespace pt::platform
