// The library's globals and the one list that builds them at start-up and takes them down at
// program end, in reverse. It defines globals_order (core/globals_order.h): the list sees globals
// of every floor up to the standard streams, so it sits above them, while the counter it runs is
// declared in core, where the lowest headers that declare a global can include it.
#include "ortolib/core/charset.h"
#include "ortolib/core/global_slot.h"
#include "ortolib/core/globals_order.h"
#include "ortolib/core/string.h"
#include "ortolib/core/variant.h"
#include "ortolib/platform/private/process_settings.h"
#include "ortolib/streams/format_flags.h"
#include "ortolib/streams/standard_streams.h"

namespace pt {

namespace {

// Constant-initialised, so the references below are bound before any code runs.
constinit global_slot<string> empty_string_slot;
constinit global_slot<variant> null_variant_slot;
constinit global_slot<charset> format_flag_chars_slot;

// Translation units whose globals_order objects are alive. Static initialisation and
// program end run on one thread.
int user_count = 0;

void start_library() {
  platform::process_settings_apply();
  empty_string_slot.build();
  null_variant_slot.build();
  format_flag_chars_slot.build();
  charset_parse(format_flag_chars_slot.value, format_flag_pattern);
  start_standard_streams();
}

void stop_library() {
  stop_standard_streams();
  format_flag_chars_slot.destroy();
  null_variant_slot.destroy();
  empty_string_slot.destroy();
}

}  // namespace

constinit string& empty_string = empty_string_slot.value;
constinit variant& null_variant = null_variant_slot.value;
constinit charset& format_flag_chars = format_flag_chars_slot.value;

globals_order::globals_order() noexcept {
  if (user_count++ == 0)
    start_library();
}

globals_order::~globals_order() {
  if (--user_count == 0)
    stop_library();
}

}  // namespace pt
