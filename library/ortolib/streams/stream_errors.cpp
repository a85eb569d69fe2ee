// The texts of the stream error numbers.
#include "ortolib/streams/stream_errors.h"

namespace pt {

const char* stream_error_text(std::int32_t number) {
  switch (number) {
    case error_no_such_file: return "No such file or directory";
    case error_bad_descriptor: return "Invalid file descriptor";
    case error_out_of_memory: return "Not enough memory";
    case error_access_denied: return "Access denied";
    case error_file_exists: return "File already exists";
    case error_no_such_device: return "No such device";
    case error_too_many_open_files: return "Too many open files";
    case error_file_too_large: return "File too large";
    case error_disk_full: return "Disk full";
    case error_cannot_seek: return "Can not seek on this device";
    case error_read_only: return "Read-only file system";
    case error_broken_pipe: return "Broken pipe";
    default: return nullptr;
  }
}

}  // namespace pt
