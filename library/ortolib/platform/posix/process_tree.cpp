// POSIX backend: a stand-in's tree is the process group it leads; any other child stays in the
// process's group, as a command a shell runs does, and its tree is found through /proc
// (Linux), where every process names its parent and its session.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/process_tree.h"

namespace pt::platform {
namespace {

struct process_entry {
  pid_t id = 0;
  pid_t parent = 0;
  pid_t session = 0;
};

// The numbers that follow the state (a letter) in text, the rest of /proc/<id>/stat after the
// name, in order: reads the count asked for; false if fewer are there.
bool read_fields(const char* text, long* fields, int count) {
  while (*text == ' ')
    ++text;
  if (*text == '\0')
    return false;
  const char* at = text + 1;  // past the state
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    fields[i] = std::strtol(at, &end, 10);
    if (end == at)
      return false;
    at = end;
  }
  return true;
}

// The parent and the session of a process, from /proc/<id>/stat: "<id> (<name>) <state>
// <parent> <group> <session> ...", where the name may hold anything, a ')' too.
bool read_entry(pid_t id, process_entry& entry) {
  char path[32] = "/proc/";
  char* digits = path + std::strlen(path);
  digits = std::to_chars(digits, path + sizeof path - 6, static_cast<int>(id)).ptr;
  std::memcpy(digits, "/stat", 6);
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  char text[512];
  const ssize_t got = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (got <= 0)
    return false;
  text[got] = '\0';
  const char* after_name = std::strrchr(text, ')');
  long fields[3];  // parent, group, session
  if (after_name == nullptr || !read_fields(after_name + 1, fields, 3))
    return false;
  entry = {id, static_cast<pid_t>(fields[0]), static_cast<pid_t>(fields[2])};
  return true;
}

std::vector<process_entry> all_processes() {
  std::vector<process_entry> found;
  DIR* folder = ::opendir("/proc");
  if (folder == nullptr)
    return found;
  // NOLINTNEXTLINE(concurrency-mt-unsafe): this stream of the folder is this call's alone
  while (const dirent* item = ::readdir(folder)) {
    char* end = nullptr;
    const long id = std::strtol(item->d_name, &end, 10);
    process_entry entry;
    if (*end == '\0' && id > 0 && id <= INT_MAX && read_entry(static_cast<pid_t>(id), entry))
      found.push_back(entry);
  }
  ::closedir(folder);
  return found;
}

bool contains(const std::vector<pid_t>& ids, pid_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Stops the root and every process in its session that descends from it, looking again until
// a look finds no new one: a stopped process starts nothing, so the tree holds still. What
// could not be stopped (another user's) is left out, and so is what it started.
std::vector<pid_t> freeze_tree(pid_t root) {
  std::vector<pid_t> tree;
  process_entry first;
  if (!read_entry(root, first) || ::kill(root, SIGSTOP) != 0)
    return tree;
  tree.push_back(root);
  for (bool grew = true; grew;) {
    grew = false;
    for (const process_entry& entry : all_processes()) {
      if (entry.session != first.session || contains(tree, entry.id) ||
          !contains(tree, entry.parent) || ::kill(entry.id, SIGSTOP) != 0)
        continue;
      tree.push_back(entry.id);
      grew = true;
    }
  }
  return tree;
}

}  // namespace

bool process_kill_tree(handle process, handle tree) {
  if (tree > 0 && tree <= INT_MAX) {
    ::kill(-static_cast<pid_t>(tree), SIGKILL);
  } else if (process > 0 && process <= INT_MAX) {
    const auto root = static_cast<pid_t>(process);
    for (pid_t id : freeze_tree(root))
      if (id != root && ::kill(id, SIGKILL) != 0)
        ::kill(id, SIGCONT);  // not ours to end after all: let it run again
  }
  return process_kill(process);
}

void process_tree_close(handle& tree) { tree = no_handle; }

}  // namespace pt::platform
