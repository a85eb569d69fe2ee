// Private to the library (not installed): the process's standard handles. Backend:
// std_handles.cpp, which also defines unusable_handle (types.h).
#pragma once

#include "ortolib/platform/types.h"

namespace pt::platform {

// Returns a duplicate of the process's standard handle that no child inherits (a child given
// it as a standard handle gets it there alone, process_start), or unusable_handle when
// there is none or it cannot be duplicated. On POSIX the duplicate is never 0, 1 or 2, and a
// closed standard descriptor is reopened on /dev/null, so that no file or pipe opened later
// can take its number (and a child or a stray write to it would hit the wrong file). When the
// process may open no more descriptors (EMFILE), the standard descriptor itself is returned,
// and closing that handle closes it.
handle std_handle_duplicate(std_handle_id which);

}  // namespace pt::platform
