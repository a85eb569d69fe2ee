// Output to real files: truncation, appending, sharing, flushing, and attached handles.
#include "ortolib/streams/outfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/infile.h"
#include "support/child_run.h"
#include "support/on_windows.h"
#include "support/scratch_file.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::on_windows;

using test::message_of;
using test::scratch_file;

TEST(Outfile, ReplacesAnExistingFileAtOpen) {
  scratch_file file("truncate");
  file.write("old content that is longer");
  outfile out(file.c_str());
  EXPECT_EQ(out.kind_code(), kind_outfile);
  EXPECT_FALSE(out.append_mode);
  out.open_stream();
  EXPECT_EQ(file.read(), "");  // at the open, not at the first write
  out.write_text("new");
  out.close_stream();
  EXPECT_EQ(file.read(), "new");
}

TEST(Outfile, AppendKeepsTheContentAndCreatesAMissingFile) {
  scratch_file file("append");
  outfile out(file.c_str(), true);
  out.open_stream();
  out.write_text("one");
  out.close_stream();
  EXPECT_EQ(file.read(), "one");
  out.open_stream();
  out.write_text(" two");
  out.close_stream();
  EXPECT_EQ(file.read(), "one two");
  EXPECT_EQ(out.position, 4);  // bytes written since the open, not the file offset
}

TEST(Outfile, BufferedOutputReachesTheFileOnFlushAndAtClose) {
  scratch_file file("flush");
  const std::string big(20000, 'b');
  outfile out(file.c_str());
  out.open_stream();
  out.write_text("small");
  EXPECT_EQ(file.read(), "");
  out.flush_output();
  EXPECT_EQ(file.read(), "small");
  out.write_block(big.data(), static_cast<std::int32_t>(big.size()));
  EXPECT_EQ(file.read().size(), 5u + 16384u);  // two whole buffers so far
  out.close_stream();
  EXPECT_TRUE(file.read() == "small" + big);
}

TEST(Outfile, OthersMayReadAndWriteTheFileButNotDeleteIt) {
  scratch_file file("shared-write");
  outfile out(file.c_str());
  out.set_buffer_size(0);
  out.open_stream();
  out.write_text("mine");
  EXPECT_EQ(file.read(), "mine");
  outfile second(file.c_str(), true);
  second.open_stream();
  second.write_text("+theirs");
  second.close_stream();
  infile reader(file.c_str());
  reader.open_stream();
  char bytes[32];
  EXPECT_EQ(std::string(bytes, static_cast<std::size_t>(reader.read_block(bytes, 32))),
            "mine+theirs");
  if (on_windows()) {  // delete sharing is not granted; POSIX cannot refuse an unlink
    std::error_code refused;
    EXPECT_FALSE(std::filesystem::remove(file.path(), refused));
    EXPECT_TRUE(std::filesystem::exists(file.path()));
  }
}

TEST(Outfile, AFileThatCannotBeCreatedRaisesCouldntOpen) {
  scratch_file folder("no-such-folder");
  const std::string path = folder.path() + "/file";
  for (bool append : {false, true}) {
    outfile out(path.c_str(), append);
    EXPECT_STREAM_ERROR(out.open_stream(), 2, "No such file or directory [" + path + "]");
    EXPECT_STREQ(out.error_message.text(), "Couldn't open");
    EXPECT_TRUE(out.is_active);
  }
}

TEST(Outfile, AnAttachedHandleIsUsedAsItIsEvenInAppendMode) {
  scratch_file file("attached-out");
  file.write("0123456789");
  platform::handle h = platform::file_open(file.c_str(), platform::file_access::write_append);
  ASSERT_NE(h, platform::no_handle);
  outfile out;
  out.append_mode = true;
  out.attach_handle(h);
  out.open_stream();
  EXPECT_EQ(out.os_handle, h);
  out.write_text("ab");  // no seek to the end: written at the start
  out.close_stream();
  EXPECT_EQ(out.given_handle, platform::no_handle);
  EXPECT_EQ(file.read(), "ab23456789");
}

TEST(Outfile, AnAttachmentThatIsNeverOpenedIsClosedByItsStream) {
  // Write ends given to a stream that never opens them: once closed, the reader sees the end.
  platform::handle replaced_read, replaced_write, kept_read, kept_write;
  ASSERT_TRUE(platform::pipe_create(replaced_read, replaced_write));
  ASSERT_TRUE(platform::pipe_create(kept_read, kept_write));
  std::string rest;
  {
    outfile holder;
    holder.attach_handle(replaced_write);
    holder.attach_handle(kept_write);
    EXPECT_TRUE(test::read_to_end(replaced_read, rest));
  }
  EXPECT_TRUE(test::read_to_end(kept_read, rest));
  EXPECT_EQ(rest, "");
  platform::handle_close(replaced_read);
  platform::handle_close(kept_read);
}

}  // namespace
}  // namespace pt
