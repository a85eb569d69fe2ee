# Shared by the project's scripts: package installation and the build-and-test steps.

jobs=$(nproc 2>/dev/null || echo 2)

# Installs the Debian packages that are missing, when run as root; otherwise names them.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages (run as root to install them): ${missing[*]}" >&2
    return 1
  fi
  echo "== installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures, builds and tests one native preset.
run_native_preset() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs"
  check_test_entries "$preset"
}

# Checks that ctest runs every GoogleTest case, each as an entry of its own: the filters of
# ctest's entries against the cases that each test program lists when run as ctest runs it
# (through the emulator, for the Windows build). A name that escapes the separator of the
# list ctest keeps of them (a printed table row ending in a backslash did) merges two cases
# into one entry, which runs only the first. A case may have more than one entry (the same
# case again under another environment); each entry still names one case.
check_test_entries() {
  local preset=$1 entries filters cases program
  local -a command
  # Each entry as its program's command (words joined by \037), a tab and its filter.
  entries=$(ctest --test-dir "build/$preset" --show-only=json-v1 | awk '
    /"command" :/ { in_command = 1; program = ""; next }
    in_command && /"--gtest_filter=/ {
      match($0, /"--gtest_filter=.*"/)
      print program "\t" substr($0, RSTART + 16, RLENGTH - 17)
      in_command = 0
      next
    }
    in_command && /^ *"/ {
      sub(/^ *"/, ""); sub(/",?$/, "")
      program = program (program == "" ? "" : "\037") $0
    }')
  filters=$(cut -f2 <<<"$entries" | sort -u)
  cases=$(cut -f1 <<<"$entries" | sort -u | while IFS= read -r program; do
    IFS=$'\037' read -r -a command <<<"$program"
    "${command[@]}" --gtest_list_tests </dev/null | tr -d '\r' | awk '
      /^Running main\(\)/ { next }
      /^[^ ]/ { suite = $1; next }
      /^  / { print suite $1 }'
  done | sort)
  if [ -z "$cases" ] || [ "$filters" != "$cases" ]; then
    echo "$preset: the ctest entries are not the GoogleTest cases (<: an entry's filter," \
      ">: a case without an entry of its own):" >&2
    diff <(echo "$filters") <(echo "$cases") | grep '^[<>]' | head -n 20 >&2
    return 1
  fi
  echo "$preset: $(wc -l <<<"$cases") GoogleTest cases, each run by a ctest entry of its own"
}

# The exit status by which valgrind reports what it found; no run of cmdwrap in the tests ends so.
valgrind_failure_status=86

