#!/usr/bin/env bash
# Builds the release packages: the Debian packages cmdwrap and libortolib-dev from the deb
# preset (into build/deb/packages/) and the Windows zip from the mingw preset (into
# build/mingw/packages/). Run as root on a fresh Debian machine it first installs what it needs.
# What the packages deliver is checked by the package tests (tests/package/, scripts/test.sh
# package).
#
#   scripts/package.sh          both
#   scripts/package.sh deb      only the Debian packages
#   scripts/package.sh zip      only the Windows zip
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

# Builds a preset and makes its packages with cpack in build/<preset>/packages.
build_packages() {
  local preset=$1 generator=$2
  echo "== package: build the $preset preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== package: $generator packages"
  rm -rf "build/$preset/packages"
  (cd "build/$preset" && cpack -G "$generator" >/dev/null)
  ls "build/$preset/packages"/*
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip)

ensure_packages cmake ninja-build g++ libgtest-dev dpkg-dev file
for kind in "${kinds[@]}"; do
  case "$kind" in
    deb) build_packages deb DEB ;;
    zip) ensure_packages googletest g++-mingw-w64-x86-64-posix; build_packages mingw ZIP ;;
    *) echo "unknown package kind: $kind (deb or zip)" >&2; exit 2 ;;
  esac
done
