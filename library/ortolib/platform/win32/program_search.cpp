// Windows backend: the search for a command along PATH, with the extensions of PATHEXT.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/private/program_search.h"
#include "ortolib/platform/win32/text_conversion.h"
#include "ortolib/platform/win32/wide_path.h"

namespace pt::platform {
namespace {

std::wstring variable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0)
    return {};
  std::wstring value(size, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(written < size ? written : 0);
  return value;
}

// The items of a list separated by ';', blanks and quotes around each dropped, empty ones left
// out.
std::vector<std::wstring> list_items(std::wstring_view list) {
  std::vector<std::wstring> items;
  while (!list.empty()) {
    const std::size_t end = list.find(L';');
    std::wstring_view item = list.substr(0, end);
    while (!item.empty() && (item.front() == L' ' || item.front() == L'"'))
      item.remove_prefix(1);
    while (!item.empty() && (item.back() == L' ' || item.back() == L'"'))
      item.remove_suffix(1);
    if (!item.empty())
      items.emplace_back(item);
    list.remove_prefix(end == std::wstring_view::npos ? list.size() : end + 1);
  }
  return items;
}

bool same_text(std::wstring_view a, std::wstring_view b) { return win32::compare_names(a, b) == 0; }

// The names to try for name: itself when it ends in one of the extensions, else name with
// each extension in turn.
std::vector<std::wstring> names_to_try(const std::wstring& name) {
  std::wstring extensions = variable(L"PATHEXT");
  if (extensions.empty())
    extensions = L".COM;.EXE;.BAT;.CMD";
  const std::vector<std::wstring> known = list_items(extensions);
  for (const std::wstring& extension : known)
    if (name.size() > extension.size() &&
        same_text(std::wstring_view(name).substr(name.size() - extension.size()), extension))
      return {name};
  std::vector<std::wstring> names;
  names.reserve(known.size());
  for (const std::wstring& extension : known)
    names.push_back(name + extension);
  return names;
}

std::wstring system_folder(UINT (*query)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH];
  const UINT length = query(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

std::vector<std::wstring> folders_to_search() {
  std::vector<std::wstring> folders = list_items(variable(L"PATH"));
  for (const std::wstring& system :
       {system_folder(GetSystemDirectoryW), system_folder(GetWindowsDirectoryW)}) {
    bool listed = system.empty();
    for (const std::wstring& folder : folders)
      listed = listed || same_text(folder, system);
    if (!listed)
      folders.push_back(system);
  }
  return folders;
}

bool is_program(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(win32::within_path_limit(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The path in the caller's encoding; false when the ANSI code page cannot spell it.
bool spelt(const std::wstring& path, text_encoding encoding, std::string& text) {
  if (encoding == text_encoding::utf8) {
    text = win32::utf8_text(path);
    return true;
  }
  text = win32::ansi_text(path);
  std::wstring back;
  return win32::wide_text(text, encoding, back) && back == path;
}

// The first of the names in one of the folders (or as they stand, for no folders) that is a
// program the caller's encoding can spell.
std::string first_program(const std::vector<std::wstring>& folders,
                          const std::vector<std::wstring>& names, text_encoding encoding) {
  for (const std::wstring& folder : folders) {
    for (const std::wstring& name : names) {
      std::wstring candidate = folder;
      if (!candidate.empty() && candidate.back() != L'\\' && candidate.back() != L'/')
        candidate += L'\\';
      candidate += name;
      std::string text;
      if (is_program(candidate) && spelt(candidate, encoding, text))
        return text;
    }
  }
  return {};
}

}  // namespace

std::string find_program_path(const std::string& name, text_encoding encoding) {
  std::wstring wide;
  if (name.empty() || !win32::wide_text(name, encoding, wide))
    return {};
  const std::vector<std::wstring> names = names_to_try(wide);
  if (wide.find_first_of(L"\\/:") != std::wstring::npos)
    return first_program({L""}, names, encoding);
  return first_program(folders_to_search(), names, encoding);
}

}  // namespace pt::platform
