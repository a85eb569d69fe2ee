#!/usr/bin/env bash
# A fuzzing campaign, apart from the test command: every fuzz target (or the named ones) for a
# given time each, from a seed libFuzzer chooses, on a working corpus in build/fuzz/campaign/
# that starts from tests/fuzz/corpus/ and keeps what each campaign adds. Two campaigns make
# different runs; the test command's fuzz stage always makes the same ones. Every finding is
# minimized (build/fuzz/campaign-findings/<name>-crash-....min) and belongs, with its fix, in
# tests/fuzz/corpus/<name>/, which the fuzz stage replays. Exits non-zero on a finding.
#
#   scripts/fuzz.sh                  300 seconds for each target
#   scripts/fuzz.sh 3600 format      an hour for the formatting engine
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

seconds=${1:-300}
[ $# -eq 0 ] || shift
ensure_packages cmake ninja-build clang libclang-rt-14-dev
run_fuzz_campaign fuzz "$seconds" "$@"
