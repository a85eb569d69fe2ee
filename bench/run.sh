#!/usr/bin/env bash
# Benchmarks cmdwrap against a minimal C program that does the same job (bench/reference_driver.c)
# and, natively, against Python's subprocess.run (bench/python_peer.py): whole-process runs,
# interleaved, natively and under wine, every run checked for its exit status and its result
# file byte for byte; medians, ratios and peak resident memory. Then the library's process unit
# against Python's subprocess.run(input=..., capture_output=True) on real programs (cat, tr,
# sort, a child that never reads its input, one that exits early), standard error joined and
# apart (bench/unit_driver.cpp, bench/python_run_peer.py), natively. Then the picture of time
# against output size (1 KiB to 1 GiB), and the micro-benchmarks of the library (bench/micro/).
# The method is in docs/PERFORMANCE.md.
#
#   bench/run.sh                 start-up, 1, 16 and 64 MiB rows, native and wine; the picture
#                                (docs/performance.svg); micro-benchmarks
#   bench/run.sh --gib           also the 1 GiB rows (a few minutes more, GiBs of scratch files)
#   bench/run.sh --native-only   no wine rows (and no Windows build)
#   bench/run.sh --no-micro      no micro-benchmarks
#   bench/run.sh --no-picture    no picture
#   bench/run.sh --library-only  only the process unit's rows against subprocess.run (natively)
#   bench/run.sh --quick         three runs a row, a picture of three small sizes in the results
#                                folder only: a check that everything works, not figures
#
# Builds what it needs: the release preset (cmdwrap, test_child), the bench preset (the
# micro-benchmarks and the unit driver), the mingw preset (cmdwrap.exe, test_child.exe) and the
# reference driver for both. Scratch files and results go to build/bench-run/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

with_gib=0 with_wine=1 with_micro=1 with_picture=1 with_platform=1 quick=0
for option in "$@"; do
  case "$option" in
    --gib) with_gib=1 ;;
    --native-only) with_wine=0 ;;
    --no-micro) with_micro=0 ;;
    --no-picture) with_picture=0 ;;
    --quick) quick=1 ;;
    --library-only) with_platform=0 with_wine=0 with_micro=0 with_picture=0 ;;
    *)
      echo "unknown option: $option (--gib, --native-only, --no-micro, --no-picture," \
        "--library-only, --quick)" >&2
      exit 2
      ;;
  esac
done

# Debian's own Python runs the peer and draws the picture, whatever python3 comes first on PATH.
python=/usr/bin/python3
packages=(cmake ninja-build g++ libgtest-dev python3 libbenchmark-dev coreutils)
[ $with_picture -eq 0 ] || packages+=(python3-matplotlib)
[ $with_wine -eq 0 ] || packages+=(googletest g++-mingw-w64-x86-64-posix wine64)
ensure_packages "${packages[@]}"

work=$PWD/build/bench-run
mkdir -p "$work"
results=$work/results.md

# ------------------------------------------------------------------------ building

echo "== build: release preset (cmdwrap, test_child), reference driver, timing tool"
cmake --preset release >/dev/null
cmake --build --preset release -j "$jobs" --target cmdwrap test_child >/dev/null
c_flags=(-O2 -Wall -Wextra -Werror)
cc "${c_flags[@]}" -o "$work/reference_driver" bench/reference_driver.c
cc "${c_flags[@]}" -o "$work/measure" bench/measure.c
if [ $with_wine -eq 1 ]; then
  echo "== build: mingw preset (cmdwrap.exe, test_child.exe), reference_driver.exe"
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw -j "$jobs" --target cmdwrap test_child >/dev/null
  x86_64-w64-mingw32-gcc-posix "${c_flags[@]}" -o "$work/reference_driver.exe" bench/reference_driver.c
fi
echo "== build: bench preset (unit driver$([ $with_micro -eq 0 ] || echo ", micro-benchmarks"))"
cmake --preset bench >/dev/null
bench_targets=(unit_driver)
[ $with_micro -eq 0 ] || bench_targets+=(micro_benchmarks)
cmake --build --preset bench -j "$jobs" --target "${bench_targets[@]}" >/dev/null

# -------------------------------------------------------------- the expected results

