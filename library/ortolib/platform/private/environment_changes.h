// Private to the library (not installed): a child's environment made from a list of entries
// and a list of changes, by the rules of process_request (process.h). Header only: each
// backend applies it to texts of its own width and with its own comparison of names.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace pt::platform {

// The length of an entry's name: what precedes its first '=' after the first character (a
// Windows entry such as "=C:=C:\dir", the current directory of a drive, has a name that starts
// with '='). A change without '=' is a name alone.
template <typename Text>
std::size_t environment_name_length(const Text& entry) {
  const std::size_t equals = entry.find('=', 1);
  return equals == Text::npos ? entry.size() : equals;
}

// Applies changes to entries in order: each removes every entry of its name, and a
// "NAME=value" is then added at the end. same_name compares two names (views of the texts).
template <typename Text, typename SameName>
void apply_environment_changes(std::vector<Text>& entries, const std::vector<Text>& changes,
                               SameName same_name) {
  for (const Text& change : changes) {
    if (change.empty())
      continue;
    const std::size_t name_length = environment_name_length(change);
    const auto named = [&](const Text& entry) {
      return same_name(entry.substr(0, environment_name_length(entry)),
                       change.substr(0, name_length));
    };
    entries.erase(std::remove_if(entries.begin(), entries.end(), named), entries.end());
    if (name_length < change.size())
      entries.push_back(change);
  }
}

}  // namespace pt::platform
