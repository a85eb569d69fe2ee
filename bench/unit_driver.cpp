// The process unit's side of the benchmark's library rows: runs a program with a file's bytes as
// its standard input (pt::inmemory) and its output collected in memory (pt::outmemory), its
// standard error joined to the output or, with --split, apart in a memory stream of its own;
// then writes the output (and after it the standard error) to the output file and ends with the
// program's exit code, or 1 when the run failed. bench/python_run_peer.py does the same job.
//
//   unit_driver [--split] <input file> <output file> <program> [arguments...]
#include <cstdio>
#include <cstring>
#include <fstream>

#include <ortolib/core/ref.h>
#include <ortolib/streams/inmemory.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/units/uexec.h>

namespace {

bool write_text(std::ofstream& out, const pt::string& text) {
  return static_cast<bool>(out.write(text.text(), text.length()));
}

}  // namespace

int main(int argc, char** argv) {
  const bool split = argc > 1 && std::strcmp(argv[1], "--split") == 0;
  const int first = split ? 2 : 1;
  if (argc < first + 3) {
    std::fputs("usage: unit_driver [--split] <input file> <output file> <program> [args...]\n",
               stderr);
    return 2;
  }
  // The input, read in one go into the string the stream reads from, as Python reads its bytes.
  std::ifstream in(argv[first], std::ios::binary | std::ios::ate);
  pt::string input;
  const auto size = static_cast<std::int32_t>(in.tellg());
  in.seekg(0);
  if (!in.read(input.set_length(size), size))
    return 1;

  pt::ref program = pt::make_ref<pt::uexec>();
  program->path = argv[first + 2];
  for (int i = first + 3; i < argc; ++i)
    program->add_argument(argv[i]);
  pt::ref source = pt::make_ref<pt::inmemory>(input);
  pt::ref output = pt::make_ref<pt::outmemory>();
  pt::ref errors = pt::make_ref<pt::outmemory>();
  pt::assign_ref(program->input_stream, source);
  pt::assign_ref(program->output_stream, output);
  if (split)
    pt::assign_ref(program->error_stream, errors);
  program->run_unit(false);

  std::ofstream out(argv[first + 1], std::ios::binary | std::ios::trunc);
  if (!write_text(out, output->collected_text()) ||
      (split && !write_text(out, errors->collected_text())))
    return 1;
  return program->failed() ? 1 : program->exit_code;
}