kib=1024 mib=1048576
sizes=(0 $mib $((16 * mib)) $((64 * mib)))
[ $with_gib -eq 0 ] || sizes+=($((1024 * mib)))
# The picture's sizes: 1 KiB to 1 GiB by factors of 4 (a check of three small ones when quick).
picture_sizes=()
if [ $with_picture -eq 1 ]; then
  if [ $quick -eq 1 ]; then
    picture_sizes=($kib $((64 * kib)) $mib)
  else
    for ((size = kib; size <= 1024 * mib; size *= 4)); do picture_sizes+=($size); done
  fi
fi
for size in "${sizes[@]}" "${picture_sizes[@]}"; do
  # What the child writes (fill=<n>: no LF in it, so the result file holds the same bytes), and
  # what the discarding reader writes: the count.
  [ -f "$work/expected-$size" ] && [ "$(stat -c %s "$work/expected-$size")" -eq "$size" ] ||
    "$work/measure" --pattern "$size" "$work/expected-$size"
  printf '%s' "$size" >"$work/count-$size"
done

# --------------------------------------------------------------------------- timing

# Runs per row: enough for a stable median on a busy machine, fewer where a run takes long.
runs_for() {  # <platform> <size>
  if [ $quick -eq 1 ]; then echo 3; return; fi
  case "$1:$2" in
    native:0) echo 41 ;;
    native:$mib) echo 31 ;;
    native:$((16 * mib))|native:$((64 * mib))) echo 15 ;;
    wine:0|wine:$mib) echo 15 ;;
    wine:$((16 * mib))|wine:$((64 * mib))) echo 7 ;;
    *) echo 3 ;;
  esac
}

row_label() {
  case "$1" in
    0) echo "child does nothing" ;;
    $mib) echo "1 MiB of output" ;;
    *) echo "$(($1 / mib)) MiB of output" ;;
  esac
}

wine_loader=${ORTO_WINE:-/usr/lib/wine/wine64}
wine_server=$(dirname "$wine_loader")/wineserver

# The command of one variant: <platform> <variant> <argument file>. Variants:
#   cmdwrap   the program under test
#   ref       the reference: 2048-byte reads, buffer grown by 4096 bytes (the same rules)
#   ref2k     the reference with 2048-byte reads and a doubling buffer (the reads' own cost)
#   ref64k    the reference with 64 KiB reads and a doubling buffer
#   raw       the reference discarding 64 KiB reads: the pipe's raw limit
#   python    Python's subprocess.run(capture_output=True) (native only)
variant_command() {
  local platform=$1 variant=$2 args=$3 runner=() suffix="" build=build/release
  if [ "$platform" = wine ]; then
    runner=("$wine_loader")
    suffix=.exe
    build=build/mingw
  fi
  local child=$PWD/$build/tests/child/test_child$suffix
  case "$variant" in
    cmdwrap) echo "${runner[*]} $PWD/$build/wrapper/cmdwrap$suffix $child $args" ;;
    ref) echo "${runner[*]} $work/reference_driver$suffix $child $args" ;;
    ref2k) echo "${runner[*]} $work/reference_driver$suffix -g double $child $args" ;;
    ref64k) echo "${runner[*]} $work/reference_driver$suffix -r 65536 -g double $child $args" ;;
    raw) echo "${runner[*]} $work/reference_driver$suffix -r 65536 -d $child $args" ;;
    python) echo "$python $PWD/bench/python_peer.py $child $args" ;;
  esac
}

variant_description() {
  case "$1" in
    cmdwrap) echo "cmdwrap" ;;
    python) echo "Python subprocess.run" ;;
    ref) echo "reference, 2048-byte reads, 4096-byte growth" ;;
    ref2k) echo "reference, 2048-byte reads, doubling growth" ;;
    ref64k) echo "reference, 64 KiB reads, doubling growth" ;;
    raw) echo "raw pipe: 64 KiB reads, discarded" ;;
  esac
}
all_variants="cmdwrap python ref ref2k ref64k raw"

# The variants of a row, in the order they run in each round.
variants_for() {  # <platform> <size>
  local list="cmdwrap ref"
  [ "$1" = wine ] || list="cmdwrap python ref"
  [ "$2" -eq 0 ] || list="$list ref2k ref64k raw"
  # The reference with 4096-byte growth copies its whole buffer at every step under wine:
  # 64 MiB takes a minute, 1 GiB would take hours. It runs once at 64 MiB and not beyond.
  if [ "$1" = wine ] && [ "$2" -gt $((64 * mib)) ]; then list=${list/ ref / }; fi
  echo "$list"
}

