// Output collected in memory: everything written to the stream, in one string, optionally up
// to a size limit.
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/outstm.h"

namespace pt {

// kind_code of an outmemory: an output stream (2) over memory (0x200).
inline constexpr std::int32_t kind_outmemory = 0x202;

// Unbuffered: every write goes straight into text, which grows through string::set_length
// only (no reserve of its own). A write that reaches size_limit is cut there without an error
// (the stream is then at end and later writes take nothing); was_cut and dropped_bytes tell
// afterwards. Closing, reopening or destroying the stream empties text, so take
// collected_text before closing. No OS handle.
class outmemory : public outstm {
 public:
  string text;              // the bytes written since the stream was opened
  std::int32_t size_limit;  // the greatest length of text; negative: no limit

  explicit outmemory(std::int32_t size_limit = -1);
  // Closes the stream, which empties text.
  ~outmemory() override;

  std::int32_t kind_code() override;  // kind_outmemory

  // A copy of text, sharing its storage; later writes leave the copy as it is. Raises
  // "Stream inactive" on a closed stream.
  string collected_text();

  // Whether the size limit has kept bytes out since the stream was opened, and how many: what
  // writes offered beyond the limit. Both start again at each open.
  bool was_cut() const { return dropped > 0; }
  std::int64_t dropped_bytes() const { return dropped; }

 protected:
  void device_open() override;   // nothing to open
  void device_close() override;  // empties text
  // The position that offset gives from the start (0), the write position (1) or the end of
  // text (any other origin), held to size_limit. Does not move; never raises.
  std::int64_t device_seek(std::int64_t offset, std::int32_t origin) override;
  string stream_name() override;  // "mem"
  // Stores count bytes at the write position, lengthening text as needed, and returns how
  // many were stored (fewer at the size limit, 0 for count <= 0).
  std::int32_t device_write(const void* source, std::int32_t count) override;

 private:
  std::int64_t dropped = 0;  // bytes kept out by size_limit since the last open
};

}  // namespace pt
