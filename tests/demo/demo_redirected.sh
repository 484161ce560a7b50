#!/usr/bin/env bash
# The demo with its input at its end and its output in a file: the console calls fail
# and write nothing, as on Windows, the key wait ends at once, and the bytes written are
# exactly the ANSI and UTF-8 texts with their line breaks and "OK". Under the sanitizer
# build this is also the leak-free run: a leak or a sanitizer report fails the exit code.
#   demo_redirected.sh <demo program> <strings.def> <output dir>
set -euo pipefail
program=$1 strings=$2 out=$3
mkdir -p "$out"
code=0
timeout 60 "$program" </dev/null >"$out/redirected.bin" 2>"$out/redirected.err" || code=$?
if [ "$code" != 0 ]; then
  echo "demo_redirected: exit code $code, not 0" >&2
  cat "$out/redirected.err" >&2
  exit 1
fi
python3 - "$strings" "$out/redirected.bin" <<'PY'
import re, sys
texts = re.findall(r'TARNFOLD_STRING\(\s*\d+\s*,\s*\d+\s*,\s*"([^"]*)"\s*\)', open(sys.argv[1], encoding="utf-8").read())
expected = b""
for text in texts:
    ansi = "".join(c if ord(c) < 0x80 else "?" for c in text).encode("ascii")
    expected += b"\r\n" + ansi + b"\r\n" + text.encode("utf-8") + b"\r\n" * 3
expected += b"OK\r\n"
got = open(sys.argv[2], "rb").read()
if got != expected:
    at = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b), min(len(got), len(expected)))
    sys.exit(f"demo_redirected: output differs at byte {at}: got {got[at:at+24]!r}, expected {expected[at:at+24]!r}")
print(f"demo_redirected: {len(got)} bytes as expected, exit code 0")
PY