# One timed run; appends "<seconds> <peak KiB>" to the variant's sample file (of the rows, or
# with sample_set=picture- of the picture).
sample_set=""
timed_run() {  # <platform> <size> <variant>
  local platform=$1 size=$2 variant=$3 expected text
  expected=$work/expected-$size
  [ "$variant" != raw ] || expected=$work/count-$size
  text="exit=0"
  [ "$size" -eq 0 ] || text="fill=$size"
  local args=$work/args-$platform-$variant
  # shellcheck disable=SC2046  # the command is split on purpose; no path holds a space
  "$work/measure" "$text"$'\n' "$args" "$expected" $(variant_command "$platform" "$variant" "$args") \
    >>"$work/samples-$sample_set$platform-$size-$variant"
}

median() {  # <file> <column>
  awk -v c="$2" '{print $c}' "$1" | sort -g |
    awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}

run_platform() {  # <platform>
  local platform=$1 size variant round runs
  for size in "${sizes[@]}"; do
    runs=$(runs_for "$platform" "$size")
    echo "== $platform: $(row_label "$size"), $runs rounds of: $(variants_for "$platform" "$size")"
    for variant in $all_variants; do rm -f "$work/samples-$platform-$size-$variant"; done
    for ((round = 1; round <= runs; round++)); do
      for variant in $(variants_for "$platform" "$size"); do
        if [ "$variant" = ref ] && [ "$platform" = wine ] && [ "$size" -eq $((64 * mib)) ] &&
            [ "$round" -gt 1 ]; then
          continue
        fi
        timed_run "$platform" "$size" "$variant"
      done
    done
  done
}

# The picture: every variant of it at every size, round after round as in the rows, fewer
# rounds for the big sizes (one at 1 GiB); the medians go to picture-medians.txt.
picture_variants() {  # <platform> <size>
  local list="cmdwrap"
  [ "$1" = wine ] || list="$list python"
  # The 4096-byte growth under wine costs seconds from 16 MiB on and hours at 1 GiB.
  [ "$1" = native ] || [ "$2" -le $((16 * mib)) ] && list="$list ref"
  echo "$list ref64k raw"
}

picture_runs() {  # <size>
  if [ $quick -eq 1 ] || [ "$1" -ge $((1024 * mib)) ]; then echo 1
  elif [ "$1" -ge $((256 * mib)) ]; then echo 3
  elif [ "$1" -ge $((16 * mib)) ]; then echo 5
  else echo 9
  fi
}

run_picture() {  # <platform>
  local platform=$1 size variant round runs sample_set=picture-
  for size in "${picture_sizes[@]}"; do
    runs=$(picture_runs "$size")
    echo "== $platform picture: $((size / kib)) KiB, $runs rounds of: $(picture_variants "$platform" "$size")"
    for variant in $all_variants; do rm -f "$work/samples-picture-$platform-$size-$variant"; done
    for ((round = 1; round <= runs; round++)); do
      for variant in $(picture_variants "$platform" "$size"); do
        timed_run "$platform" "$size" "$variant"
      done
    done
    for variant in $(picture_variants "$platform" "$size"); do
      echo "$platform $(variant_description "$variant") $size" \
        "$(median "$work/samples-picture-$platform-$size-$variant" 1)" >>"$work/picture-medians.txt"
    done
  done
}

start_wine() {
  export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  "$wine_server" -p
  # The first run in a new prefix sets it up; its helpers may keep our output open, so none.
  "$wine_loader" "$PWD/build/mingw/tests/child/test_child.exe" exit=0 >/dev/null 2>&1 </dev/null || true
}

stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && "$wine_server" -k 2>/dev/null || true
}
trap stop_wine EXIT

# ------------------------------------------------------------------------- reporting

