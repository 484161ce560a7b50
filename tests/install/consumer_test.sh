#!/usr/bin/env bash
# Installs the runtime from a build tree into a scratch prefix, then builds and runs a
# program that finds it with find_package(Tarnfold) and links Tarnfold::tarnfold.
# Arguments: build tree, source tree, toolchain file, then the command that runs programs
# of that target, if any (Wine for Windows).
set -euo pipefail
build_dir=$1
source_dir=$2
toolchain=$3
shift 3
runner=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
# Only public headers are installed.
for private in arrays_text/find_scan.h core/temp_slots.h platform; do
  [ ! -e "$work/prefix/include/tarnfold/$private" ] || { echo "private header installed: $private" >&2; exit 1; }
done
# A package of the other target beside this one (the same files, built for the other
# system) must be passed over, never taken.
package=$(echo "$work"/prefix/lib/cmake/Tarnfold-*)
decoy="$work/prefix/lib/cmake/Tarnfold-0-other-target"
cp -r "$package" "$decoy"
sed -i -e 's/STREQUAL "Linux"/STREQUAL "Other"/' -e 's/STREQUAL "Windows"/STREQUAL "Other"/' \
  "$decoy/TarnfoldConfigVersion.cmake"
echo 'message(FATAL_ERROR "the package of another target was taken")' >"$decoy/TarnfoldConfig.cmake"
mkdir "$work/consumer"
cp "$source_dir/tests/install/consumer.cmake" "$work/consumer/CMakeLists.txt"
cp "$source_dir/tests/install/consumer_main.cpp" "$work/consumer/main.cpp"
# The prefix is given the usual way, on the command line, with no CMAKE_PREFIX_PATH from
# the environment to help or hinder.
env -u CMAKE_PREFIX_PATH cmake -S "$work/consumer" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/configure.log" ||
  { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" >/dev/null
program="$work/build/hello"
[ -f "$program.exe" ] && program="$program.exe"
output=$("${runner[@]}" "$program")
[ "$output" = $'Hello, world\r\n42 parts\r' ] || { echo "unexpected output: $output" >&2; exit 1; }
if [ -f "$work/build/hello_checked" ]; then
  # No leak scan: under qemu it cannot stop threads and would hang at exit.
  output=$(ASAN_OPTIONS=detect_leaks=0 "$work/build/hello_checked")
  [ "$output" = $'Hello, world\r\n42 parts\r' ] || { echo "unexpected checked output: $output" >&2; exit 1; }
  # The target brings the sanitizers to the program's own code: its own read of an expired
  # temporary is reported, with the program's main as the reading frame.
  code=0
  ASAN_OPTIONS=detect_leaks=0 "$work/build/hello_checked" expired 2>"$work/expired.txt" || code=$?
  if [ "$code" -eq 0 ] || [ "$code" -eq 4 ] || ! grep -q 'use-after-poison' "$work/expired.txt" ||
     ! grep -Eq '#0 .* in main ' "$work/expired.txt"; then
    echo "the consumer's own read of an expired temporary was not reported (exit $code):" >&2
    head -20 "$work/expired.txt" >&2
    exit 1
  fi
  echo "checked runtime linked and ran; the consumer's own read of an expired temporary was reported"
fi
echo "installed package found, linked and ran"
