// Output that is discarded.
#pragma once

#include <cstdint>

#include "ortolib/streams/outstm.h"

namespace pt {

// kind_code of an outnull: that of outstm, since it has no device.
inline constexpr std::int32_t kind_outnull = kind_outstm;

// Accepts every write; the bytes collect in an 8192-byte buffer whose drains the device takes
// none of, so the stream turns at end after the first drain without the writer noticing. No OS
// handle; a seek raises 29 "Can not seek on this device [<null>]".
class outnull : public outstm {
 public:
  outnull();
  // Closes the stream.
  ~outnull() override;

  std::int32_t kind_code() override;  // kind_outnull, that of outstm

 protected:
  void device_open() override;    // nothing to open
  void device_close() override;   // nothing to close
  string stream_name() override;  // "<null>"
  // Stores none.
  std::int32_t device_write(const void* source, std::int32_t count) override;
};

}  // namespace pt
