#!/usr/bin/env bash
# Cross-compiles the macOS agents against a macOS SDK, for both slices of the universal
# binary: arm64 (minimum macOS 11.0) and x86_64 (minimum macOS 10.10), with warnings as
# errors and an unguarded use of an API newer than the slice's minimum as an error. It
# compiles only; nothing is linked.
#
#   MACOS_SDK_ROOT=/path/to/MacOSX.sdk scripts/check-macos.sh [--analyze] [--cmake-build]
#
# 1. Configures the project for macOS (cmake/MacOSCrossCheck.cmake, tests and benchmarks
#    off). The sources to check are those of the configured targets, that is every source
#    the macOS executables are built from (compile_commands.json). The configuration itself
#    is checked too: ARC for every .mm, both slices with their own minimums for every
#    object, and the Info.plist embedded in each agent.
# 2. Compiles every source on its own, for each slice.
# 3. With --analyze, also runs the Clang Static Analyzer over every source that compiled,
#    with the same options and the checkers core, cplusplus, unix, osx and nullability; each
#    finding is an error, and a false positive is explained in a comment at its line. The
#    backend (platform/macos) is analyzed for each slice, the portable sources, whose code
#    is the same for both, for the first.
# 4. With --cmake-build, also compiles every object with CMake's own command lines (one
#    universal object per source, the slices joined by lipo) and checks each object's
#    slices and minimums.
#
# Without MACOS_SDK_ROOT it prints that it was skipped and succeeds, so that CI on Linux
# stays green. Environment: QUEN_MACOS_CHECK_DIR (work directory, default
# build/check-macos), JOBS (parallel compiles, default 2).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${MACOS_SDK_ROOT:-}" ]; then
  echo "macOS compile check skipped: set MACOS_SDK_ROOT to a macOS SDK"
  exit 0
fi
cmake_build=false
analyze=false
for argument in "$@"; do
  case "$argument" in
    --analyze) analyze=true ;;
    --cmake-build) cmake_build=true ;;
    *) echo "usage: MACOS_SDK_ROOT=<sdk> $0 [--analyze] [--cmake-build]" >&2; exit 2 ;;
  esac
done
sdk=$(cd "$MACOS_SDK_ROOT" 2>/dev/null && pwd) || {
  echo "macOS compile check: MACOS_SDK_ROOT is not a directory: $MACOS_SDK_ROOT" >&2
  exit 2
}

# The first of the named programs that exists.
first_tool() {
  for name in "$@"; do
    if command -v "$name" >/dev/null 2>&1; then command -v "$name"; return 0; fi
  done
  echo "macOS compile check: none of these programs is installed: $*" >&2
  return 1
}
clang=$(first_tool clang++-19 clang++)
ninja=$(first_tool ninja)
# The programs cmake/MacOSCrossCheck.cmake configures with. CMake wants an archiver and
# install_name_tool to exist on Apple systems; this check runs neither.
QUEN_CHECK_CLANG=$clang
QUEN_CHECK_AR=$(first_tool llvm-ar-19 llvm-ar ar)
QUEN_CHECK_RANLIB=$(first_tool llvm-ranlib-19 llvm-ranlib ranlib)
QUEN_CHECK_INSTALL_NAME_TOOL=$(first_tool llvm-install-name-tool-19 llvm-install-name-tool \
  install_name_tool true)
MACOS_SDK_ROOT=$sdk
export QUEN_CHECK_CLANG QUEN_CHECK_AR QUEN_CHECK_RANLIB QUEN_CHECK_INSTALL_NAME_TOOL MACOS_SDK_ROOT
work=${QUEN_MACOS_CHECK_DIR:-build/check-macos}
mkdir -p "$work"
work=$(cd "$work" && pwd)
jobs=${JOBS:-2}

# The two slices: clang target and minimum system.
slices=("arm64-apple-macos11.0" "x86_64-apple-macos10.10")
expected_options=(
  "-arch arm64" "-arch x86_64"
  "-Xarch_arm64 -mmacosx-version-min=11.0" "-Xarch_x86_64 -mmacosx-version-min=10.10"
  "-Werror=unguarded-availability-new"
)

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

