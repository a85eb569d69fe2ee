#!/usr/bin/env bash
# Package test: the build installed into a scratch prefix holds what it should (the license
# too) and no private header; its manual page renders; its cmdwrap runs; and a consumer builds
# and runs against it, through the CMake package (every installed header also compiled on its
# own) and through pkg-config.
#
#   installed_tree_test.sh <source folder> <build folder> <version> <scratch folder>
set -euo pipefail
source_dir=$1 build=$2 version=$3 scratch=$4
cd "$source_dir"
source tests/package/package_checks.sh

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
check_installed_tree "$scratch/prefix" "$version"
check_license_files "$scratch/prefix"
check_manual_page "$scratch/prefix/share/man/man1/cmdwrap.1" "$version"
check_installed_cmdwrap "$scratch/prefix/bin/cmdwrap" "$scratch/run"
check_cmdwrap_runs_shell "$scratch/prefix/bin/cmdwrap" "$scratch/run"
consumer_runner=()
check_consumer "$scratch/prefix" "$scratch/consumer" "$version"
check_pkg_config_consumer "$scratch/prefix" "$scratch/pkg-config" "$version"
echo "installed tree: all checks passed"
