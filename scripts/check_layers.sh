#!/usr/bin/env bash
# The layering gate of the lint stage. The library's floors include only downward (platform,
# core, streams, globals, units; the wrapper above them all); the library names its own headers
# "ortolib/..."; no installed header includes a private one; and an OS header appears only in
# the platform backends and the platform-specific test support. Prints each finding as
# file:line and exits 1 if there is any.
#
#   scripts/check_layers.sh            the whole tree
#   scripts/check_layers.sh FILE...    only these files (paths from the repository's top)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  files=("$@")
else
  # bench/*.c are stand-alone measuring tools, not built on the library: they call the OS.
  mapfile -t files < <(find library wrapper tests docs bench -name build -prune -o -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) ! -path 'bench/*.c' -print | sort)
fi

awk '
  # The floors, lowest first; a floor may include its own and those below it.
  BEGIN {
    count = split("platform core streams globals units", floors)
    for (i = 1; i <= count; ++i)
      rank[floors[i]] = i
  }
  function finding(message) {
    printf "%s:%d: %s\n", FILENAME, FNR, message
    failed = 1
  }
  # Headers of the platform layer that are not installed: its private interface and backends.
  function is_private(path) {
    return path ~ /^ortolib\/platform\/(private|posix|win32)\//
  }
  FNR == 1 {
    path = FILENAME
    in_library = sub(/^library\/ortolib\//, "", path)  # path is now ortolib-relative
    floor = ""
    if (in_library && path ~ /\//) {
      floor = path
      sub(/\/.*/, "", floor)
    }
    installed = in_library && FILENAME ~ /\.h$/ && !is_private("ortolib/" path)
    os_allowed = FILENAME ~ /^(library\/ortolib\/platform|tests\/support)\/(posix|win32)\//
    in_tests = FILENAME ~ /^tests\//
  }
  /^[ \t]*#[ \t]*include[ \t]*[<"]/ {
    target = $0
    sub(/^[ \t]*#[ \t]*include[ \t]*[<"]/, "", target)
    sub(/[>"].*$/, "", target)
    quoted = $0 ~ /include[ \t]*"/
    lower = tolower(target)
    if (!os_allowed && (lower ~ /^(sys|linux|asm|arpa|netinet)\// ||
        lower ~ /^(win[a-z0-9_]*|ws2[a-z0-9_]*|unistd|fcntl|spawn|pthread|signal|dirent|poll|io|process|direct|share|dlfcn|termios|sched|semaphore|malloc|ntstatus|psapi|tlhelp32|shellapi|netdb|ifaddrs|pwd|grp|syslog|mswsock|iphlpapi|afunix)\.h$/ ||
        lower == "csignal"))
      finding("OS header <" target "> outside the platform backends and the platform-specific test support")
    if (in_library && quoted && target !~ /^ortolib\//)
      finding("the library names its own headers \"ortolib/...\": \"" target "\"")
    if (target ~ /^ortolib\/[a-z_]+\//) {
      to = target
      sub(/^ortolib\//, "", to)
      sub(/\/.*/, "", to)
      if (in_library && (floor in rank) && (to in rank) && rank[to] > rank[floor])
        finding("upward include: " floor "/ may not include " target)
      if (installed && is_private(target))
        finding("an installed header includes the private " target)
      if (!in_library && !in_tests && is_private(target))
        finding("the private " target " is for the library and its tests only")
    }
  }
  END { exit failed }
' "${files[@]}"
