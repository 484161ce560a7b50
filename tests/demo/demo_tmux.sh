#!/usr/bin/env bash
# Runs the demo in a tmux terminal, checks every line of its screen with its colours, then
# (Linux) presses a key and expects exit code 0.
#   demo_tmux.sh linux|windows <demo program> <strings.def> <output dir>
# Under Wine's terminal console a key reaches _kbhit only after a console read, so for
# demo.exe the key wait and the exit code are checked in a console window instead
# (demo_wineconsole.sh); here its screen is checked and the session ended.
set -euo pipefail
mode=$1 program=$2 strings=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
session="tarnfold-demo-$mode-$$-$RANDOM"
marker="tarnfold-demo-exit="
# Ending the session does not end a program that runs under Wine: end demo.exe by its path.
cleanup() {
  tmux kill-session -t "$session" 2>/dev/null || true
  # Only a process whose command starts with the program (not this script, which names it).
  if [ "$mode" = windows ]; then pkill -f -- "^[^ ]*$(basename "$program")" 2>/dev/null || true; fi
}
trap cleanup EXIT

run="$program"
if [ "$mode" = windows ]; then
  run="WINEDEBUG=-all wine $program"
fi
# Wide enough that no line wraps; the exit code is printed after the program ends.
tmux -f /dev/null new-session -d -s "$session" -x 250 -y 40 \
  "export LANG=C.UTF-8 LC_ALL=C.UTF-8; $run; echo $marker\$?; sleep 600"

# Waits until the plain screen matches the pattern, at most $2 seconds.
wait_for() {
  local pattern=$1 limit=$2 waited=0
  until tmux capture-pane -p -t "$session" | grep -qa -- "$pattern"; do
    sleep 0.2
    waited=$((waited + 1))
    if [ "$waited" -ge $((limit * 5)) ]; then
      echo "demo_tmux: no '$pattern' on the screen after ${limit}s:" >&2
      tmux capture-pane -p -t "$session" >&2
      return 1
    fi
  done
}

wait_for '^OK' 90
sleep 0.5  # let the terminal settle
tmux capture-pane -p -e -t "$session" > "$out/screen-$mode.txt"
echo "screen saved in $out/screen-$mode.txt"
python3 "$here/check_screen.py" "$strings" "$out/screen-$mode.txt"

if [ "$mode" = linux ]; then
  if tmux capture-pane -p -t "$session" | grep -qa "$marker"; then
    echo "demo_tmux: the demo ended before a key was pressed" >&2
    exit 1
  fi
  tmux send-keys -t "$session" x
  wait_for "$marker" 20
  code=$(tmux capture-pane -p -t "$session" | grep -ao "$marker[0-9]*" | head -1)
  tmux capture-pane -p -e -t "$session" > "$out/screen-$mode-after-key.txt"
  # The key's line break follows "OK" and the key itself is not echoed.
  if ! tmux capture-pane -p -t "$session" | grep -qx 'OK'; then
    echo "demo_tmux: the OK line changed after the key" >&2
    exit 1
  fi
  [ "$code" = "${marker}0" ] || { echo "demo_tmux: demo ended with ${code#"$marker"}, not 0" >&2; exit 1; }
  echo "key pressed: demo ended with exit code 0"
fi
