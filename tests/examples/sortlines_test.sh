#!/usr/bin/env bash
# sortlines end to end: sorts a CR LF or LF file case-insensitively into <name>.sorted with
# the file's line ends, reverses with --descending, refuses mixed line ends, answers --help
# and -h, and ends with the runtime's fatal exit code for a missing file.
#   sortlines_test.sh linux|windows <program> <work dir>
set -euo pipefail
source "$(dirname "$0")/example_start.sh"

printf 'pear\r\nApple\r\nbanana\r\napple pie\r\nCherry\r\n' > "fruit list.txt"
printf 'pear\r\nApple\r\nbanana\r\n' > plain.txt

run plain.txt
[ "$(cat plain.txt.sorted)" = "$(printf 'Apple\r\nbanana\r\npear\r\n')" ] || fail "ascending: $(od -c plain.txt.sorted)"

run "fruit list.txt" --descending
expected=$(printf 'pear\r\nCherry\r\nbanana\r\napple pie\r\nApple\r\n')
[ "$(cat "fruit list.txt.sorted")" = "$expected" ] || fail "descending: $(od -c "fruit list.txt.sorted")"

# Files with LF line ends are sorted too and keep LF ends; an unterminated last line gets
# one; a zero byte and a lone CR are kept. A file that mixes CR LF and bare LF line ends is
# refused, nothing written.
same() { cmp -s "$1" "$2" || fail "$3: $(od -c "$1" | head -5)"; }
printf 'pear\nApple\nbanana\n' > lf.txt
printf 'Apple\nbanana\npear\n' > lf.expected
run lf.txt
same lf.txt.sorted lf.expected "LF file"
printf 'pear\n\nApple\nbanana' > lf-open.txt
printf '\nApple\nbanana\npear\n' > lf-open.expected
run lf-open.txt
same lf-open.txt.sorted lf-open.expected "LF file without a last LF"
printf 'b\n\000a\n' > zero.txt
printf '\000a\nb\n' > zero.expected
run zero.txt
same zero.txt.sorted zero.expected "LF file with a zero byte"
run lf.txt --descending
printf 'pear\nbanana\nApple\n' > lf-descending.expected
same lf.txt.sorted lf-descending.expected "LF file, descending"
printf 'b\rx\na\n\n' > lf-cr.txt
printf '\na\nb\rx\n' > lf-cr.expected
run lf-cr.txt
same lf-cr.txt.sorted lf-cr.expected "LF file with a lone CR and an empty line"
printf 'b\r\na\nc\r\n' > mixed.txt
code=0
run mixed.txt >out.txt 2>err.txt || code=$?
[ "$code" -eq 1 ] || fail "mixed line ends ended with $code, not 1"
[ ! -e mixed.txt.sorted ] || fail "mixed line ends: mixed.txt.sorted was written"
grep -q 'line ends' err.txt || fail "mixed line ends: no message: $(cat out.txt err.txt)"

# --help and -h answer with the usage; a file named help is still a file.
for option in --help -h; do
  code=0
  run "$option" >out.txt 2>err.txt || code=$?
  [ "$code" -eq 0 ] || fail "$option ended with $code: $(cat out.txt err.txt)"
  grep -q 'usage: sortlines' out.txt || fail "$option printed no usage: $(cat out.txt err.txt)"
done
printf 'b\r\na\r\n' > help
run help
[ "$(cat help.sorted)" = "$(printf 'a\r\nb\r\n')" ] || fail "a file named help: $(od -c help.sorted)"

# Paths as the platform passes them: each names its own file, whatever it starts with or
# holds, however long (Windows refuses a path of 260 bytes or more: the open fails, loudly);
# a flag is a whole argument only.
long=$(printf 'd%.0s' $(seq 130))/$(printf 'f%.0s' $(seq 140)).txt
mkdir -p "old -h copy" "${long%/*}"
paths=(.notes ./notes notes--descending.txt "old -h copy/notes")
if [ "$mode" = windows ]; then
  printf 'b\r\nA\r\n' > "$long"
  code=0
  run -- "$long" >out.txt 2>&1 || code=$?
  [ "$code" -eq 251 ] && [ ! -e "$long.sorted" ] || fail "long path ended with $code: $(cat out.txt)"
else
  paths+=("$long")
fi
for path in "${paths[@]}"; do
  printf 'b\r\nA\r\n' > "$path"
  rm -f "$path.sorted"
  run -- "$path" >out.txt 2>err.txt || fail "$path: $(cat out.txt err.txt)"
  [ "$(cat "$path.sorted")" = "$(printf 'A\r\nb\r\n')" ] || fail "$path: $(od -c "$path.sorted" | head -3)"
done
printf 'b\r\nA\r\n' > notes
run --descending ./notes
[ "$(cat notes.sorted)" = "$(printf 'b\r\nA\r\n')" ] || fail "./notes descending: $(od -c notes.sorted)"
for args in "" "a b" "--frobnicate notes"; do
  code=0
  # shellcheck disable=SC2086
  run $args >out.txt 2>&1 || code=$?
  [ "$code" -eq 2 ] && grep -q 'usage: sortlines' out.txt || fail "'$args' ended with $code: $(cat out.txt)"
done

code=0
run missing.txt 2>err.txt || code=$?
[ "$code" -eq 251 ] || fail "missing file ended with $code, not 251 (-5)"
if [ "$mode" = linux ]; then
  grep -q 'missing.txt' err.txt || fail "no fatal message naming the file: $(cat err.txt)"
fi
echo "sortlines_test: ok ($mode)"
