// The throwing convention: heap exceptions thrown and caught by pointer.
#include "ortolib/core/exception.h"

#include <gtest/gtest.h>

namespace pt {
namespace {

// A derived exception in the way the stream errors extend the base.
class derived_error : public exception {
 public:
  derived_error(const string& message, bool& destroyed)
      : exception(message), destroyed(destroyed) {}
  ~derived_error() override { destroyed = true; }
  bool& destroyed;
};

TEST(Exception, ThrownAndCaughtByPointer) {
  string text("could not open");
  try {
    throw new exception(text);
  } catch (exception* error) {
    string message = error->get_message();
    EXPECT_STREQ(message.text(), "could not open");
    EXPECT_EQ(message.text(), text.text());  // shared, not copied
    EXPECT_EQ(text.refcount(), 3);
    delete error;
  }
  EXPECT_EQ(text.refcount(), 1);
}

TEST(Exception, DerivedPointerCaughtAsBaseAndDeletedThroughIt) {
  bool destroyed = false;
  try {
    throw new derived_error(string("stream failed"), destroyed);
  } catch (exception* error) {
    EXPECT_STREQ(error->get_message().text(), "stream failed");
    delete error;
  }
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace pt
