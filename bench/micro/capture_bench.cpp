// The capture path without the pipe: the allocator's growth by pages against the C heap's, a
// memory stream taking 2048-byte chunks, and the result file's LF translation (alone, and in
// the result write) against a copy and a raw write of the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "line_ends.h"
#include "ortolib/core/memory.h"
#include "ortolib/streams/outmemory.h"
#include "result_file.h"

namespace {

constexpr std::int32_t chunk = 2048;

void MemReallocGrowth(benchmark::State& state) {
  const auto total = static_cast<std::uint32_t>(state.range(0));
  for (auto _ : state) {
    void* block = nullptr;
    for (std::uint32_t size = 4096; size <= total; size += 4096) {
      block = pt::mem_realloc(block, size);
      static_cast<char*>(block)[size - 1] = 1;  // touch the new page, as a writer would
    }
    pt::mem_free(block);
  }
  state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(MemReallocGrowth)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

void CReallocGrowth(benchmark::State& state) {
  const auto total = static_cast<std::size_t>(state.range(0));
  for (auto _ : state) {
    void* block = nullptr;
    for (std::size_t size = 4096; size <= total; size += 4096) {
      block = std::realloc(block, size);
      static_cast<char*>(block)[size - 1] = 1;
    }
    std::free(block);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(total));
}
BENCHMARK(CReallocGrowth)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

// What the copy loop does with each chunk it reads: write_block onto the memory stream.
void OutmemoryCapture(benchmark::State& state) {
  const auto total = static_cast<std::int64_t>(state.range(0));
  char piece[chunk];
  std::memset(piece, 'x', sizeof piece);
  auto* stream = new pt::outmemory(-1);
  pt::addref(stream);
  for (auto _ : state) {
    stream->open_stream();
    for (std::int64_t size = 0; size < total; size += chunk)
      stream->write_block(piece, chunk);
    benchmark::DoNotOptimize(stream->collected_text().text());
    stream->close_stream();
  }
  pt::release(stream);
  state.SetBytesProcessed(state.iterations() * total);
}
BENCHMARK(OutmemoryCapture)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

// The same chunks appended to a buffer grown by hand: the reference for the stream's overhead.
void PlainBufferCapture(benchmark::State& state) {
  const auto total = static_cast<std::size_t>(state.range(0));
  char piece[chunk];
  std::memset(piece, 'x', sizeof piece);
  for (auto _ : state) {
    char* buffer = nullptr;
    std::size_t size = 0, capacity = 0;
    for (; size < total; size += chunk) {
      if (size + chunk > capacity) {
        capacity += 4096;
        buffer = static_cast<char*>(std::realloc(buffer, capacity));
      }
      std::memcpy(buffer + size, piece, chunk);
    }
    benchmark::DoNotOptimize(buffer);
    std::free(buffer);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(total));
}
BENCHMARK(PlainBufferCapture)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

// Output of lines (range 1: bytes per line, 0 for none) to translate.
std::string output_text(std::size_t size, std::size_t line_length) {
  std::string text(size, 'x');
  if (line_length > 0)
    for (std::size_t i = line_length - 1; i < size; i += line_length)
      text[i] = '\n';
  return text;
}

std::string scratch_path() {
  const char* folder = std::getenv("TMPDIR");
  return std::string(folder != nullptr ? folder : "/tmp") + "/orto_bench_result.txt";
}

void ResultFileWrite(benchmark::State& state) {
  const std::string text = output_text(static_cast<std::size_t>(state.range(0)),
                                       static_cast<std::size_t>(state.range(1)));
  const std::string path = scratch_path();
  for (auto _ : state) {
    std::FILE* file = cmdwrap::open_result_file(path.c_str());
    if (cmdwrap::write_result_file(file, text, 0) != 0)
      state.SkipWithError("write_result_file failed");
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(ResultFileWrite)
    ->Args({64 << 20, 0})
    ->Args({64 << 20, 64})
    ->Args({64 << 20, 8})
    ->Unit(benchmark::kMillisecond);

// The translation alone, into memory, against a plain copy of the same bytes (line length 0).
void LineEndExpansion(benchmark::State& state) {
  const std::string text =
      output_text(std::size_t{1} << 20, static_cast<std::size_t>(state.range(0)));
  std::string out(2 * text.size(), '\0');
  for (auto _ : state) {
    if (state.range(0) == 0)
      std::memcpy(out.data(), text.data(), text.size());
    else
      benchmark::DoNotOptimize(cmdwrap::expand_line_ends(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(LineEndExpansion)->Arg(0)->Arg(64)->Arg(8);

// The same bytes written raw, untranslated, in one call: the floor for the result write.
void RawFileWrite(benchmark::State& state) {
  const std::string text = output_text(static_cast<std::size_t>(state.range(0)),
                                       static_cast<std::size_t>(state.range(1)));
  const std::string path = scratch_path();
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size())
      state.SkipWithError("fwrite failed");
    std::fclose(file);
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(RawFileWrite)
    ->Args({64 << 20, 0})
    ->Args({64 << 20, 64})
    ->Args({64 << 20, 8})
    ->Unit(benchmark::kMillisecond);

}  // namespace
