#!/usr/bin/env bash
# Builds and runs every test of cmdwrap and ortolib: the layout and static analysis gates
# first, then natively (debug, the end-to-end tests again with cmdwrap under valgrind, then the
# address and thread sanitizers), every fuzz target (clang's libFuzzer) on its corpus and a
# fixed number of runs from a fixed seed, the Windows build under wine and the packages. Run
# as root on a fresh Debian machine it first installs the packages it needs. Exits non-zero if
# anything fails; run twice on one commit, it gives the same answer.
#
#   scripts/test.sh                 every stage
#   scripts/test.sh lint            clang-format, clang-tidy and cppcheck only
#   scripts/test.sh debug valgrind  the native tests, then cmdwrap's runs under memcheck
#   scripts/test.sh debug mingw     only the named stages
#   scripts/test.sh package         the packages built, then their tests (tests/package/)
#   scripts/test.sh fuzz            the same runs at every call (a campaign: scripts/fuzz.sh)
#   scripts/test.sh bench           the benchmark's whole-process runs, three each, natively:
#                                   every result checked byte for byte, no timing judged
#                                   (not in the default list: it builds the release preset)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
source scripts/lint.sh

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(lint debug valgrind asan tsan fuzz mingw package)

ensure_packages cmake ninja-build g++ libgtest-dev googletest \
  g++-mingw-w64-x86-64-posix wine64 dpkg-dev file pkgconf

for stage in "${stages[@]}"; do
  case "$stage" in
    lint) run_lint_stage ;;
    debug|release|asan|tsan) run_native_preset "$stage" ;;
    valgrind)
      ensure_packages valgrind
      run_valgrind_stage debug
      ;;
    fuzz)
      ensure_packages clang libclang-rt-14-dev
      run_fuzz_preset fuzz
      ;;
    mingw)
      ensure_japanese_locale
      run_wine_preset mingw
      ;;
    package)
      ensure_packages lintian
      run_package_stage
      ;;
    bench) bench/run.sh --quick --native-only --no-micro ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "All stages passed: ${stages[*]}"
