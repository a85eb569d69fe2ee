// The arguments of checked formatted output (outstm::format): each argument is turned, by its
// type, into one of the four values the formatting engine reads, with an integer's width and
// signedness, and a type the engine cannot print is rejected when the call is compiled.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "ortolib/core/string.h"

namespace pt {

// One argument as the engine reads it. The directive decides what it needs: a directive finds
// its value when the argument is of a kind that directive reads (format.h); otherwise it
// writes a marker that says so.
struct format_arg {
  enum class kind : std::uint8_t {
    integer,  // every integer type, bool, characters, unscoped enumerations: the value
    real,     // float, double, long double: as a double
    text,     // char pointers and arrays, pt::string, std::string, std::string_view, any class
              // with c_str()
    pointer,  // any other object pointer, nullptr
  };
  kind type = kind::integer;
  // An integer's type: its size in bytes (1 to 8) and whether it is unsigned, so that it is
  // printed at its own width whatever length modifier the directive has.
  std::uint8_t integer_size = 0;
  bool is_unsigned = false;
  union {
    std::int64_t integer;  // sign-extended; unsigned 64-bit values keep their bits
    double real;
    const char* text;
    const void* pointer;
  };
  // A text's bytes when it has a length of its own (a string_view); -1 for a zero-terminated
  // one. Either way "%s" writes the bytes before the first NUL.
  std::ptrdiff_t text_length = -1;
};

namespace format_detail {

template <class T>
inline constexpr bool is_char = std::is_same_v<std::remove_cv_t<T>, char>;

template <class T>
concept has_c_str = requires(const T& value) {
  { value.c_str() } -> std::convertible_to<const char*>;
};

template <class T>
inline constexpr bool is_c_text = (std::is_pointer_v<T> && is_char<std::remove_pointer_t<T>>) ||
                                  (std::is_array_v<T> && is_char<std::remove_extent_t<T>>);

// A text with a length of its own and no NUL after it: std::string_view, or a class that
// converts to one. Not nullptr, which converts through the view's constructor from a C text.
template <class T>
inline constexpr bool is_text_view = std::is_convertible_v<const T&, std::string_view> &&
                                     !std::is_null_pointer_v<T> && !is_c_text<T> && !has_c_str<T> &&
                                     !std::is_same_v<T, string>;

template <class T>
inline constexpr bool is_text = std::is_same_v<T, string> || has_c_str<T> || is_c_text<T> ||
                                is_text_view<T>;

template <class T>
constexpr bool is_unscoped_enum() {
  if constexpr (std::is_enum_v<T>)
    return std::is_convertible_v<T, std::underlying_type_t<T>>;
  else
    return false;
}

// 128-bit integers and scoped enumerations are left out: the engine reads at most 64 bits,
// and a scoped enumeration asks to be converted by its user.
template <class T>
inline constexpr bool is_integer =
    (std::is_integral_v<T> && sizeof(T) <= sizeof(std::int64_t)) || is_unscoped_enum<T>();

template <class T>
inline constexpr bool is_pointer = std::is_null_pointer_v<T> ||
                                   (std::is_pointer_v<std::decay_t<T>> &&
                                    !std::is_function_v<std::remove_pointer_t<T>>);

// What a directive may read from an argument of type T (format_string.h checks it).
enum class argument_class : std::uint8_t { integer, real, text, pointer, unprintable };

template <class T>
constexpr argument_class argument_class_of() {
  if constexpr (is_text<T>)
    return argument_class::text;
  else if constexpr (is_integer<T>)
    return argument_class::integer;
  else if constexpr (std::is_floating_point_v<T>)
    return argument_class::real;
  else if constexpr (is_pointer<T>)
    return argument_class::pointer;
  else
    return argument_class::unprintable;
}

// The integer type whose value and width an integer argument of type T carries.
template <class T>
using integer_type_of = typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>,
                                                    std::type_identity<T>>::type;

}  // namespace format_detail

// True when an argument of type argument_type can be printed. Its parameters appear in the
// compiler's message for a rejected argument and name it: the argument's number (1 for the
// first after the format) and its type.
template <std::size_t argument_number, class argument_type>
inline constexpr bool format_argument_is_printable =
    format_detail::is_text<argument_type> || format_detail::is_integer<argument_type> ||
    std::is_floating_point_v<argument_type> || format_detail::is_pointer<argument_type>;

// The engine's value of one argument; argument_number is its place after the format, for the
// message when the type cannot be printed.
template <std::size_t argument_number, class T>
format_arg make_format_arg(const T& value) {
  using format_detail::is_integer;
  static_assert(format_argument_is_printable<argument_number, T>,
                "pt::outstm::format cannot print this argument: "
                "format_argument_is_printable<argument number, argument type> names it. "
                "Pass a number, a pointer, a C text, a pt::string, a std::string, a "
                "std::string_view or a class with c_str()");
  format_arg arg{};
  if constexpr (std::is_same_v<T, string>) {
    arg.type = format_arg::kind::text;
    arg.text = value.text();
  } else if constexpr (format_detail::has_c_str<T>) {
    arg.type = format_arg::kind::text;
    arg.text = value.c_str();
  } else if constexpr (format_detail::is_c_text<T>) {
    arg.type = format_arg::kind::text;
    arg.text = value;
  } else if constexpr (format_detail::is_text_view<T>) {
    const std::string_view view = value;
    arg.type = format_arg::kind::text;
    arg.text = view.data();
    arg.text_length = static_cast<std::ptrdiff_t>(view.size());
  } else if constexpr (is_integer<T>) {
    using integer = format_detail::integer_type_of<T>;
    arg.type = format_arg::kind::integer;
    arg.integer_size = static_cast<std::uint8_t>(sizeof(integer));
    arg.is_unsigned = std::is_unsigned_v<integer>;
    arg.integer = static_cast<std::int64_t>(static_cast<integer>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    arg.type = format_arg::kind::real;
    arg.real = static_cast<double>(value);
  } else if constexpr (format_detail::is_pointer<T>) {
    arg.type = format_arg::kind::pointer;
    if constexpr (std::is_null_pointer_v<T>)
      arg.pointer = nullptr;
    else  // the engine only prints the address, so qualifiers do not matter
      arg.pointer = const_cast<const void*>(static_cast<const volatile void*>(value));
  }
  return arg;
}

// The engine's values of a call's arguments, in order.
template <class... Arguments>
std::array<format_arg, sizeof...(Arguments)> make_format_args(const Arguments&... arguments) {
  return [&]<std::size_t... index>(std::index_sequence<index...>) {
    return std::array<format_arg, sizeof...(Arguments)>{make_format_arg<index + 1>(arguments)...};
  }
  (std::index_sequence_for<Arguments...>());
}

}  // namespace pt
