# The checks that an installed tree, the Debian packages and the Windows zip hold a working
# cmdwrap and a usable ortolib, shared by the package tests of this folder. Each test sources
# this file from the repository's top folder, where the paths below are relative.

consumer_source=tests/package/consumer
jobs=$(nproc 2>/dev/null || echo 2)

package_fail() {
  echo "package check failed: $*" >&2
  exit 1
}

# What the installed cmdwrap at $1 must do before any child is involved: fewer than two
# arguments end with -1 (255 here) and the usage line, an argument file that cannot be read
# with -1 and its Error: line, at once and with no file created. $2 is a scratch folder; a
# runner (such as cmake/wine-run with its prefix) may follow as further arguments.
check_installed_cmdwrap() {
  local program=$1 work=$2 status expected
  shift 2
  local run=("$@" "$program")
  local usage="Usage: cmdwrap <executable> <argument-file>"
  local unreadable="Error: Couldn't read '$work/missing.args' error [0-9]+"
  mkdir -p "$work"
  for arguments in "" "/bin/sh" "/bin/sh|$work/missing.args"; do
    local args=()
    [ -z "$arguments" ] || IFS='|' read -r -a args <<<"$arguments"
    expected=$usage
    [ ${#args[@]} -lt 2 ] || expected=$unreadable
    status=0
    "${run[@]}" "${args[@]}" >"$work/streams" 2>&1 </dev/null || status=$?
    [ "$status" -eq 255 ] ||
      package_fail "$program ${args[*]}: exit status $status, not 255"
    [ "$(wc -l <"$work/streams")" -eq 1 ] && tr -d '\r' <"$work/streams" | grep -qxE "$expected" ||
      package_fail "$program ${args[*]}: wrote $(head -c 200 "$work/streams"), not $expected"
  done
  [ ! -e "$work/missing.args" ] || package_fail "$program created the missing argument file"
}

# Runs the cmdwrap at $1 on the child $2 with the argument file $3, written beforehand, and
# checks the run: exit status $4, the file's bytes afterwards $5 (a printf format), nothing on
# either standard stream. A runner (such as cmake/wine-run with its prefix) may follow.
check_cmdwrap_run() {
  local program=$1 child=$2 file=$3 expected_status=$4 expected_bytes=$5 status=0
  shift 5
  "$@" "$program" "$child" "$file" >"$file.streams" 2>&1 </dev/null || status=$?
  [ "$status" -eq "$expected_status" ] ||
    package_fail "$program $child: exit status $status, not $expected_status"
  # shellcheck disable=SC2059 # the expected bytes are given as a format
  printf "$expected_bytes" >"$file.expected"
  if ! cmp -s "$file" "$file.expected"; then
    package_fail "$program $child: the argument file holds"$'\n'"$(od -An -c "$file")"$'\n'\
"instead of"$'\n'"$(od -An -c "$file.expected")"
  fi
  [ ! -s "$file.streams" ] ||
    package_fail "$program $child: wrote $(head -c 200 "$file.streams")"
}

# A real run of the installed cmdwrap at $1 with /bin/sh as the child: the argument file's
# lines (an empty one skipped, two blanks kept inside one argument) reach the shell whole, its
# standard output and standard error come back in the file with LF as CR LF, and its exit
# code is cmdwrap's. $2 is a scratch folder.
check_cmdwrap_runs_shell() {
  local program=$1 work=$2
  mkdir -p "$work"
  cat >"$work/shell.args" <<'ARGS'
-c
printf '%s|\n' "$1"; echo err >&2; exit 3
sh

two  words
ARGS
  check_cmdwrap_run "$program" /bin/sh "$work/shell.args" 3 'two  words|\r\nerr\r\n'
}

# The same for a Windows cmdwrap.exe at $1 with the mingw build's helper child $2, run under
# the runner that follows $3 (the scratch folder): an argument file with CR LF line ends and
# an empty line, the child writing to both of its streams and ending with 3.
check_cmdwrap_runs_child() {
  local program=$1 child=$2 work=$3
  shift 3
  mkdir -p "$work"
  # out= "two  words|" LF, err= "err" LF: bytes as hexadecimal, as the helper child takes them.
  printf 'out=74776f2020776f7264737c0a\r\n\r\nerr=6572720a\r\nexit=3\r\n' >"$work/child.args"
  check_cmdwrap_run "$program" "$child" "$work/child.args" 3 'two  words|\r\nerr\r\n' "$@"
}

# The files an installed tree under $1 must hold, and those it must not. $3 is the suffix of
# program files (.exe for the Windows tree), $4 the library folder (lib, or the Debian packages'
# lib/<multiarch>), $5 the manual page's name (cmdwrap.1, or the packages' cmdwrap.1.gz).
check_installed_tree() {
  local prefix=$1 version=$2 suffix=${3:-} libdir=${4:-lib} manual_page=${5:-cmdwrap.1} file
  for file in "bin/cmdwrap$suffix" "share/man/man1/$manual_page" "$libdir/libortolib.a" \
      include/ortolib/version.h include/ortolib/core/string.h include/ortolib/core/number_text.h \
      include/ortolib/core/critsec.h include/ortolib/platform/types.h \
      include/ortolib/platform/command_line.h "$libdir/cmake/ortolib/ortolibConfig.cmake" \
      "$libdir/cmake/ortolib/ortolibConfigVersion.cmake" "$libdir/cmake/ortolib/ortolibTargets.cmake" \
      "$libdir/pkgconfig/ortolib.pc"; do
    [ -f "$prefix/$file" ] || package_fail "$file is not installed"
  done
  [ ! -e "$prefix/include/ortolib/platform/posix" ] && [ ! -e "$prefix/include/ortolib/platform/win32" ] &&
    [ ! -e "$prefix/include/ortolib/platform/private" ] ||
    package_fail "the platform's private or backend headers are installed"
  grep -qx "#define ORTO_VERSION_STRING \"$version\"" "$prefix/include/ortolib/version.h" ||
    package_fail "the installed version header does not say $version"
}

# The library alone, as `cmake --install <build> --component development` puts it under $1: the
# static library, headers, CMake package, pkg-config file, overview and license, and nothing of
# the program (no cmdwrap, no manual page, none of its documents).
check_library_only_tree() {
  local prefix=$1 file
  for file in lib/libortolib.a include/ortolib/config.h include/ortolib/core/string.h \
      include/ortolib/version.h lib/cmake/ortolib/ortolibConfig.cmake lib/pkgconfig/ortolib.pc \
      share/doc/ortolib/LIBRARY.md share/doc/ortolib/LICENSE; do
    [ -f "$prefix/$file" ] || package_fail "the library's $file is not installed"
  done
  for file in bin share/man share/doc/cmdwrap; do
    [ ! -e "$prefix/$file" ] || package_fail "installing the library alone installed $file"
  done
}

# Every header installed under $1/include/ortolib compiles on its own, found through -I as
# pkg-config gives it (so its warnings are not silenced as a system header's are), without a
# warning under the strictest common flags, with g++ and, where it is installed, clang++; and
# under C++17 each stops at one error that says C++20 is needed.
check_headers_alone() {
  local include=$1/include header output compiler errors
  local strict=(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)
  local compilers=(g++)
  ! command -v clang++ >/dev/null || compilers+=(clang++)
  while read -r header; do
    for compiler in "${compilers[@]}"; do
      output=$(echo "#include <$header>" |
        "$compiler" -std=c++20 -x c++ -fsyntax-only "${strict[@]}" -I "$include" - 2>&1) ||
        package_fail "$header does not compile alone with $compiler:"$'\n'"$output"
      [ -z "$output" ] || package_fail "$compiler warns about $header:"$'\n'"$output"
    done
    output=$(echo "#include <$header>" | g++ -std=c++17 -x c++ -fsyntax-only -I "$include" - 2>&1) &&
      package_fail "$header compiles under C++17"
    errors=$(grep -c -E '(^|: )(fatal )?error: ' <<<"$output" || true)
    [ "$errors" -eq 1 ] && grep -q 'ortolib needs C++20' <<<"$output" ||
      package_fail "$header under C++17 gives $errors errors, not the one that says C++20:"$'\n'"$output"
  done < <(cd "$include" && find ortolib -name '*.h' | sort)
}

# A shared object linked with the static library of the tree under $1 through pkg-config's
# flags, then a program that calls it and knows nothing of ortolib, built in $2 and run. The
# library must be position-independent for the first link, and its code must hold no
# relocation of the local-exec thread-local model (R_X86_64_TPOFF32), which no shared object may.
check_shared_object() {
  local prefix=$1 build=$2 libdir=${3:-lib} flags output
  local -x PKG_CONFIG_PATH="" PKG_CONFIG_LIBDIR=$prefix/$libdir/pkgconfig
  ! readelf -r "$prefix/$libdir/libortolib.a" | grep -q '\bR_X86_64_TPOFF32\b' ||
    package_fail "$prefix/$libdir/libortolib.a holds R_X86_64_TPOFF32 relocations"
  flags=$(pkg-config --cflags --libs ortolib) || package_fail "pkg-config: no flags for ortolib"
  rm -rf "$build"
  mkdir -p "$build"
  # shellcheck disable=SC2086 # the flags are words
  c++ -std=c++20 -Wall -Wextra -Werror -shared -fPIC tests/package/shared_object/greeting.cpp \
    -o "$build/libgreeting.so" $flags >"$build.log" 2>&1 ||
    package_fail "no shared object links with $prefix's library:"$'\n'"$(tail -n 30 "$build.log")"
  c++ -std=c++20 -Wall -Wextra -Werror tests/package/shared_object/main.cpp -o "$build/greet" \
    -L"$build" -lgreeting -Wl,-rpath,"$build" >"$build.log" 2>&1 ||
    package_fail "the program does not link with the shared object:"$'\n'"$(tail -n 30 "$build.log")"
  output=$("$build/greet" </dev/null) || package_fail "the program of the shared object failed"
  [ "$output" = "list has 5000000000 items" ] ||
    package_fail "the program of the shared object printed: $output"
}

# The license beside the program's documents and the library's, in an installed tree under $1:
# the project's LICENSE, unchanged.
check_license_files() {
  local prefix=$1 file
  for file in share/doc/cmdwrap/LICENSE share/doc/ortolib/LICENSE; do
    cmp -s LICENSE "$prefix/$file" || package_fail "$prefix/$file is not the project's LICENSE"
  done
}

# The library overview in the documents folder $2 of the tree under $1: docs/LIBRARY.md, unchanged.
check_library_overview() {
  cmp -s docs/LIBRARY.md "$1/$2/LIBRARY.md" || package_fail "$1/$2/LIBRARY.md is not docs/LIBRARY.md"
}

# The manual page at $1: the version in its title line, and no warning from groff.
check_manual_page() {
  local page=$1 version=$2 warnings
  grep -q "^\.TH CMDWRAP 1 \"[0-9-]*\" \"cmdwrap $version\"" "$page" ||
    package_fail "$page does not carry version $version"
  if command -v groff >/dev/null; then
    warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || package_fail "groff warns about $page: $warnings"
  fi
  if command -v man >/dev/null; then
    local rendered
    rendered=$(MANWIDTH=80 man -l "$page" 2>/dev/null)
    grep -q '^EXIT STATUS$' <<<"$rendered" && grep -q "cmdwrap $version" <<<"$rendered" ||
      package_fail "man -l does not render $page"
  fi
}

# Builds the consumer project in $2 against the installed tree $1 and compares what it prints.
# Further arguments go to its configure step; a runner for the program may be set in
# consumer_runner (an array).
check_consumer() {
  local prefix=$1 build=$2 version=$3 program output expected
  shift 3
  rm -rf "$build"
  cmake -S "$consumer_source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" "$@" >"$build.log" 2>&1 ||
    package_fail "the consumer does not configure against $prefix:"$'\n'"$(tail -n 30 "$build.log")"
  grep -q "^ortolib_DIR:[A-Z]*=$prefix/" "$build/CMakeCache.txt" ||
    package_fail "the consumer found ortolib outside $prefix: $(grep '^ortolib_DIR' "$build/CMakeCache.txt")"
  cmake --build "$build" -j "$jobs" >"$build.log" 2>&1 ||
    package_fail "the consumer does not build against $prefix:"$'\n'"$(tail -n 30 "$build.log")"
  program=$build/consumer
  [ -f "$program" ] || program=$build/consumer.exe
  check_consumer_output "$program" "$prefix" "$version"
}

# Runs the consumer program $1, built against the installed tree $2, and compares what it
# prints; a runner for the program may be set in consumer_runner (an array).
check_consumer_output() {
  local program=$1 prefix=$2 version=$3 output expected
  # Run inside the program's folder, where a wildcard would match files if it were expanded.
  output=$(cd "$(dirname "$program")" && "${consumer_runner[@]}" "$program" '*' 'two words' \
    </dev/null | tr -d '\r') || package_fail "the consumer built against $prefix failed"
  expected="ortolib $version
-9007199254740993|-9007199254740993 4294967295 0000FF
3 items of 5000000000 bytes: std, view
"'"say \"hi\" C:\dir\\"'"
argument 1: *
argument 2: two words"
  [ "$output" = "$expected" ] ||
    package_fail "the consumer built against $prefix printed:"$'\n'"$output"$'\n'"instead of:"$'\n'"$expected"
}

# Builds the consumer's source in $2 with nothing but the compiler and what pkg-config says of
# the ortolib.pc in the installed tree $1 (no other package is visible to it), then runs it.
# $4 is the library folder of the tree (lib by default).
check_pkg_config_consumer() {
  local prefix=$1 build=$2 version=$3 libdir=${4:-lib} flags
  local -x PKG_CONFIG_PATH="" PKG_CONFIG_LIBDIR=$prefix/$libdir/pkgconfig
  [ "$(pkg-config --modversion ortolib)" = "$version" ] ||
    package_fail "pkg-config does not find ortolib $version under $prefix"
  flags=$(pkg-config --cflags --libs ortolib) || package_fail "pkg-config: no flags for ortolib"
  rm -rf "$build"
  mkdir -p "$build"
  # shellcheck disable=SC2086 # the flags are words
  c++ -std=c++20 -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror \
    "$consumer_source/main.cpp" -o "$build/consumer" $flags \
    >"$build.log" 2>&1 ||
    package_fail "the consumer does not build with pkg-config's flags ($flags):"$'\n'"$(tail -n 30 "$build.log")"
  consumer_runner=()
  check_consumer_output "$build/consumer" "$prefix" "$version"
}

# The Debian packages that the build folder $1 made, as the array debian_packages: cmdwrap,
# then libortolib-dev.
find_debian_packages() {
  local dir=$1/packages version=$2 arch
  arch=$(dpkg --print-architecture)
  debian_packages=("$dir/cmdwrap_${version}-1_${arch}.deb" "$dir/libortolib-dev_${version}-1_${arch}.deb")
  [ -f "${debian_packages[0]}" ] && [ -f "${debian_packages[1]}" ] ||
    package_fail "expected ${debian_packages[*]}: build them first (scripts/package.sh deb)"
}

# Debian's checker, lintian, on both packages that the build folder $1 made: no error and no
# warning. Its informational tags are shown, not judged.
check_lintian() {
  local debian_packages
  command -v lintian >/dev/null || package_fail "lintian is not installed (Debian package lintian)"
  find_debian_packages "$1" "$2"
  lintian --display-info --fail-on error,warning "${debian_packages[@]}" ||
    package_fail "lintian finds errors or warnings in the Debian packages"
}

# The copyright file $1 of a Debian package, in Debian's machine-readable form: its copyright
# and its license's text are those of the project's LICENSE.
check_debian_copyright() {
  local file=$1 expected actual
  head -n 1 "$file" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    package_fail "$file is not in the machine-readable format"
  grep -qx "Copyright: $(sed -n 's/^Copyright (c) //p' LICENSE)" "$file" ||
    package_fail "$file does not name LICENSE's copyright holder"
  expected=$(sed '1,/^Copyright (c) /d' LICENSE | sed '1{/^$/d}')
  actual=$(sed '1,/^License: Expat$/d; s/^ //; s/^\.$//' "$file")
  [ "$expected" = "$actual" ] || package_fail "$file does not hold LICENSE's text:"$'\n'"$actual"
}

# The Debian packages that the build folder $1 made: their control fields and files, then both
# unpacked into the scratch root $2, where cmdwrap runs and the consumer builds against the
# unpacked library. What lintian judges (the maintainer's form, the dependencies, stripping,
# compression) is left to check_lintian.
check_debian_packages() {
  local build=$1 root=$2 version=$3 debian_packages deb dev multiarch contents file
  find_debian_packages "$build" "$version"
  deb=${debian_packages[0]} dev=${debian_packages[1]}
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)

  [ "$(dpkg-deb -f "$deb" Package)" = cmdwrap ] || package_fail "$deb: wrong package name"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || package_fail "$deb: wrong version"
  [ "$(dpkg-deb -f "$deb" Section)" = utils ] || package_fail "$deb: wrong section"
  dpkg-deb -f "$deb" Depends | grep -q '^libc6' || package_fail "$deb: does not depend on libc6"
  dpkg-deb -f "$deb" Description | tail -n +2 | grep -q . || package_fail "$deb: no long description"
  contents=$(dpkg-deb -c "$deb")
  grep -q ' \./usr/bin/cmdwrap$' <<<"$contents" || package_fail "$deb: no /usr/bin/cmdwrap"
  ! grep -q '\.a$\|\.h$' <<<"$contents" || package_fail "$deb: holds the library's files"
  [ "$(dpkg-deb -f "$dev" Package)" = libortolib-dev ] || package_fail "$dev: wrong package name"

  rm -rf "$root"
  dpkg -x "$deb" "$root"
  dpkg -x "$dev" "$root"
  check_debian_copyright "$root/usr/share/doc/cmdwrap/copyright"
  check_debian_copyright "$root/usr/share/doc/libortolib-dev/copyright"
  check_library_overview "$root/usr" share/doc/libortolib-dev
  cmp -s <(gzip -dc "$root/usr/share/doc/cmdwrap/changelog.gz") CHANGELOG.md ||
    package_fail "changelog.gz is not CHANGELOG.md"
  gzip -dc "$root/usr/share/doc/cmdwrap/changelog.Debian.gz" | head -n 1 |
    grep -q "^cmdwrap ($version-1) " || package_fail "changelog.Debian.gz is not for $version-1"
  # Compressed without a name or a time, so that the same sources give the same bytes.
  while read -r file; do
    [ "$(od -An -tx1 -j3 -N5 "$file" | tr -d ' ')" = 0000000000 ] ||
      package_fail "$file carries a name or a time stamp"
  done < <(find "$root" -name '*.gz')
  gzip -dc "$root/usr/share/man/man1/cmdwrap.1.gz" >"$root.cmdwrap.1"
  check_manual_page "$root.cmdwrap.1" "$version"
  # The debug information kept apart belongs to this very program.
  [ "$(debian_build_id "$root/usr/bin/cmdwrap")" = "$(debian_build_id "$build/generated/debian/cmdwrap.debug")" ] ||
    package_fail "generated/debian/cmdwrap.debug is not the packaged program's debug information"

  check_installed_tree "$root/usr" "$version" "" "lib/$multiarch" cmdwrap.1.gz
  check_installed_cmdwrap "$root/usr/bin/cmdwrap" "$root.run"
  check_cmdwrap_runs_shell "$root/usr/bin/cmdwrap" "$root.run"
  consumer_runner=()
  check_consumer "$root/usr" "$root.consumer" "$version" -DCONSUMER_CHECK_HEADERS=OFF
  check_pkg_config_consumer "$root/usr" "$root.pkg-config" "$version" "lib/$multiarch"
  check_shared_object "$root/usr" "$root.shared" "lib/$multiarch"
}

# The build id of the ELF file $1.
debian_build_id() {
  readelf -n "$1" | sed -n 's/^ *Build ID: //p'
}

# The Windows zip: its listing, then unpacked, cmdwrap.exe run under wine and the consumer
# cross-built against the unpacked library (with ortolib::program, the no-wildcard source)
# and run under wine. $4 is the mingw build that made the zip: its wine prefix (on a running
# wineserver) and its helper child are used.
check_windows_zip() {
  local zip=$1 scratch=$2 version=$3 windows_build=$4 listing top prefix
  listing=$(cmake -E tar tf "$zip")
  top=cmdwrap-$version-win64
  for file in bin/cmdwrap.exe lib/libortolib.a include/ortolib/version.h \
      include/ortolib/core/string.h share/ortolib/program_no_wildcards.cpp \
      lib/cmake/ortolib/ortolibConfig.cmake lib/pkgconfig/ortolib.pc share/man/man1/cmdwrap.1; do
    grep -qx "$top/$file" <<<"$listing" || package_fail "$zip does not list $top/$file"
  done
  ! grep -q 'platform/\(win32\|private\)/' <<<"$listing" ||
    package_fail "$zip holds the platform's private or backend headers"

  rm -rf "$scratch"
  mkdir -p "$scratch"
  (cd "$scratch" && cmake -E tar xf "$zip")
  prefix=$scratch/$top
  check_installed_tree "$prefix" "$version" .exe
  check_license_files "$prefix"
  check_library_overview "$prefix" share/doc/ortolib
  # The tests' wine prefix; a first run sets it up and may talk about that on its own.
  local wine_prefix=$windows_build/wineprefix
  mkdir -p "$wine_prefix"
  cmake/wine-run "$wine_prefix" "$prefix/bin/cmdwrap.exe" >/dev/null 2>&1 </dev/null || true
  check_installed_cmdwrap "$prefix/bin/cmdwrap.exe" "$scratch/run" "$PWD/cmake/wine-run" "$wine_prefix"
  # The mingw build that made the zip also built the helper child of the tests.
  local child=$windows_build/tests/child/test_child.exe
  if [ -f "$child" ]; then
    check_cmdwrap_runs_child "$prefix/bin/cmdwrap.exe" "$child" "$scratch/run" \
      "$PWD/cmake/wine-run" "$wine_prefix"
  else
    echo "== package: no $child (tests not built): cmdwrap.exe is not run with a child"
  fi
  consumer_runner=("$PWD/cmake/wine-run" "$wine_prefix")
  check_consumer "$prefix" "$scratch/consumer" "$version" -DCONSUMER_CHECK_HEADERS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -Dortolib_DIR="$prefix/lib/cmake/ortolib" \
    -DCMAKE_EXE_LINKER_FLAGS=-static
  # Whether "*" would be expanded depends on how the runtime was built: look at the build too.
  grep -q "$prefix/share/ortolib/program_no_wildcards\.cpp" "$scratch/consumer/build.ninja" ||
    package_fail "ortolib::program did not bring its source into the Windows consumer"
}
