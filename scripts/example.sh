#!/usr/bin/env bash
# Builds cmdwrap and runs it once on the shipped example: /bin/sh with the lines of
# examples/greeting.args as its arguments. Shows the argument file before and after the run
# and cmdwrap's exit status (the child's own: 3).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

ensure_packages cmake ninja-build g++ libgtest-dev
cmake --preset release >/dev/null
cmake --build --preset release --target cmdwrap >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/greeting.args "$work/greeting.args"

echo "== argument file before the run (one argument per line; the empty line is skipped):"
cat "$work/greeting.args"
echo
echo "== build/release/wrapper/cmdwrap /bin/sh greeting.args"
status=0
build/release/wrapper/cmdwrap /bin/sh "$work/greeting.args" || status=$?
echo "== exit status: $status"
echo "== argument file after the run (cat -A shows each CR LF line end as ^M\$):"
cat -A "$work/greeting.args"
