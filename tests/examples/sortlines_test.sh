#!/usr/bin/env bash
# sortlines end to end: sorts a CR LF file case-insensitively into <name>.sorted, reverses
# with --descending, and ends with the runtime's fatal exit code for a missing file.
#   sortlines_test.sh linux|windows <program> <work dir>
set -euo pipefail
mode=$1 program=$2 work=$3
mkdir -p "$work"
cd "$work"
run() {
  if [ "$mode" = windows ]; then WINEDEBUG=-all wine "$program" "$@"; else "$program" "$@"; fi
}
fail() { echo "sortlines_test: $*" >&2; exit 1; }

printf 'pear\r\nApple\r\nbanana\r\napple pie\r\nCherry\r\n' > "fruit list.txt"
printf 'pear\r\nApple\r\nbanana\r\n' > plain.txt

run plain.txt
[ "$(cat plain.txt.sorted)" = "$(printf 'Apple\r\nbanana\r\npear\r\n')" ] || fail "ascending: $(od -c plain.txt.sorted)"

run "fruit list.txt" --descending
expected=$(printf 'pear\r\nCherry\r\nbanana\r\napple pie\r\nApple\r\n')
[ "$(cat "fruit list.txt.sorted")" = "$expected" ] || fail "descending: $(od -c "fruit list.txt.sorted")"

code=0
run missing.txt 2>err.txt || code=$?
[ "$code" -eq 251 ] || fail "missing file ended with $code, not 251 (-5)"
if [ "$mode" = linux ]; then
  grep -q 'missing.txt' err.txt || fail "no fatal message naming the file: $(cat err.txt)"
fi
echo "sortlines_test: ok ($mode)"