ms() { awk -v s="$1" 'BEGIN {printf "%.1f", s * 1000}'; }
mib_of() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# Median wall time and peak memory of every variant of every row, the ratios, and the memory
# limit (1.05 x output + 4 MiB natively, 1.1 x output + 8 MiB under wine).
report_platform() {  # <platform>
  local platform=$1 size variant file
  echo
  if [ "$platform" = native ]; then
    local cpu
    cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
    echo "### Native ($(uname -sr), $(nproc) cores, $cpu)"
  else
    echo "### Under wine ($("$wine_loader" --version 2>/dev/null))"
  fi
  echo
  echo "| Row | Variant | Runs | Median time | cmdwrap / variant | Peak resident | Memory limit |"
  echo "|---|---|---|---|---|---|---|"
  for size in "${sizes[@]}"; do
    local base_time base_rss limit
    base_time=$(median "$work/samples-$platform-$size-cmdwrap" 1)
    for variant in $all_variants; do
      file=$work/samples-$platform-$size-$variant
      [ -s "$file" ] || continue
      local time rss runs description
      time=$(median "$file" 1)
      rss=$(median "$file" 2)
      runs=$(wc -l <"$file")
      description=$(variant_description "$variant")
      [ "$variant" != python ] || description="Python subprocess.run(capture_output=True)"
      limit=""
      if [ "$variant" = cmdwrap ] && [ "$size" -gt 0 ]; then
        if [ "$platform" = native ]; then
          limit=$(awk -v n="$size" 'BEGIN {printf "%.1f MiB", (1.05 * n + 4 * 1048576) / 1048576}')
        else
          limit=$(awk -v n="$size" 'BEGIN {printf "%.1f MiB", (1.1 * n + 8 * 1048576) / 1048576}')
        fi
      fi
      local compared
      compared=$(ratio "$base_time" "$time")
      # Against the raw pipe the figure that counts is the share of its throughput reached.
      [ "$variant" != raw ] || compared="$compared (share $(ratio "$time" "$base_time"))"
      echo "| $(row_label "$size") | $description | $runs | $(ms "$time") ms | $compared | $(mib_of "$rss") MiB | $limit |"
    done
  done
}

# ---------------------------------------------------------------- the library rows

# The process unit against Python's subprocess.run on the same program and input, standard
# error joined ("joined") and apart ("split"). Each case: its input, its program, and what that
# program writes, made by running it directly on the input (in the C locale, as the runs are).
library_cases="cat tr sort never-reads exits-early"
export LC_ALL=C

library_lines() {  # <count> <file>: lines of text, the same every time
  awk -v n="$1" 'BEGIN { srand(1); for (i = 0; i < n; ++i)
    printf "%08x line %d of the benchmark, and some more words to read\n", int(rand() * 4294967295), i }' >"$2"
}

library_command() {  # <case>
  case "$1" in
    cat) echo "/bin/cat" ;;
    tr) echo "/usr/bin/tr a-z A-Z" ;;
    sort) echo "/usr/bin/sort" ;;
    never-reads) echo "$PWD/build/release/tests/child/test_child fill=5000000" ;;
    exits-early) echo "/usr/bin/head -c 1024" ;;
  esac
}

prepare_library_case() {  # <case>
  local input=$work/library-input-$1
  if [ ! -f "$input" ]; then
    case "$1" in
      tr) library_lines 140000 "$input" ;;        # about 8 MiB
      sort) library_lines 200000 "$input" ;;      # 200 000 lines
      *) library_lines 280000 "$input" ;;         # about 16 MiB
    esac
  fi
  # shellcheck disable=SC2046  # the command is split on purpose; no path holds a space
  $(library_command "$1") <"$input" >"$work/library-expected-$1"
}

library_runs() {  # <case>
  [ $quick -eq 0 ] || { echo 3; return; }
  echo 15
}

library_run() {  # <case> <joined|split> <unit|python>
  local split=() driver
  [ "$2" = joined ] || split=(--split)
  if [ "$3" = unit ]; then
    driver=("$PWD/build/bench/bench/unit_driver")
  else
    driver=("$python" "$PWD/bench/python_run_peer.py")
  fi
  local out=$work/library-output-$3
  # shellcheck disable=SC2046  # the command is split on purpose; no path holds a space
  "$work/measure" "" "$out" "$work/library-expected-$1" "${driver[@]}" "${split[@]}" \
    "$work/library-input-$1" "$out" $(library_command "$1") \
    >>"$work/samples-library-$1-$2-$3"
}

