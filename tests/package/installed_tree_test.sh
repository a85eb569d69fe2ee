#!/usr/bin/env bash
# Package test: the build installed into a scratch prefix holds what it should (the license
# too) and no private header; its manual page renders; its cmdwrap runs. The library installed
# alone (the development component) holds the library's files and nothing of the program; a
# consumer builds and runs against it, through the CMake package (every installed header also
# compiled on its own) and through pkg-config, each header compiles alone without a warning
# and stops under C++17, and a shared object links with its static library.
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
check_library_overview "$scratch/prefix" share/doc/ortolib
check_manual_page "$scratch/prefix/share/man/man1/cmdwrap.1" "$version"
check_installed_cmdwrap "$scratch/prefix/bin/cmdwrap" "$scratch/run"
check_cmdwrap_runs_shell "$scratch/prefix/bin/cmdwrap" "$scratch/run"
cmake --install "$build" --component development --prefix "$scratch/library" >/dev/null
check_library_only_tree "$scratch/library"
check_headers_alone "$scratch/library"
consumer_runner=()
check_consumer "$scratch/library" "$scratch/consumer" "$version"
check_pkg_config_consumer "$scratch/library" "$scratch/pkg-config" "$version"
check_shared_object "$scratch/library" "$scratch/shared"
echo "installed tree: all checks passed"
