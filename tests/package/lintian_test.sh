#!/usr/bin/env bash
# Package test: Debian's own checker, lintian, finds no error and no warning in either Debian
# package that scripts/package.sh made; its informational tags are shown, not judged.
#
#   lintian_test.sh <source folder> <build folder of the Debian packages> <version>
set -euo pipefail
source_dir=$1 build=$2 version=$3
cd "$source_dir"
source tests/package/package_checks.sh

check_lintian "$build" "$version"
echo "lintian: no error and no warning"
