// Output that is discarded.
#include "ortolib/streams/outnull.h"

#include <gtest/gtest.h>

#include "ortolib/streams/estream.h"
#include "support/stream_error.h"
#include "test_streams.h"

namespace pt {
namespace {

using test::message_of;

// Reaches the protected seek.
class seekable_null : public outnull {
 public:
  using outnull::device_seek;
};

TEST(Outnull, AcceptsEverythingAndKeepsNothing) {
  outnull out;
  EXPECT_EQ(out.kind_code(), kind_outstm);
  EXPECT_EQ(out.buffer_size, 8192);
  out.open_stream();
  EXPECT_EQ(out.os_handle, platform::no_handle);
  std::string block(10000, 'n');
  EXPECT_EQ(out.write_block(block.data(), 10000), 10000);
  EXPECT_TRUE(out.end_reached);  // the first 8192 bytes were drained into nothing
  EXPECT_EQ(out.position, 0);
  out.put_byte('x');
  out.write_text("more");
  test::format_onto(out, "%d %s\n", 42, "formatted");
  out.close_stream();
  EXPECT_EQ(out.status, status_closed);
}

TEST(Outnull, ASeekIsRefusedAsThereIsNoDevice) {
  seekable_null out;
  out.open_stream();
  EXPECT_STREAM_ERROR(out.device_seek(0, 0), 29, "Can not seek on this device [<null>]");
}

}  // namespace
}  // namespace pt
