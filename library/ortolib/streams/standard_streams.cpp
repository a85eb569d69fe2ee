// The process-wide standard streams, built and taken down by the start-up list.
#include "ortolib/streams/standard_streams.h"

#include "ortolib/core/global_slot.h"
#include "ortolib/platform/private/std_handles.h"

namespace pt {

namespace {

// Constant-initialised, so the references below are bound before any code runs.
constinit global_slot<infile> std_input_slot;
constinit global_slot<logfile> std_output_slot;
constinit global_slot<logfile> std_error_slot;
constinit global_slot<outnull> null_output_slot;

constexpr std::int32_t std_input_buffer_size = 4096;

}  // namespace

constinit infile& std_input = std_input_slot.value;
constinit logfile& std_output = std_output_slot.value;
constinit logfile& std_error = std_error_slot.value;
constinit outnull& null_output = null_output_slot.value;

platform::handle dup_std_handle(platform::std_handle_id which) {
  return platform::std_handle_duplicate(which);
}

void attach_std_streams() {
  std_input.attach_handle(dup_std_handle(platform::std_handle_id::input));
  std_output.attach_handle(dup_std_handle(platform::std_handle_id::output));
  std_error.attach_handle(dup_std_handle(platform::std_handle_id::error));
  std_input.set_buffer_size(std_input_buffer_size);
  std_input.open_stream();
  std_output.open_stream();
  std_error.open_stream();
  null_output.open_stream();
  addref(&std_input);
  addref(&std_output);
  addref(&std_error);
  addref(&null_output);
}

void start_standard_streams() {
  std_input_slot.build();
  std_output_slot.build();
  std_error_slot.build();
  null_output_slot.build();
  attach_std_streams();
}

void stop_standard_streams() {
  null_output_slot.destroy();
  std_error_slot.destroy();
  std_output_slot.destroy();
  std_input_slot.destroy();
}

}  // namespace pt
