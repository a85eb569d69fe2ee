#!/usr/bin/env bash
# Package test: the Debian packages that scripts/package.sh made (cmdwrap and libortolib-dev):
# their control fields and files, the copyright file and changelogs, then both unpacked into a
# scratch root, where cmdwrap runs and a consumer builds against the unpacked library through
# CMake and through pkg-config.
#
#   debian_packages_test.sh <source folder> <build folder of the packages> <version> <scratch folder>
set -euo pipefail
source_dir=$1 build=$2 version=$3 scratch=$4
cd "$source_dir"
source tests/package/package_checks.sh

rm -rf "$scratch"
mkdir -p "$scratch"
check_debian_packages "$build" "$scratch/root" "$version"
echo "Debian packages: all checks passed"
