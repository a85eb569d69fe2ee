// Windows backend: a child's working directory, made absolute, and its environment block,
// sorted by name as Windows keeps one.
#include "ortolib/platform/win32/child_environment.h"

#include <windows.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "ortolib/platform/private/environment_changes.h"
#include "ortolib/platform/win32/error.h"
#include "ortolib/platform/win32/text_conversion.h"

namespace pt::platform::win32 {
namespace {

std::vector<std::wstring> process_environment() {
  std::vector<std::wstring> entries;
  wchar_t* const strings = GetEnvironmentStringsW();
  if (strings == nullptr)
    return entries;
  for (const wchar_t* entry = strings; *entry != L'\0'; entry += entries.back().size() + 1)
    entries.emplace_back(entry);
  FreeEnvironmentStringsW(strings);
  return entries;
}

std::wstring_view name_of(const std::wstring& entry) {
  return std::wstring_view(entry).substr(0, environment_name_length(entry));
}

}  // namespace

child_environment::child_environment(const process_request& request) {
  ready_ = make_directory(request) && make_block(request);
  if (!ready_)
    error_record(ERROR_NO_UNICODE_TRANSLATION);
}

bool child_environment::make_directory(const process_request& request) {
  if (request.working_directory == nullptr)
    return true;
  std::wstring wide;
  if (!wide_text(request.working_directory, request.application_encoding, wide))
    return false;
  // Absolute, so that it reads the same whatever the system takes a relative one from.
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size != 0) {
    directory_.resize(size);
    const DWORD written = GetFullPathNameW(wide.c_str(), size, directory_.data(), nullptr);
    directory_.resize(written != 0 && written < size ? written : 0);
  }
  if (directory_.empty())
    directory_ = wide;  // CreateProcessW says what is wrong with it
  has_directory = true;
  return true;
}

bool child_environment::make_block(const process_request& request) {
  if (request.inherit_environment && request.environment_changes == nullptr)
    return true;
  std::vector<std::wstring> entries;
  if (request.inherit_environment)
    entries = process_environment();
  if (request.environment_changes != nullptr) {
    std::vector<std::wstring> changes;
    for (const std::string& change : *request.environment_changes) {
      if (!wide_text(change, request.arguments_encoding, changes.emplace_back()))
        return false;
    }
    apply_environment_changes(entries, changes, [](std::wstring_view a, std::wstring_view b) {
      return compare_names(a, b) == 0;
    });
  }
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return compare_names(name_of(a), name_of(b)) < 0;
  });
  for (const std::wstring& entry : entries) {
    block_ += entry;
    block_ += L'\0';
  }
  block_ += L'\0';
  if (entries.empty())
    block_ += L'\0';  // an empty block is two NULs
  has_block = true;
  return true;
}

}  // namespace pt::platform::win32
