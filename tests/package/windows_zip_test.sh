#!/usr/bin/env bash
# Package test: the Windows zip that scripts/package.sh made from the mingw build: its listing,
# then unpacked, cmdwrap.exe run under wine (alone and on the build's helper child) and a
# consumer cross-built against it and run under wine. A warm wineserver for the build's wine
# prefix makes this quick (scripts/test.sh starts one for the package stage).
#
#   windows_zip_test.sh <source folder> <mingw build folder> <version> <scratch folder>
set -euo pipefail
source_dir=$1 windows_build=$2 version=$3 scratch=$4
cd "$source_dir"
source tests/package/package_checks.sh

zip=$windows_build/packages/cmdwrap-$version-win64.zip
[ -f "$zip" ] || package_fail "no $zip: build it first (scripts/package.sh zip)"
check_windows_zip "$zip" "$scratch" "$version" "$windows_build"
echo "Windows zip: all checks passed"
