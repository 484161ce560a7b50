#!/usr/bin/env bash
# logfilter end to end on a small log of LF and CR LF lines: the kept lines (any case of the
# word, the token replaced, LF ends) byte for byte, the summary's counts and sum, a refused
# output path, and the runtime's fatal exit code for a missing log.
#   logfilter_test.sh linux|windows <program> <work dir>
set -euo pipefail
source "$(dirname "$0")/example_start.sh"

line() { printf '10.0.0.%s - - [01/Jan/2024:00:00:0%s +0000] "GET %s HTTP/2" %s %s "-" "%s"' "$@"; }
{
  line 1 1 /api/v1/users/1 200 5123 curl/8.5.0; printf '\n'
  line 2 2 /index.html 404 17 Firefox/120.0; printf '\r\n'
  line 3 3 /api/api 500 4000000000 CURL-Test; printf '\r\n'
  printf 'no request here, but curl\n'
  line 4 4 /x 301 9 wget; printf '\n'
  line 5 5 /apikey 200 1 xcUrLx
} > access.log
{
  line 1 1 /API/v1/users/1 200 5123 curl/8.5.0; printf '\n'
  line 3 3 /API/API 500 4000000000 CURL-Test; printf '\n'
  printf 'no request here, but curl\n'
  line 5 5 /APIkey 200 1 xcUrLx; printf '\n'
} > kept.expected

output=$(run access.log curl api API kept.txt)
cmp -s kept.txt kept.expected || fail "kept lines: $(od -c kept.txt | head -8)"
case "$output" in
  *"kept 4 of 6 lines (66.6"?"%)"*"1 errors, 4000005124 bytes"*) ;;
  *) fail "summary: $output" ;;
esac

code=0
run access.log curl api API no-such-folder/kept.txt >/dev/null || code=$?
[ "$code" -eq 1 ] || fail "an output that cannot be written: exit $code"

code=0
run missing.log curl api API kept.txt >/dev/null 2>&1 || code=$?
if [ "$mode" = windows ]; then expected=-5; else expected=251; fi
[ "$code" -eq "$expected" ] || [ "$code" -eq $((expected & 255)) ] || fail "a missing log: exit $code"
echo "logfilter: kept lines, summary and failures as expected"
