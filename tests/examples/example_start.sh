# The start of an example tool's end-to-end script, sourced by examples/<tool>_test.sh:
#   <tool>_test.sh linux|windows <program> <work dir>
# sets mode and program, moves into the work folder, and gives run (the program, under Wine
# for windows) and fail (a message, exit 1).
mode=$1 program=$2 work=$3
test_name=$(basename "$0" .sh)
wine_run=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)/wine-run
mkdir -p "$work"
cd "$work"
run() {
  if [ "$mode" = windows ]; then "$wine_run" "$program" "$@"; else "$program" "$@"; fi
}
fail() { echo "$test_name: $*" >&2; exit 1; }
