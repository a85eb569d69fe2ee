// The format of a checked call (outstm::format, format_to_string): a literal format is checked
// against the call's argument types when the call is compiled, and a format made at run time
// is marked as such with runtime_format, to be checked while it is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "ortolib/config.h"
#include "ortolib/core/string.h"
#include "ortolib/streams/format_args.h"
#include "ortolib/streams/format_directives.h"
#include "ortolib/streams/format_syntax.h"

namespace pt {

// The compiler's message for a literal format that does not match its call names one of
// these functions, with the directive's conversion letter, the argument's number (1 for the
// first after the format) and its type in the template arguments. They are never called: the
// check calls one while the compiler evaluates it, which is not allowed and so stops the build.
namespace format_error {

// The directive cannot print that argument: a text for "%d", a number for "%s", a real for "%x".
template <char directive, std::size_t argument_number, class argument_type>
void directive_cannot_print_argument() {}

// Too few arguments: the directive has none left to read.
template <char directive, std::size_t argument_number>
void directive_has_no_argument() {}

// Too many arguments: no directive reads this one.
template <std::size_t argument_number, class argument_type>
void argument_has_no_directive() {}

// A directive the engine does not know ("%y", "%*d", "%5%", "%hy", "%I64d") or flag characters
// out of their order ("%5-d"); the character is where reading stopped.
template <char character>
void unknown_directive() {}

// A "%" that ends the format, or a byte outside printable ASCII where a directive's conversion
// letter should be.
inline void incomplete_directive() {}

// More flag, width and precision characters than the engine reads (format_syntax::flag_limit).
inline void too_many_flag_characters() {}

}  // namespace format_error

namespace format_detail {

// The conversion letters, for the functions below that name one in a message.
#define ORTO_CONVERSION_LETTER(letter, kind, reads, writer) , letter
using syntax_letters = std::integer_sequence<char ORTO_FORMAT_DIRECTIVES(ORTO_CONVERSION_LETTER)>;
#undef ORTO_CONVERSION_LETTER

// Whether an argument of class given is one that a directive of the reads column takes.
constexpr bool accepts(format_syntax::accepted reads, argument_class given) {
  switch (reads) {
    case format_syntax::accepted::integer: return given == argument_class::integer;
    case format_syntax::accepted::real_or_integer:
      return given == argument_class::real || given == argument_class::integer;
    case format_syntax::accepted::text: return given == argument_class::text;
    case format_syntax::accepted::pointer_or_text:
      return given == argument_class::pointer || given == argument_class::text;
  }
  return false;
}

// Whether the directive of a conversion letter reads an argument of class given (the table's
// reads column). An unknown letter reads nothing; the check reports it before it asks.
constexpr bool directive_reads(char conversion, argument_class given) {
  for (const format_syntax::conversion_row& row : format_syntax::conversion_rows)
    if (row.letter == conversion)
      return accepts(row.reads, given);
  return false;
}

// The argument's type as the message names it: a literal "text" as const char*.
template <class T>
using named_type = std::decay_t<const T>;

template <std::size_t number, class T, char... letters>
consteval void cannot_print(char conversion, std::integer_sequence<char, letters...>) {
  ((conversion == letters
        ? format_error::directive_cannot_print_argument<letters, number, named_type<T>>()
        : void()),
   ...);
}

template <std::size_t number, char... letters>
consteval void has_no_argument(char conversion, std::integer_sequence<char, letters...>) {
  ((conversion == letters ? format_error::directive_has_no_argument<letters, number>() : void()),
   ...);
}

template <char... printable>
consteval void report_unknown(char stop, std::integer_sequence<char, printable...>) {
  if (stop < ' ' || stop > '~')
    format_error::incomplete_directive();
  ((stop == printable + ' ' ? format_error::unknown_directive<printable + ' '>() : void()), ...);
}

// Calls the function that names argument index (from 0) and its type.
template <class... Arguments, std::size_t... index>
consteval void report_argument([[maybe_unused]] std::size_t at, [[maybe_unused]] char conversion,
                               [[maybe_unused]] bool is_extra, std::index_sequence<index...>) {
  ((at == index
        ? (is_extra ? format_error::argument_has_no_directive<index + 1, named_type<Arguments>>()
                    : cannot_print<index + 1, Arguments>(conversion, syntax_letters()))
        : void()),
   ...);
}

// The check of a literal format: each directive against the argument it reads, then the
// arguments no directive reads. Stops the build at the first mismatch.
template <class... Arguments>
consteval void check_format(const char* format) {
  constexpr std::size_t count = sizeof...(Arguments);
  constexpr argument_class classes[count + 1] = {argument_class_of<Arguments>()...,
                                                 argument_class::unprintable};
  const auto indices = std::index_sequence_for<Arguments...>();
  std::size_t next = 0;
  for (const char* at = format; at != nullptr && *at != '\0';) {
    if (*at != '%') {
      ++at;
      continue;
    }
    const auto directive = format_syntax::read_directive(at, true, format_syntax::is_flag);
    at = directive.end;
    if (directive.form == format_syntax::shape::percent)
      continue;
    constexpr auto printable = std::make_integer_sequence<char, '~' - ' ' + 1>();
    if (directive.form == format_syntax::shape::unknown &&
        directive.flag_count == format_syntax::flag_limit &&
        format_syntax::is_flag(directive.conversion))
      format_error::too_many_flag_characters();
    if (directive.form != format_syntax::shape::complete)
      report_unknown(directive.conversion, printable);
    const int misplaced =
        format_syntax::first_misplaced_flag(directive.flags, directive.flag_count);
    if (misplaced < directive.flag_count)
      report_unknown(directive.flags[misplaced], printable);
    if (next == count)
      has_no_argument<count + 1>(directive.conversion, syntax_letters());
    // An argument that cannot be printed at all is named by format_argument_is_printable.
    else if (classes[next] != argument_class::unprintable &&
             !directive_reads(directive.conversion, classes[next]))
      report_argument<Arguments...>(next, directive.conversion, false, indices);
    ++next;
  }
  if (next < count)
    report_argument<Arguments...>(next, '\0', true, indices);
}

}  // namespace format_detail

// A format made at run time, for a checked call: its directives are matched with the
// arguments while it is written, and a mismatch leaves a marker in the text (format.h).
struct runtime_format_text {
  const char* text;
};

// The format in text, checked at run time; text must outlive the call it is given to.
constexpr runtime_format_text runtime_format(const char* text) noexcept { return {text}; }
inline runtime_format_text runtime_format(const string& text) noexcept { return {text.text()}; }
inline runtime_format_text runtime_format(const std::string& text) noexcept {
  return {text.c_str()};
}

// The format of a call with arguments of the types Arguments. Made from a literal (or any
// constant zero-terminated text), it is checked when the call is compiled: each directive must
// read its argument (format_detail::directive_reads), every argument must be read, and every
// directive must be one the engine knows; otherwise the build stops with a message naming a
// function of format_error, which tells what is wrong and where. Made from runtime_format, it
// is checked as it is written.
template <class... Arguments>
class basic_format_string {
 public:
  consteval basic_format_string(const char* constant) : format(constant) {
    format_detail::check_format<Arguments...>(constant);
  }
  constexpr basic_format_string(runtime_format_text runtime) noexcept : format(runtime.text) {}

  constexpr const char* text() const noexcept { return format; }

 private:
  const char* format;
};

// The parameter type of a checked call: the argument types come from the call's own arguments,
// not from the format.
template <class... Arguments>
using format_string = basic_format_string<std::type_identity_t<Arguments>...>;

}  // namespace pt
