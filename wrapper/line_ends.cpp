// LF to CR LF, 16 bytes a step on x86-64 (SSE2, which every x86-64 processor has), with a
// portable loop for other processors and for the last bytes.
#include "line_ends.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cmdwrap {
namespace {

// Line by line: a search for the next LF, a copy of what lies before it, CR LF.
char* expand_by_lines(const char* in, const char* end, char* out) {
  while (in < end) {
    const void* lf = std::memchr(in, '\n', static_cast<std::size_t>(end - in));
    const char* stop = lf != nullptr ? static_cast<const char*>(lf) : end;
    std::memcpy(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
    if (in < end) {
      out[0] = '\r';
      out[1] = '\n';
      out += 2;
      ++in;
    }
  }
  return out;
}

#if defined(__SSE2__)
// Blocks of 16 bytes: one compare finds every LF of a block; a block without one is a single
// store. Each LF ends a piece of the block: the store of 16 bytes from the piece's start lays
// it in place (and bytes past it that the next store or CR LF overwrites), then CR LF follows
// it. A line end costs a few instructions and no call, however short the lines. The stores
// reach up to 16 bytes past the last piece and the loads up to 16 bytes past the block, so
// the loop stops 32 bytes before the end of the input: what follows the last block then
// still writes at least 16 bytes, over anything stored beyond it.
// Advances in past the blocks it took.
char* expand_by_blocks(const char*& in, const char* end, char* out) {
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - in >= 32) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    auto found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    unsigned piece = 0;  // where the piece being laid starts in the block
    while (found != 0) {
      const auto at = static_cast<unsigned>(std::countr_zero(found));
      found &= found - 1;
      out += at - piece;
      out[0] = '\r';
      out[1] = '\n';
      out += 2;
      piece = at + 1;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + piece)));
    }
    out += 16 - piece;
    in += 16;
  }
  return out;
}
#endif

}  // namespace

std::size_t expand_line_ends(const char* in, std::size_t size, char* out) {
  const char* end = in + size;
  char* const start = out;
#if defined(__SSE2__)
  out = expand_by_blocks(in, end, out);
#endif
  out = expand_by_lines(in, end, out);
  return static_cast<std::size_t>(out - start);
}

}  // namespace cmdwrap
