// Input read from memory: a string's bytes as a stream, for any reader of an instm, a unit's
// input among them (the process unit feeds it to its child through a pipe).
#pragma once

#include <cstdint>

#include "ortolib/core/string.h"
#include "ortolib/streams/instm.h"

namespace pt {

// kind_code of an inmemory: an input stream (1) over memory (0x200).
inline constexpr std::int32_t kind_inmemory = 0x201;

// Reads the bytes of text, every byte as it is (NUL included), then the end of the data. The
// text is the stream's buffer: open_stream takes a copy of it (sharing its storage, so nothing
// is copied), and reads copy straight out of that, read_line a run at a time. Changing text
// while the stream is open changes nothing for this opening; the next open reads the new text.
// Each open starts again at the first byte. No OS handle, no buffer of its own: buffer_size
// is not used. Reading a closed stream raises "Stream inactive [mem]", as every stream does.
class inmemory : public instm {
 public:
  string text;  // the bytes that the next open reads

  explicit inmemory(const string& text = string());
  inmemory(const char* bytes, std::int32_t length);  // a copy of length bytes
  // Closes the stream.
  ~inmemory() override;

  std::int32_t kind_code() override;  // kind_inmemory

 protected:
  // The text of this opening becomes the buffer, and the buffer goes with the close.
  void allocate_buffer() override;
  void release_buffer() override;
  void device_open() override;    // nothing to open
  void device_close() override;   // nothing to close
  string stream_name() override;  // "mem"
  // The first fill is the whole text (position becomes its length); every later one is the
  // end of the data.
  void refill_buffer() override;

 private:
  string opened_text;  // the text of this opening, which the buffer points into
};

}  // namespace pt
