// The process unit uexec: starts a program with its standard output and standard error
// joined into the unit's output stream (here an outmemory, fed through a pipe), waits for it
// and keeps its exit code.
#include "process_unit.h"

#include <ortolib/streams/outmemory.h>
#include <ortolib/units/uexec.h>

namespace example {

std::int32_t run_program(const char* path, std::initializer_list<const char*> arguments,
                         pt::string& output) {
  auto* program = pt::addref(new pt::uexec);
  auto* memory = pt::addref(new pt::outmemory);
  program->path = path;  // used as given: no search, no extension added
  for (const char* argument : arguments) {
    // Quoted on the way, so each reaches the program as one argument, byte for byte:
    // "echo hi; exit 3" stays one argument, blanks, quotes and backslashes included.
    program->add_argument(argument);
  }
  pt::assign_ref(program->output_stream, memory);

  // A synchronous run. A program that cannot be started is reported on std_error as
  // "Error: Couldn't run '<path>' ..." and leaves exit_code at -1.
  program->run_unit(false);

  output = memory->collected_text();
  std::int32_t code = program->exit_code;
  pt::release(memory);
  pt::release(program);
  return code;
}

}  // namespace example
