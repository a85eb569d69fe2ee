// Input streams: pt::inmemory reads the bytes of a string, and a stream of one's own derives
// from pt::instm and supplies its device: device_open, device_read and stream_name, and a
// close_stream() in its destructor. Either serves wherever an input stream does, as the input
// of a process unit too, which feeds it to the program through a pipe.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/inmemory.h>
#include <ortolib/streams/instm.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/units/uexec.h>

namespace example {

// count bytes of pattern, repeated, made as they are read; each open starts again.
class pattern_input : public pt::instm {
 public:
  // Buffered (-1: the default 8192 bytes), so device_read is asked for whole buffers.
  pattern_input(const pt::string& pattern, std::int64_t count)
      : pt::instm(-1), pattern(pattern), count(count) {}
  // Closed here, while device_read and the fields are still this class's.
  ~pattern_input() override { close_stream(); }

 protected:
  void device_open() override { made = 0; }
  // Up to size bytes into destination; 0 is the end of the data. A failure would be thrown
  // with raise_stream_error(number, "Couldn't read"), which names the stream.
  std::int32_t device_read(void* destination, std::int32_t size) override {
    auto* to = static_cast<char*>(destination);
    std::int32_t done = 0;
    while (done < size && made < count && !pattern.is_empty()) {
      const std::int64_t offset = made % pattern.length();
      const auto n = static_cast<std::int32_t>(
          std::min({std::int64_t{size - done}, count - made, pattern.length() - offset}));
      std::memcpy(to + done, pattern.text() + offset, static_cast<std::size_t>(n));
      done += n;
      made += n;
    }
    return done;
  }
  // In error messages: "Stream inactive [pattern]".
  pt::string stream_name() override { return "pattern"; }

 private:
  pt::string pattern;
  std::int64_t count;
  std::int64_t made = 0;
};

pt::ref<pt::instm> make_pattern_input(const pt::string& pattern, std::int64_t count) {
  return pt::make_ref<pattern_input>(pattern, count);
}

std::int32_t count_lines_of(const pt::string& text) {
  pt::ref input = pt::make_ref<pt::inmemory>(text);  // shares text's bytes: nothing copied
  input->open_stream();
  std::int32_t lines = 0;
  pt::string line;
  while (input->read_line(line))
    ++lines;
  return lines;
}

pt::string run_with_input(const char* path, const char* argument, pt::instm& input,
                          std::int32_t output_limit, pt::string& error) {
  pt::ref program = pt::make_ref<pt::uexec>();
  pt::ref memory = pt::make_ref<pt::outmemory>(output_limit);
  program->path = path;
  program->add_argument(argument);
  pt::assign_ref(program->input_stream, &input);  // the caller holds a reference of its own
  pt::assign_ref(program->output_stream, memory);
  program->run_unit(false);  // opens the input and feeds it on a thread of its own
  // An output cut at its limit fails the run, and memory keeps the text up to the limit:
  // "Output cut at its limit of <limit> bytes (<n> more bytes dropped)". memory->was_cut()
  // and memory->dropped_bytes() tell the same.
  error = program->last_error();
  return memory->collected_text();
}

}  // namespace example
