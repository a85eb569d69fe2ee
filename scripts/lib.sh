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
  ctest --preset "$preset" -j "$jobs" || status=$?
  stop_wine "$prefix"
  return $status
}

# Builds the fuzz targets and runs each for a bounded time on a working corpus in the build
# folder, seeded from tests/fuzz/corpus/<name>/ (the repository's seeds are never written to;
# what earlier runs found is kept). Any finding fails the stage; the input that caused it is
# left in build/<preset>/findings/. Prints the runs each target executed.
run_fuzz_preset() {
  local preset=$1 seconds=$2 target name corpus seed log status=0
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  mkdir -p "build/$preset/findings"
  for target in "build/$preset"/tests/fuzz/*_fuzz; do
    name=$(basename "$target" _fuzz)
    corpus=build/$preset/corpus/$name
    log=build/$preset/findings/$name.log
    mkdir -p "$corpus"
    for seed in tests/fuzz/corpus/"$name"/*; do
      [ -e "$corpus/${seed##*/}" ] || cp "$seed" "$corpus/"
    done
    echo "== $preset: $name for ${seconds}s"
    if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/$preset/findings/$name-" "$corpus" >"$log" 2>&1; then
      echo "$name: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") runs in" \
        "$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")s"
    else
      status=1
      echo "$name: FINDING (log: $log)" >&2
      grep -E -A 12 '^==[0-9]+==|fuzz check failed|runtime error' "$log" | head -n 40 >&2 || true
    fi
  done
  return $status
}

# The package stage: scripts/package.sh builds the Debian packages and the Windows zip, then
# the package tests (tests/package/, label "package") check them from the release build, with
# a warm wineserver for the mingw build's prefix, stopped afterwards.
run_package_stage() {
  local prefix=$PWD/build/mingw/wineprefix status=0
  scripts/package.sh
  echo "== package: the package tests"
  start_wine "$prefix"
  ctest --test-dir build/release -L '^package$' -j "$jobs" --output-on-failure || status=$?
  stop_wine "$prefix"
  return $status
}