# Runs the end-to-end tests of a native preset with every cmdwrap run under valgrind's memcheck:
# no invalid access, no read of uninitialised memory, no definite leak, no descriptor that
# cmdwrap opened left open at its end. Only cmdwrap is checked: the child it starts runs
# natively. The tests scale their largest outputs and longest series down under it. Every
# run's log is kept in build/<preset>/valgrind/.
run_valgrind_stage() {
  local preset=$1 logs launcher runs findings
  echo "== valgrind: configure and build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  logs=$PWD/build/$preset/valgrind
  rm -rf "$logs"
  mkdir -p "$logs"
  launcher="$(command -v valgrind) --tool=memcheck --error-exitcode=$valgrind_failure_status"
  launcher+=" --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite"
  launcher+=" --track-origins=yes --track-fds=yes --child-silent-after-fork=yes"
  launcher+=" --trace-children=no --quiet --log-fd={log-fd}"
  echo "== valgrind: end-to-end tests, cmdwrap under memcheck"
  ORTO_CMDWRAP_LAUNCHER=$launcher ORTO_CMDWRAP_LAUNCHER_FAILURE=$valgrind_failure_status \
    ORTO_CMDWRAP_LAUNCHER_LOGS=$logs ctest --preset "$preset" -L '^e2e$' -j "$jobs"
  runs=$(find "$logs" -name '*.log' | wc -l)
  findings=$(grep -l -E 'Invalid (read|write|free)|uninitialised|definitely lost|Mismatched|overlap' \
    "$logs"/*.log 2>/dev/null | wc -l || true)
  echo "valgrind: $runs cmdwrap runs checked, $findings with a finding"
}

# Makes the locale ja_JP.UTF-8 when it is missing and the script runs as root: wine takes a
# process's ANSI code page from LC_ALL, and the tests of double-byte code pages run the Windows
# build under it (code page 932). Without it those tests skip and say why.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "locale ja_JP.UTF-8 missing (run as root to make it): the code page 932 tests skip" >&2
    return 0
  fi
  ensure_packages locales
  echo "== making the locale ja_JP.UTF-8"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

wine_loader=${ORTO_WINE:-/usr/lib/wine/wine64}
wine_server=$(dirname "$wine_loader")/wineserver

# Starts a persistent wineserver for a prefix and warms it with one run whose output goes to
# /dev/null (wine's helper processes inherit whatever the first run is given, and would keep a
# caller's pipes open). A program that crashes there gets winedbg's backtrace on its standard
# error, never a crash dialog: with no display, that dialog can hang the crashed program.
start_wine() {
  local prefix=$1
  mkdir -p "$prefix"
  WINEPREFIX=$prefix "$wine_server" -p </dev/null >/dev/null 2>&1 || true  # may run already
  cmake/wine-run "$prefix" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog \
    /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
}

stop_wine() {
  WINEPREFIX=$1 "$wine_server" -k </dev/null >/dev/null 2>&1 || true
}

# Configures, builds and tests the Windows cross build under wine, on a warm wineserver: a
# test then costs tens of milliseconds of wine start-up instead of two seconds. The server is
# stopped afterwards so that no wine process outlives the run.
run_wine_preset() {
  local preset=$1 prefix status=0
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  prefix=$PWD/build/$preset/wineprefix
  echo "== $preset: start wine"
  start_wine "$prefix"
  echo "== $preset: test under wine"
  # Wine now and then fails to start a program at all (no output, a few hundredths of a second,
  # seen once in several hundred starts on a loaded machine): a failed entry runs once more, and
  # one that fails twice fails the stage. The log shows both runs of such an entry.
  ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 || status=$?
  check_test_entries "$preset" || status=1
  stop_wine "$prefix"
  return $status
}

# The fuzz stage of the test command gives one answer per commit: each target replays its
# committed corpus (tests/fuzz/corpus/<name>/), then makes a fixed number of runs from a fixed
# seed, on a working corpus that starts empty at every run (so what earlier runs found changes
# nothing), never rereading it while it runs (libFuzzer's -reload would, once a second), and
# with address randomisation off (pointers compared in the code end up in the fuzzer's
# dictionary). The counts make about 20 seconds a target on a two-core machine; a target
# without one makes fuzz_default_runs.
declare -A fuzz_runs=([argument_file]=8000 [charset]=800000 [format]=1000000
  [number_text]=300000 [quoting]=300000 [string]=500000)
fuzz_default_runs=100000
fuzz_seed=1
fuzz_limits=(-timeout=10 -rss_limit_mb=2048)

# Builds the fuzz targets of a preset.
build_fuzz_targets() {
  local preset=$1
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}

# Runs a command with address randomisation off where the system allows it.
without_aslr() {
  if setarch "$(uname -m)" -R true 2>/dev/null; then
    setarch "$(uname -m)" -R "$@"
  else
    echo "warning: address randomisation stays on; fuzz runs may differ between runs" >&2
    "$@"
  fi
}

# Minimizes each input that made a target fail (crash-, leak-, timeout- or oom- files with
# this prefix), for at most a minute each, into <input>.min, and says how to keep it.
minimize_findings() {
  local target=$1 prefix=$2 name finding
  name=$(basename "$target" _fuzz)
  for finding in "$prefix"{crash,leak,timeout,oom}-*; do
    [ -f "$finding" ] && [[ $finding != *.min* ]] || continue
    "$target" -minimize_crash=1 -max_total_time=60 "${fuzz_limits[@]}" \
      -exact_artifact_path="$finding.min" "$finding" >"$finding.min.log" 2>&1 || true
    [ -s "$finding.min" ] || cp "$finding" "$finding.min"
    echo "$name: finding minimized to $finding.min; commit it with its fix as" \
      "tests/fuzz/corpus/$name/<what it checks>" >&2
  done
}

# Runs a command of a fuzz target (the rest of the arguments) with its output in log. Prints
# the runs it made, or on a finding its report and the minimized input. Fails on a finding.
fuzz_run() {
  local target=$1 log=$2 prefix=$3 name
  shift 3
  name=$(basename "$target" _fuzz)
  if "$@" >"$log" 2>&1; then
    echo "$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") runs in" \
      "$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")s"
    return 0
  fi
  echo "$name: FINDING ($(grep -m1 -o 'Seed: [0-9]*' "$log"); log: $log)" >&2
  grep -E -A 12 '^==[0-9]+==|fuzz check failed|runtime error' "$log" | head -n 40 >&2 || true
  minimize_findings "$target" "$prefix"
  return 1
}

# The fuzz stage (see fuzz_runs). A finding fails the stage; its input, minimized, and the log
# are left in build/<preset>/findings/.
run_fuzz_preset() {
  local preset=$1 target name work findings runs status=0
  build_fuzz_targets "$preset"
  findings=build/$preset/findings
  mkdir -p "$findings"
  for target in "build/$preset"/tests/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    work=build/$preset/corpus/$name
    runs=${fuzz_runs[$name]:-$fuzz_default_runs}
    rm -rf "$work" "$findings/$name-"*
    mkdir -p "$work"
    echo "== $preset: $name, its corpus and $runs runs from seed $fuzz_seed"
    fuzz_run "$target" "$findings/$name.log" "$findings/$name-" \
      without_aslr "$target" -seed="$fuzz_seed" -runs="$runs" -reload=0 "${fuzz_limits[@]}" \
      -print_final_stats=1 -artifact_prefix="$findings/$name-" "$work" \
      "tests/fuzz/corpus/$name" || status=1
  done
  return $status
}

# A campaign (scripts/fuzz.sh): each named target, or every one, for `seconds` from a seed of
# libFuzzer's choosing, on a working corpus in build/<preset>/campaign/<name>/ that starts from
# the committed corpus and keeps what every campaign finds. Findings are minimized into
# build/<preset>/campaign-findings/.
run_fuzz_campaign() {
  local preset=$1 seconds=$2 target name work findings status=0
  shift 2
  build_fuzz_targets "$preset"
  findings=build/$preset/campaign-findings
  mkdir -p "$findings"
  for target in "build/$preset"/tests/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    [ $# -eq 0 ] || [[ " $* " == *" $name "* ]] || continue
    work=build/$preset/campaign/$name
    mkdir -p "$work"
    echo "== campaign: $name for ${seconds}s"
    fuzz_run "$target" "$findings/$name.log" "$findings/$name-" \
      "$target" -max_total_time="$seconds" "${fuzz_limits[@]}" -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$work" "tests/fuzz/corpus/$name" || status=1
  done
  return $status
}

# The package stage: scripts/package.sh builds the Debian packages and the Windows zip, then
# the package tests (tests/package/, label "package") check them, and an install of the
# release build's cmdwrap and library, from the release build, with a warm wineserver for the
# mingw build's prefix, stopped afterwards.
run_package_stage() {
  local prefix=$PWD/build/mingw/wineprefix status=0
  scripts/package.sh
  echo "== package: the release build's cmdwrap and library, for the installed tree"
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$jobs" --target cmdwrap
  echo "== package: the package tests"
  start_wine "$prefix"
  ctest --test-dir build/release -L '^package$' -j "$jobs" --output-on-failure || status=$?
  stop_wine "$prefix"
  return $status
}