run_library_rows() {
  local case mode round runs
  for case in $library_cases; do
    prepare_library_case "$case"
    runs=$(library_runs "$case")
    for mode in joined split; do
      echo "== library: $case, standard error $mode, $runs rounds of: the process unit, Python"
      rm -f "$work/samples-library-$case-$mode-"*
      for ((round = 1; round <= runs; round++)); do
        library_run "$case" "$mode" unit
        library_run "$case" "$mode" python
      done
    done
  done
}

report_library() {
  echo
  echo "### The process unit against Python's subprocess.run (native)"
  echo
  echo "| Case | Standard error | Runs | Process unit | Python subprocess.run | unit / Python |"
  echo "|---|---|---|---|---|---|"
  local case mode unit peer
  for case in $library_cases; do
    for mode in joined split; do
      unit=$(median "$work/samples-library-$case-$mode-unit" 1)
      peer=$(median "$work/samples-library-$case-$mode-python" 1)
      echo "| $case | $mode | $(wc -l <"$work/samples-library-$case-$mode-unit") |" \
        "$(ms "$unit") ms | $(ms "$peer") ms | $(ratio "$unit" "$peer") |"
    done
  done
}

# --------------------------------------------------------------------------- running

load_before=$(uptime)
echo "== load before the runs: $load_before"
rm -f "$work/picture-medians.txt"
[ $with_platform -eq 0 ] || run_platform native
run_library_rows
[ $with_picture -eq 0 ] || run_picture native
if [ $with_wine -eq 1 ]; then
  start_wine
  run_platform wine
  [ $with_picture -eq 0 ] || run_picture wine
  stop_wine
fi
load_after=$(uptime)
echo "== load after the runs: $load_after"

{
  echo "## Whole-process runs, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "cmdwrap / variant: cmdwrap's median time divided by the variant's (above 1: cmdwrap is"
  echo "slower). Share: the part of the raw pipe's throughput that cmdwrap reaches."
  echo
  echo "Load before the runs: ${load_before#*load average: }; after: ${load_after#*load average: }."
  [ $with_platform -eq 0 ] || report_platform native
  report_library
  [ $with_wine -eq 0 ] || report_platform wine
} >"$results"

if [ $with_picture -eq 1 ]; then
  echo "== the picture: $work/performance.svg"
  "$python" bench/draw_picture.py "$work/picture-medians.txt" "$work/performance.svg" \
    "cmdwrap against its peers, $(date -u '+%Y-%m-%d')"
  # A full run's picture is the one the performance document shows.
  [ $quick -eq 1 ] || [ $with_wine -eq 0 ] || cp "$work/performance.svg" docs/performance.svg
  {
    echo
    echo "## The picture's medians (seconds)"
    echo
    echo "| Platform | Variant | Output | Median time |"
    echo "|---|---|---|---|"
    awk '{ size = $(NF - 1); seconds = $NF; $NF = ""; $(NF - 1) = ""; platform = $1; $1 = ""
           gsub(/^ +| +$/, "")
           printf "| %s | %s | %d KiB | %.1f ms |\n", platform, $0, size / 1024, seconds * 1000 }' \
      "$work/picture-medians.txt"
  } >>"$results"
fi

if [ $with_micro -eq 1 ]; then
  echo "== micro-benchmarks"
  TMPDIR=$work build/bench/bench/micro_benchmarks --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
    --benchmark_out="$work/micro.json" --benchmark_out_format=json | tee "$work/micro.txt"
  # The medians of the five repetitions, as a table.
  {
    echo
    echo "## Micro-benchmarks (medians of 5 repetitions)"
    echo
    echo "| Benchmark | Time | CPU | Rate (G, M: powers of 1024) |"
    echo "|---|---|---|---|"
    awk '$1 ~ /_median$/ {
      name = $1; sub(/_median$/, "", name)
      rate = ""
      for (i = 7; i <= NF; ++i) if ($i ~ /_per_second=/) {
        split($i, kv, "=")
        rate = kv[2]
        sub(/\/s$/, $i ~ /^bytes/ ? "B/s" : " items/s", rate)
      }
      printf "| %s | %s %s | %s %s | %s |\n", name, $2, $3, $4, $5, rate
    }' "$work/micro.txt"
  } >>"$results"
fi
echo
cat "$results"
echo
echo "Results: $results"
