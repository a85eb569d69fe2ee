// Keeping, throwing and dropping an exception caught elsewhere.
#include "ortolib/core/pending_exception.h"

#include <utility>

#include "ortolib/core/exception.h"

namespace pt {
namespace {

// An exception that will never be thrown: a library exception is deleted by its owner.
void drop(std::exception_ptr dropped) {
  try {
    std::rethrow_exception(std::move(dropped));
  } catch (exception* error) {
    delete error;
  } catch (...) {  // NOLINT(bugprone-empty-catch): any other type owns nothing of ours
  }
}

}  // namespace

pending_exception::~pending_exception() {
  if (kept)
    drop(std::move(kept));
}

void pending_exception::keep_current() {
  if (kept)
    drop(std::current_exception());
  else
    kept = std::current_exception();
}

void pending_exception::rethrow() {
  if (kept)
    std::rethrow_exception(std::exchange(kept, nullptr));
}

}  // namespace pt
