// Running programs: the process unit as Python's subprocess.run, with its input from memory,
// standard output and standard error apart, a time limit, a working directory and changes to
// the environment, and every way the program can end read back.
#include "running_programs.h"

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/core/variant.h>
#include <ortolib/streams/inmemory.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/units/find_program.h>
#include <ortolib/units/uexec.h>

namespace example {
namespace {

// A process unit that leaves its errors to its caller, who reads them with last_error.
class quiet_run : public pt::uexec {
 protected:
  void report_error(const pt::string&) override {}
};

}  // namespace

completed_run run(const char* command, std::initializer_list<const char*> arguments,
                  const run_options& options) {
  completed_run result;
  // The unit runs its path exactly as given; find_program looks along PATH (and on Windows
  // tries the extensions of PATHEXT), as subprocess.run does for a bare name.
  const pt::string program = pt::find_program(command);
  if (program.is_empty()) {
    result.failure = pt::string("No program '") + command + "' along PATH";
    return result;
  }
  pt::ref unit = pt::make_ref<quiet_run>();
  unit->path = program;
  for (const char* argument : arguments)
    unit->add_argument(argument);  // each reaches the program whole, byte for byte

  pt::ref input = pt::make_ref<pt::inmemory>(options.input);  // shares the bytes
  pt::ref output = pt::make_ref<pt::outmemory>();
  pt::ref errors = pt::make_ref<pt::outmemory>();
  pt::assign_ref(unit->input_stream, input);
  pt::assign_ref(unit->output_stream, output);
  if (options.capture_errors)
    pt::assign_ref(unit->error_stream, errors);  // left empty, stderr joins stdout
  unit->time_limit = options.timeout_ms;         // its whole tree ends when it passes
  unit->working_directory = options.working_directory;
  for (const pt::string& change : options.changes)
    pt::array_add(unit->environment, pt::variant(change));

  unit->run_unit(false);  // feeds, collects both outputs and waits, with no deadlock

  result.exit_code = unit->exit_code;
  result.signal = unit->exit_signal;
  result.timed_out = unit->timed_out();
  result.output = output->collected_text();  // kept also when the time ran out
  if (options.capture_errors)
    result.errors = errors->collected_text();  // the unit opened it for the run
  result.failure = unit->last_error();         // empty unless unit->failed()
  return result;
}

}  // namespace example
