// Strings against std::string: appends that grow a text (the capture's 2048-byte chunks, and
// short pieces) and copies, which share a block where std::string copies its characters.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "ortolib/core/string.h"

namespace {

void StringAppend(benchmark::State& state) {
  const auto piece_size = static_cast<std::int32_t>(state.range(0));
  const auto total = static_cast<std::int32_t>(state.range(1));
  std::string piece(static_cast<std::size_t>(piece_size), 'x');
  for (auto _ : state) {
    pt::string text;
    for (std::int32_t size = 0; size < total; size += piece_size)
      text.append(piece.data(), piece_size);
    benchmark::DoNotOptimize(text.text());
  }
  state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(StringAppend)->Args({16, 64 << 10})->Args({2048, 1 << 20})->Args({2048, 64 << 20});

void StdStringAppend(benchmark::State& state) {
  const auto piece_size = static_cast<std::size_t>(state.range(0));
  const auto total = static_cast<std::size_t>(state.range(1));
  std::string piece(piece_size, 'x');
  for (auto _ : state) {
    std::string text;
    for (std::size_t size = 0; size < total; size += piece_size)
      text.append(piece);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(total));
}
BENCHMARK(StdStringAppend)->Args({16, 64 << 10})->Args({2048, 1 << 20})->Args({2048, 64 << 20});

void StringCopy(benchmark::State& state) {
  const pt::string source(std::string(static_cast<std::size_t>(state.range(0)), 'x').c_str());
  for (auto _ : state) {
    pt::string copy(source);
    benchmark::DoNotOptimize(copy.text());
  }
}
BENCHMARK(StringCopy)->Arg(8)->Arg(64)->Arg(4096);

void StdStringCopy(benchmark::State& state) {
  const std::string source(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::string copy(source);
    benchmark::DoNotOptimize(copy.data());
  }
}
BENCHMARK(StdStringCopy)->Arg(8)->Arg(64)->Arg(4096);

// A copy that is then changed: the copy-on-write price, paid once.
void StringCopyThenWrite(benchmark::State& state) {
  const pt::string source(std::string(static_cast<std::size_t>(state.range(0)), 'x').c_str());
  for (auto _ : state) {
    pt::string copy(source);
    copy.make_unique()[0] = 'y';
    benchmark::DoNotOptimize(copy.text());
  }
}
BENCHMARK(StringCopyThenWrite)->Arg(8)->Arg(64)->Arg(4096);

}  // namespace
