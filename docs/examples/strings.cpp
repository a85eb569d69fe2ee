// Strings: a copy shares its original's block until one of them changes, and every change
// first makes the block private, so the other value keeps its text. A string holds any
// bytes; length() counts them all, while text() reads as C text up to the first NUL.
#include "strings.h"

namespace example {

pt::string greet(const pt::string& name) {
  pt::string greeting = "hello";  // a new block, count 1
  pt::string saved = greeting;    // the same block, count 2: no bytes copied
  greeting += ", ";               // greeting first gets a block of its own
  greeting += name;
  return saved + " -> " + greeting;  // saved still reads "hello"
}

pt::string make_record(const char* key, const char* value) {
  pt::string record = key;
  record += '\0';  // a NUL is a byte like any other
  record.append(value);
  return record;
}

pt::string record_value(const pt::string& record) {
  // find_char searches the C text, so for NUL it gives the first one, or the length.
  std::int32_t nul = pt::find_char('\0', record);
  if (nul >= record.length())
    return pt::string();
  return pt::string(record.text() + nul + 1, record.length() - nul - 1);
}

}  // namespace example