echo "== configure for macOS ($clang, SDK $sdk)"
build="$work/cmake"
if ! cmake --fresh -S . -B "$build" -G Ninja -DCMAKE_MAKE_PROGRAM="$ninja" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/MacOSCrossCheck.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DQUEN_BUILD_TESTS=OFF -DQUEN_BUILD_BENCHMARKS=OFF -DQUEN_BUILD_FUZZERS=OFF \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >"$work/configure.log" 2>&1; then
  tail -n 30 "$work/configure.log"
  echo "FAILED: CMake configure for macOS (log: $work/configure.log)"
  exit 1
fi

# Each compile command as "<file><TAB><command>", from CMake's compilation database.
awk '
  /^ *"command": "/ { sub(/^ *"command": "/, ""); sub(/",?$/, ""); command = $0 }
  /^ *"file": "/ { sub(/^ *"file": "/, ""); sub(/",?$/, ""); print $0 "\t" command }
' "$build/compile_commands.json" | sort -u >"$work/commands.tsv"
mapfile -t sources < <(cut -f1 "$work/commands.tsv" | sed "s|^$PWD/||")
if [ ${#sources[@]} -eq 0 ]; then
  fail "no sources in $build/compile_commands.json"
  exit 1
fi

echo "== the macOS build setup"
# Each expected option, and the sources compiled without it (one line per option).
for option in "${expected_options[@]}" -fobjc-arc; do
  lacking=()
  while IFS=$'\t' read -r file command; do
    name=${file#"$PWD/"}
    [[ "$option" == -fobjc-arc && "$name" != *.mm ]] && continue
    [[ " $command " == *" $option "* ]] || lacking+=("$name")
  done <"$work/commands.tsv"
  if [ ${#lacking[@]} -ne 0 ]; then
    fail "${#lacking[@]} sources are compiled without $option: ${lacking[*]:0:4}..."
  fi
done
for agent in FocusTrail InputTrail; do
  link=$("$ninja" -C "$build" -t commands "$agent" 2>/dev/null | tail -n 1) || true
  if [ -z "$link" ]; then
    fail "$agent: no such target in the macOS build"
    continue
  fi
  [[ "$link" == *"__info_plist"* ]] ||
    fail "$agent embeds no Info.plist: call quen_macos_executable($agent ...) in $agent/CMakeLists.txt"
  for option in "${expected_options[@]:0:4}"; do
    [[ " $link " == *" $option "* ]] || fail "$agent is linked without $option"
  done
done
# Portable sources that no macOS target builds: not checked, named so that none is missed.
while IFS= read -r orphan; do
  echo "note: not built for macOS, so not checked: $orphan"
done < <(find core FocusTrail/src InputTrail/src platform/macos \
           \( -name '*.cpp' -o -name '*.mm' \) ! -name '*_test.cpp' ! -path '*/test_support/*' |
         sort | grep -vxF -f <(printf '%s\n' "${sources[@]}") || true)

# The macOS backend's own tests, which only a Mac runs, when GoogleTest's headers are at
# hand (from a directory that holds nothing else, so no host header is seen).
gtest_directory="$work/gtest-include"
rm -rf "$gtest_directory"
for include in /usr/include /usr/local/include /opt/homebrew/include; do
  if [ -f "$include/gtest/gtest.h" ]; then
    mkdir -p "$gtest_directory"
    ln -s "$include/gtest" "$gtest_directory/gtest"
    mapfile -t -O ${#sources[@]} sources < <(sed -n '/add_executable(macos_backend_tests/,/)/p' \
      platform/macos/CMakeLists.txt | sed -n 's|^ *\([A-Za-z0-9_]*_test\.cpp\)$|platform/macos/\1|p')
    break
  fi
done
[ -d "$gtest_directory" ] || echo "note: GoogleTest's headers not found: platform/macos tests not checked"

echo "== compile ${#sources[@]} sources for ${slices[*]}"
# An SDK laid out as include/ and Frameworks/ (not Xcode's usr/include and
# System/Library/Frameworks) names its directories itself.
layout=()
if [ ! -d "$sdk/usr/include" ]; then
  layout=(-nostdinc++ -isystem "$sdk/include/c++/v1" -iframework "$sdk/Frameworks"
          -isystem "$sdk/include")
fi
[ -d "$gtest_directory" ] && layout+=(-isystem "$gtest_directory")
export CHECK_SDK=$sdk CHECK_WORK=$work CHECK_LAYOUT="${layout[*]}"
# Compiles (step "objects") or analyzes (step "analysis") one source for one slice; the
# output stays in <work>/<step>/<slice>/<file>.log only when the step failed.
check_one() {
  local step=$1 slice=$2 file=$3 language=c++ arc=() action
  if [[ "$file" == *.mm ]]; then language=objective-c++; arc=(-fobjc-arc); fi
  local output="$CHECK_WORK/$step/$slice/$file"
  mkdir -p "$(dirname "$output")"
  if [ "$step" = objects ]; then
    action=(-c -o "$output.o")
  else
    action=(--analyze --analyzer-no-default-checks --analyzer-output text
            -Xanalyzer "-analyzer-checker=core,cplusplus,unix,osx,nullability"
            -Xanalyzer -analyzer-werror -o "$output.plist")
  fi
  # shellcheck disable=SC2086  # CHECK_LAYOUT is a list of options
  if "$QUEN_CHECK_CLANG" --target="$slice" -isysroot "$CHECK_SDK" $CHECK_LAYOUT -I . \
      -std=c++20 -x "$language" "${arc[@]}" -Wall -Wextra -Wpedantic -Wshadow \
      -Wnon-virtual-dtor -Werror -Werror=unguarded-availability \
      -Werror=unguarded-availability-new "${action[@]}" "$file" >"$output.log" 2>&1; then
    rm -f "$output.log"
  fi
}
export -f check_one
# Runs one step over every source that compiled, for each slice, and reports each failure.
run_step() {
  local step=$1 what=$2 slice file log
  rm -rf "${work:?}/$step"
  # shellcheck disable=SC2016  # $1 to $3 are expanded by the shell that xargs starts
  for slice in "${slices[@]}"; do
    for file in "${sources[@]}"; do
      if [ "$step" = analysis ]; then
        [ -f "$work/objects/$slice/$file.log" ] && continue
        [ "$slice" != "${slices[0]}" ] && [[ "$file" != platform/macos/* ]] && continue
      fi
      printf '%s\0%s\0%s\0' "$step" "$slice" "$file"
    done
  done | xargs -0 -n 3 -P "$jobs" bash -c 'check_one "$1" "$2" "$3"' check_one
  for slice in "${slices[@]}"; do
    for file in "${sources[@]}"; do
      log="$work/$step/$slice/$file.log"
      if [ -f "$log" ]; then
        fail "$what $file for $slice (full output: $log)"
        head -n 20 "$log" | sed 's/^/    /'
      fi
    done
  done
}
run_step objects "compile"
if $analyze; then
  echo "== analyze ${#sources[@]} sources for ${slices[*]} (Clang Static Analyzer)"
  run_step analysis "analyze"
fi

if $cmake_build; then
  echo "== compile every object with CMake's command lines (universal objects)"
  lipo=$(first_tool lipo llvm-lipo-19 llvm-lipo)
  otool=$(first_tool otool llvm-otool-19 llvm-otool)
  # clang joins the slices of a universal object by running "lipo".
  mkdir -p "$work/tools"
  ln -sf "$lipo" "$work/tools/lipo"
  mapfile -t objects < <("$ninja" -C "$build" -t targets all | sed -n 's/^\(.*\.o\): .*/\1/p')
  if ! PATH="$work/tools:$PATH" "$ninja" -C "$build" -j "$jobs" "${objects[@]}" \
      >"$work/cmake-build.log" 2>&1; then
    grep -E "FAILED|error" "$work/cmake-build.log" | head -n 40
    fail "CMake build of the macOS objects (log: $work/cmake-build.log)"
  else
    for object in "${objects[@]}"; do
      for slice_minimum in "arm64 minos 11.0" "x86_64 version 10.10"; do
        read -r architecture key minimum <<<"$slice_minimum"
        thin="$work/tools/thin.o"
        if ! "$lipo" -thin "$architecture" "$build/$object" -output "$thin" 2>/dev/null; then
          fail "$object has no $architecture slice"
        elif ! grep -Eq "^ *$key $minimum\$" <<<"$("$otool" -l "$thin")"; then
          fail "$object: its $architecture slice's minimum is not macOS $minimum"
        fi
      done
    done
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "macOS compile check FAILED ($failures problems)"
  exit 1
fi
analyzed=""
$analyze && analyzed=", analyzed with no findings"
echo "macOS compile check passed: ${#sources[@]} sources for ${slices[*]}$analyzed"
