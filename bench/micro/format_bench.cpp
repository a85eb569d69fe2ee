// The formatting engine against the C library's snprintf, and integer text against
// std::to_chars.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "ortolib/core/number_text.h"
#include "ortolib/streams/outnull.h"

namespace {

void format_onto(pt::outstm& stream, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  stream.vformat(format, arguments);
  va_end(arguments);
}

constexpr const char* line_format = "%s: %d items, %08x, %.3f\n";

void Vformat(benchmark::State& state) {
  auto* stream = new pt::outnull;
  pt::addref(stream);
  stream->open_stream();
  int i = 0;
  for (auto _ : state)
    format_onto(*stream, line_format, "name", ++i, 0xbeefu, 2.5);
  pt::release(stream);
}
BENCHMARK(Vformat);

void Snprintf(benchmark::State& state) {
  char text[128];
  int i = 0;
  for (auto _ : state) {
    int length = std::snprintf(text, sizeof text, line_format, "name", ++i, 0xbeefu, 2.5);
    benchmark::DoNotOptimize(length);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(Snprintf);

void IntToString(benchmark::State& state) {
  const auto base = static_cast<std::int32_t>(state.range(0));
  std::int64_t value = -1234567890123;
  for (auto _ : state) {
    pt::string text = pt::int_to_string(value++, base, 0, 0);
    benchmark::DoNotOptimize(text.text());
  }
}
BENCHMARK(IntToString)->Arg(10)->Arg(16);

void IntToDecimal(benchmark::State& state) {
  std::int64_t value = -1234567890123;
  for (auto _ : state) {
    pt::string text = pt::int_to_decimal(value++);
    benchmark::DoNotOptimize(text.text());
  }
}
BENCHMARK(IntToDecimal);

// std::to_chars into a buffer, then a pt::string of the result: what int_to_string delivers.
void ToCharsIntoString(benchmark::State& state) {
  const int base = static_cast<int>(state.range(0));
  std::int64_t value = -1234567890123;
  for (auto _ : state) {
    char digits[72];
    auto result = std::to_chars(digits, digits + sizeof digits, value++, base);
    pt::string text(digits, static_cast<std::int32_t>(result.ptr - digits));
    benchmark::DoNotOptimize(text.text());
  }
}
BENCHMARK(ToCharsIntoString)->Arg(10)->Arg(16);

void ToChars(benchmark::State& state) {
  const int base = static_cast<int>(state.range(0));
  std::int64_t value = -1234567890123;
  for (auto _ : state) {
    char digits[72];
    auto result = std::to_chars(digits, digits + sizeof digits, value++, base);
    benchmark::DoNotOptimize(result.ptr);
    benchmark::DoNotOptimize(digits);
  }
}
BENCHMARK(ToChars)->Arg(10)->Arg(16);

}  // namespace
