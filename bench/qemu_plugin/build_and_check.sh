#!/usr/bin/env bash
# Builds the instruction-counting plugin into <folder> (when its source is newer) and checks
# it: the three loops of page_crossing.c, one of them across a page boundary, must count
# the same. Prints the plugin's path; exits non-zero when the counts differ.
#
#   bench/qemu_plugin/build_and_check.sh <folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$out"
plugin=$out/libinstruction_count.so
program=$out/page_crossing
if [ ! -f "$plugin" ] || [ "$here/instruction_count.c" -nt "$plugin" ]; then
  gcc -O2 -shared -fPIC -fvisibility=hidden -Wall -Wextra -Werror -o "$plugin" "$here/instruction_count.c"
fi
if [ ! -f "$program" ] || [ "$here/page_crossing.c" -nt "$program" ]; then
  gcc -m32 -O2 -Wall -Wextra -Werror -o "$program" "$here/page_crossing.c"
fi
counts=$(mktemp)
trap 'rm -f "$counts"' EXIT
qemu-i386 -plugin "$plugin,outfile=$counts" "$program"
mapfile -t loops < <(sort -n "$counts" | awk '{ print $2 }')
if [ "${#loops[@]}" -ne 3 ] || [ "${loops[0]}" != "${loops[1]}" ] || [ "${loops[0]}" != "${loops[2]}" ]; then
  echo "instruction count: a loop across a page boundary counts differently:" \
       "inside ${loops[0]:-?}, across ${loops[1]:-?}, at the page end ${loops[2]:-?}" >&2
  exit 1
fi
echo "$plugin"
