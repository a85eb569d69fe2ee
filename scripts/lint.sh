# The lint stage of scripts/test.sh: the layering check (scripts/check_layers.sh: includes only
# downward, OS headers only in the platform backends), the layout check (clang-format) on every
# C++ file, and the static analysers (clang-tidy, cppcheck) on the library and the wrapper. Any
# finding fails it.

# Every C++ source and header of the project, the examples in docs/ too; no build folder.
lint_all_sources() {
  local dir
  for dir in library wrapper tests bench docs; do
    if [ -d "$dir" ]; then
      find "$dir" -type f \( -name '*.cpp' -o -name '*.h' \)
    fi
  done | sort
}

# The sources the analysers must find clean, for one backend (posix or win32).
lint_checked_sources() {
  local backend=$1
  ls library/ortolib/*/*.cpp \
    library/ortolib/platform/"$backend"/*.cpp wrapper/*.cpp 2>/dev/null
}

# Configures a preset, which writes its compile database. Done every time (it takes seconds
# once configured): the source lists are globbed, and a new file must not go unanalysed.
lint_compile_database() {
  cmake --preset "$1" >/dev/null
}

# The libstdc++ include folders of the mingw-w64 compiler, as clang arguments: clang does not
# find them on its own next to Debian's "-posix" compiler.
lint_mingw_cxx_includes() {
  x86_64-w64-mingw32-g++-posix -xc++ -E -v /dev/null 2>&1 >/dev/null |
    sed -n 's|^ \(/.*/include/c++[^ ]*\)$|--extra-arg=-isystem\1|p'
}

# Runs clang-tidy on files read from standard input, two at a time per job, with the compile
# database of a build folder; prints only the findings. Fails if there is any.
lint_clang_tidy() {
  local build=$1 output status=0
  shift
  output=$(xargs -P "$jobs" -n 2 clang-tidy -p "$build" --quiet "$@" 2>&1) || status=$?
  grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter=|^Error while processing' <<<"$output" || true
  return $status
}

lint_cppcheck() {
  local build=$1
  shift
  cppcheck --project="$build/compile_commands.json" --enable=warning,performance,portability \
    --inconclusive --inline-suppr --error-exitcode=1 -j "$jobs" --quiet \
    --template='{file}:{line}: {severity}: {message} [{id}]' "$@"
}

run_lint_stage() {
  local start=$SECONDS failed=0
  ensure_packages clang-tidy clang-format cppcheck

  echo "== lint: layers (includes only downward, OS headers only in the backends)"
  scripts/check_layers.sh || failed=1

  echo "== lint: layout (clang-format)"
  lint_all_sources | xargs clang-format --dry-run --Werror || failed=1

  lint_compile_database debug
  echo "== lint: clang-tidy, native (POSIX backend)"
  lint_checked_sources posix | lint_clang_tidy build/debug || failed=1
  echo "== lint: cppcheck, native (POSIX backend)"
  lint_cppcheck build/debug --file-filter='library/*' --file-filter='wrapper/*' || failed=1

  lint_compile_database mingw
  local includes
  mapfile -t includes < <(lint_mingw_cxx_includes)
  echo "== lint: clang-tidy, Windows backend (mingw-w64 compile database)"
  ls library/ortolib/platform/win32/*.cpp |
    lint_clang_tidy build/mingw --extra-arg=--target=x86_64-w64-mingw32 "${includes[@]}" ||
    failed=1
  echo "== lint: cppcheck, Windows backend"
  lint_cppcheck build/mingw --platform=win64 --file-filter='library/ortolib/platform/win32/*' || failed=1

  if [ $failed -ne 0 ]; then
    echo "== lint: findings above ($((SECONDS - start)) s)" >&2
    return 1
  fi
  echo "== lint: clean ($((SECONDS - start)) s)"
}
