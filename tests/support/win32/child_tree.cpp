// Windows: a process that leaves its parent's tree breaks away from the job.
#include <windows.h>

#include <string>

#include "ortolib/platform/command_line.h"
#include "support/child_tree.h"

namespace pt::test {

bool start_outside_tree(const char* program, const std::string& arguments, platform::handle input,
                        platform::handle output, platform::handle error) {
  std::string command_line = quote_program_name(program) + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  HANDLE copies[3] = {};
  const platform::handle sources[] = {input, output, error};
  const HANDLE self = GetCurrentProcess();
  for (int i = 0; i < 3; ++i)
    DuplicateHandle(self, reinterpret_cast<HANDLE>(sources[i]), self, &copies[i], 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  startup.hStdInput = copies[0];
  startup.hStdOutput = copies[1];
  startup.hStdError = copies[2];
  PROCESS_INFORMATION started{};
  const bool ok = CreateProcessA(program, command_line.data(), nullptr, nullptr, TRUE,
                                 CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr, &startup, &started);
  for (HANDLE copy : copies)
    if (copy != nullptr)
      CloseHandle(copy);
  if (ok) {
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
  }
  return ok;
}

std::uint32_t current_process_id() { return GetCurrentProcessId(); }

}  // namespace pt::test
