// The process unit uexec: starts a program with its standard output and standard error
// joined into the unit's output stream (here an outmemory, fed through a pipe), waits for it
// and keeps its exit code. A failure to run it is kept by the unit for the caller to read;
// this unit reports nothing on std_error itself.
#include <cstdint>
#include <initializer_list>

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/units/uexec.h>

namespace example {

// A process unit that leaves its errors to its caller, who reads them with last_error.
class quiet_program : public pt::uexec {
 protected:
  void report_error(const pt::string&) override {}
};

std::int32_t run_program(const char* path, std::initializer_list<const char*> arguments,
                         pt::string& output, pt::string& error) {
  pt::ref program = pt::make_ref<quiet_program>();
  pt::ref memory = pt::make_ref<pt::outmemory>();
  program->path = path;  // used as given: no search, no extension added
  for (const char* argument : arguments) {
    // Quoted on the way, so each reaches the program as one argument, byte for byte:
    // "echo hi; exit 3" stays one argument, blanks, quotes and backslashes included.
    program->add_argument(argument);
  }
  pt::assign_ref(program->output_stream, memory);  // the unit holds a reference of its own

  // A synchronous run; when it returns, the unit holds std_output again and memory keeps
  // the text. A program that cannot be started leaves exit_code at -1, and the reason,
  // "Couldn't run '<path>' ...", in last_error.
  program->run_unit(false);

  output = memory->collected_text();
  error = program->last_error();  // empty unless program->failed()
  return program->exit_code;
}

}  // namespace example
