#!/usr/bin/env bash
# Runs one fuzz target: replays the seeds and the grown corpus, then tries new inputs for
# SECONDS (0: until stopped). Used by ctest and by scripts/fuzz.
#   run_target.sh PROGRAM CORPUS SEEDS FINDINGS SECONDS [libFuzzer flags...]
#
# The wall time is bounded from outside too: libFuzzer reads its clock only between inputs,
# and a crash handler that hangs (seen under emulation) never gets back to it. A finding
# fails the run, keeps its input in FINDINGS and prints the command that reproduces it.
set -uo pipefail
program=$1 corpus=$2 seeds=$3 findings=$4 seconds=$5
shift 5
mkdir -p "$corpus" "$findings"
name=$(basename "$program")

# Under emulation the 32-bit allocator runs out of room to map after 200 to 330 MB (see
# cmake/sanitizer_options.cpp): libFuzzer stops a target that grows to 200 MB first, as an
# out-of-memory finding with its input kept. The targets stay near 120 MB there.
limits=()
if head -1 /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null | grep -qx enabled; then
  limits=(-rss_limit_mb=200)
fi

bound=()
# Replaying the seeds and the grown corpus takes a minute at most; exit, seconds.
[ "$seconds" -gt 0 ] && bound=(timeout -k 15 $((seconds + 240)))
started=$(mktemp)
trap 'rm -f "$started"' EXIT
rc=0
"${bound[@]}" "$program" "$corpus" "$seeds" -max_total_time="$seconds" \
  -artifact_prefix="$findings/" -print_final_stats=1 "${limits[@]}" "$@" || rc=$?
[ "$rc" -eq 0 ] && exit 0

if [ ${#bound[@]} -gt 0 ] && { [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; }; then
  echo "$name: still running $((seconds + 240)) s after it started; stopped from outside" >&2
fi
found=$(find "$findings" -type f -newer "$started" 2>/dev/null)
for input in $found; do
  echo "$name: finding kept in $input ($(stat -c %s "$input") bytes); reproduce with:" >&2
  echo "  $program $input" >&2
done
[ -n "$found" ] || echo "$name: failed (exit $rc) with no input kept" >&2
exit "$rc"
