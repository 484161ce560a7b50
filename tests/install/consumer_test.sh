#!/usr/bin/env bash
# Installs the runtime from a build tree into a scratch prefix, then builds and runs a
# program that finds it with find_package(Tarnfold) and links Tarnfold::tarnfold.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
mkdir "$work/consumer"
cp "$source_dir/tests/install/consumer.cmake" "$work/consumer/CMakeLists.txt"
cp "$source_dir/tests/install/consumer_main.cpp" "$work/consumer/main.cpp"
cmake -S "$work/consumer" -B "$work/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-linux-i686.cmake" \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
output=$("$work/build/hello")
[ "$output" = $'Hello, world\r' ] || { echo "unexpected output: $output" >&2; exit 1; }
echo "installed package found, linked and ran"
