// Input over a string: the string's storage serves as the stream buffer.
#include "ortolib/streams/inmemory.h"

namespace pt {

inmemory::inmemory(const string& text) : instm(0), text(text) {}

inmemory::inmemory(const char* bytes, std::int32_t length) : instm(0), text(bytes, length) {}

inmemory::~inmemory() { close_stream(); }

std::int32_t inmemory::kind_code() { return kind_inmemory; }

void inmemory::allocate_buffer() {
  opened_text = text;
  // The input paths only ever read from the buffer, so the shared storage is never written.
  buffer = const_cast<char*>(opened_text.text());
  buffer_pos = 0;
  buffer_end = 0;
}

void inmemory::release_buffer() {
  buffer = nullptr;
  buffer_pos = 0;
  buffer_end = 0;
  opened_text.clear();
}

void inmemory::device_open() {}

void inmemory::device_close() {}

string inmemory::stream_name() { return "mem"; }

void inmemory::refill_buffer() {
  if (!is_active)
    raise_inactive();
  buffer_pos = 0;
  if (position == 0 && opened_text.length() > 0) {
    buffer_end = opened_text.length();
    position = buffer_end;
    set_status(status_reading);
    return;
  }
  buffer_end = 0;
  end_reached = true;
  set_status(status_at_end);
}

}  // namespace pt
