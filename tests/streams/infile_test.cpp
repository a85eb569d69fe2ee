// Input from real files and attached handles, and the errors of files that cannot be opened.
#include "ortolib/streams/infile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process_settings.h"
#include "ortolib/streams/estream.h"
#include "support/child_run.h"
#include "support/scratch_file.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;
using test::scratch_file;

std::string read_all(instm& in, std::int32_t chunk) {
  std::string all, piece(static_cast<std::size_t>(chunk), '\0');
  for (;;) {
    std::int32_t got = in.read_block(piece.data(), chunk);
    if (got == 0)
      return all;
    all.append(piece, 0, static_cast<std::size_t>(got));
  }
}

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i * 31 % 256);
  return bytes;
}

TEST(Infile, ReadsAWholeFileThroughItsBufferAndAgainAfterReopening) {
  scratch_file file("infile");
  const std::string content = pattern(20000);
  file.write(content);
  infile in(file.c_str());
  EXPECT_EQ(in.kind_code(), kind_infile);
  EXPECT_EQ(in.buffer_size, 8192);
  in.open_stream();
  EXPECT_NE(in.os_handle, platform::no_handle);
  EXPECT_TRUE(read_all(in, 3000) == content);
  EXPECT_TRUE(in.at_end());
  EXPECT_EQ(in.position, 20000);
  in.close_stream();
  EXPECT_EQ(in.os_handle, platform::no_handle);

  in.set_buffer_size(0);
  in.open_stream();
  EXPECT_TRUE(read_all(in, 7000) == content);
}

TEST(Infile, AMissingFileRaisesItsNumberAndNamesTheFile) {
  scratch_file missing("missing");
  infile in;
  in.file_name = missing.c_str();
  EXPECT_STREAM_ERROR(in.open_stream(), 2, "No such file or directory [" + missing.path() + "]");
  EXPECT_TRUE(in.is_active);
  EXPECT_TRUE(in.end_reached);
  EXPECT_STREQ(in.error_message.text(), "Couldn't open");
  in.close_stream();
  EXPECT_FALSE(in.is_active);
}

TEST(Infile, AFolderIsRefusedAsAccessDenied) {
  scratch_file folder("folder");
  ASSERT_TRUE(std::filesystem::create_directory(folder.path()));
  infile in(folder.c_str());
  EXPECT_STREAM_ERROR(in.open_stream(), 13, "Access denied [" + folder.path() + "]");
}

TEST(Infile, AnAttachedHandleIsUsedOnceAndClosedWithTheStream) {
  scratch_file file("attached");
  file.write("attached bytes");
  infile in;
  in.attach_handle(platform::file_open(file.c_str(), platform::file_access::read));
  EXPECT_NE(in.given_handle, platform::no_handle);
  in.open_stream();
  EXPECT_EQ(in.os_handle, in.given_handle);
  EXPECT_EQ(read_all(in, 100), "attached bytes");
  in.close_stream();
  EXPECT_EQ(in.given_handle, platform::no_handle);
  EXPECT_EQ(in.pipe_peer_handle, platform::no_handle);
  // Without a new attachment the (empty) file name is opened.
  EXPECT_STREAM_ERROR(in.open_stream(), 2, "No such file or directory");
  EXPECT_STREQ(in.error_message.text(), "Couldn't open");
}

TEST(Infile, OthersMayWriteTheFileWhileItIsOpen) {
  scratch_file file("shared-read");
  file.write("first");
  infile in(file.c_str());
  in.open_stream();
  {
    std::ofstream other(file.path(), std::ios::binary | std::ios::app);
    ASSERT_TRUE(other.is_open());
    other << " second";
  }
  EXPECT_EQ(read_all(in, 100), "first second");
}

TEST(Infile, AnAttachmentThatIsNeverOpenedIsClosedByItsStream) {
  // Read ends given to a stream that never opens them: a write to a pipe whose reader has
  // been closed fails as a broken pipe.
  platform::process_settings_apply();  // SIGPIPE ignored, as in every program of the library
  platform::handle replaced_read, replaced_write, kept_read, kept_write;
  ASSERT_TRUE(platform::pipe_create(replaced_read, replaced_write));
  ASSERT_TRUE(platform::pipe_create(kept_read, kept_write));
  {
    infile holder;
    holder.attach_handle(replaced_read);
    holder.attach_handle(kept_read);
    EXPECT_EQ(platform::handle_write(replaced_write, "x", 1), -1);
    EXPECT_EQ(platform::stream_error_number(platform::last_error()), 32);
    EXPECT_EQ(platform::handle_write(kept_write, "x", 1), 1);
  }
  EXPECT_EQ(platform::handle_write(kept_write, "x", 1), -1);
  EXPECT_EQ(platform::stream_error_number(platform::last_error()), 32);
  platform::handle_close(replaced_write);
  platform::handle_close(kept_write);
}

}  // namespace
}  // namespace pt
