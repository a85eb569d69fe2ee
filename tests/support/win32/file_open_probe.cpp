// The Windows build: the program's import of _wfopen, through which every call of it in the
// program goes (the library is linked in statically), points at a recorder meanwhile.
#include "support/file_open_probe.h"

#include <windows.h>

#include <cstdio>

extern "C" std::FILE*(__cdecl* __imp__wfopen)(const wchar_t*, const wchar_t*);

namespace pt::test {
namespace {

using wide_open = std::FILE*(__cdecl*)(const wchar_t*, const wchar_t*);

wide_open original = nullptr;
std::vector<std::wstring> recorded;

std::FILE* __cdecl recording_open(const wchar_t* name, const wchar_t* mode) {
  recorded.emplace_back(name);
  return original(name, mode);
}

bool point_import_at(wide_open open) {
  DWORD protection = 0;
  if (!VirtualProtect(&__imp__wfopen, sizeof __imp__wfopen, PAGE_READWRITE, &protection))
    return false;
  __imp__wfopen = open;
  VirtualProtect(&__imp__wfopen, sizeof __imp__wfopen, protection, &protection);
  return true;
}

}  // namespace

file_open_probe::file_open_probe() {
  recorded.clear();
  original = __imp__wfopen;
  if (!point_import_at(recording_open))
    original = nullptr;
}

file_open_probe::~file_open_probe() {
  if (original != nullptr)
    point_import_at(original);
  original = nullptr;
}

bool file_open_probe::recording() const { return original != nullptr; }

const std::vector<std::wstring>& file_open_probe::names() const { return recorded; }

}  // namespace pt::test
