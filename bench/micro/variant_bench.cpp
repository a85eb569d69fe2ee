// Variant arrays against std::vector<std::variant>: building an argument list and reading it
// back as text, the way the process unit builds its command line.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ortolib/core/variant.h"

namespace {

void VariantArrayBuild(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  const pt::variant item("\"an argument\"");
  for (auto _ : state) {
    pt::variant list;
    for (std::int32_t i = 0; i < count; ++i)
      pt::array_add(list, item);
    benchmark::DoNotOptimize(pt::array_length(list));
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(VariantArrayBuild)->Arg(8)->Arg(1024);

void StdVariantVectorBuild(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  using value = std::variant<std::monostate, std::int64_t, double, std::string>;
  const value item(std::string("\"an argument\""));
  for (auto _ : state) {
    std::vector<value> list;
    for (std::size_t i = 0; i < count; ++i)
      list.push_back(item);
    benchmark::DoNotOptimize(list.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(StdVariantVectorBuild)->Arg(8)->Arg(1024);

void VariantArrayReadAsText(benchmark::State& state) {
  const auto count = static_cast<std::int32_t>(state.range(0));
  pt::variant list;
  for (std::int32_t i = 0; i < count; ++i)
    pt::array_add(list, pt::variant(i % 2 == 0 ? pt::variant("text") : pt::variant(i)));
  for (auto _ : state) {
    std::int64_t length = 0;
    for (std::int32_t i = 0; i < pt::array_length(list); ++i)
      length += pt::variant_to_string(pt::array_item(list, i)).length();
    benchmark::DoNotOptimize(length);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(VariantArrayReadAsText)->Arg(8)->Arg(1024);

}  // namespace
