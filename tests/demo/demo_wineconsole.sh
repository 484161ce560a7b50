#!/usr/bin/env bash
# demo.exe in a real Wine console window on a virtual display: it shows its screen, waits
# for a key, and ends with exit code 0 after one is pressed.
#   demo_wineconsole.sh <demo.exe> <output dir>
# Leaves demo-window.png (before the key) in the output dir for a person to look at.
set -euo pipefail
program=$1 out=$2
wine_run=$(cd "$(dirname "$0")/../../scripts" && pwd)/wine-run
mkdir -p "$out"
export WINEDEBUG=-all
# A prefix of its own: a Wine server keeps the display of the first program it served, and
# the suites' other Wine runs share the default prefix without any display. It is made from
# the default prefix that scripts/setup created, not by wineboot, which takes a minute or
# more under emulation: the files Wine never writes (its DLLs, 1.3 GB) are linked, the
# registry is copied.
default_prefix="${WINEPREFIX:-$HOME/.wine}"
export WINEPREFIX="$out/wine-prefix"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  if [ -f "$default_prefix/system.reg" ] && cp -al "$default_prefix" "$WINEPREFIX.tmp" 2>/dev/null; then
    for hive in "$WINEPREFIX.tmp"/*.reg; do cp --remove-destination "$default_prefix/${hive##*/}" "$hive"; done
    mv "$WINEPREFIX.tmp" "$WINEPREFIX"
  else
    rm -rf "$WINEPREFIX.tmp"
    echo "creating the Wine prefix $WINEPREFIX"
    DISPLAY= wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
fi

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
demo=""
cleanup() {
  [ -n "$demo" ] && kill "$demo" 2>/dev/null || true
  wineserver -k 2>/dev/null || true  # this prefix's server only
  kill "$xvfb" 2>/dev/null || true
  rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$displayfile")"

# The exit code comes from Wine itself through wine-run, not from the host's status of the
# Wine process, which the Wine server may kill while it tears down (see wine-run).
"$wine_run" --console "$program" &
demo=$!

window=""
for _ in $(seq 300); do
  # The window is named after the command it was opened for: wine-run's relay.
  window=$(xdotool search --name 'exit-relay\.exe' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "demo_wineconsole: no console window appeared" >&2; exit 1; }

# The demo prints everything at once, then waits: give it time, then look.
sleep 4
import -window root "$out/demo-window.png"
echo "screenshot saved in $out/demo-window.png"
kill -0 "$demo" 2>/dev/null || { echo "demo_wineconsole: demo.exe ended without a key" >&2; exit 1; }

# Colours 0xF0 and 0xE0 are on the screen: bright white and bright yellow backgrounds.
colours=$(convert "$out/demo-window.png" -format %c histogram:info:-)
for colour in '#FFFFFF' '#FFFF00'; do
  grep -qi "$colour" <<<"$colours" || { echo "demo_wineconsole: no $colour on the screen" >&2; exit 1; }
done

xdotool key --window "$window" x
code=""
for _ in $(seq 100); do
  if ! kill -0 "$demo" 2>/dev/null; then
    wait "$demo" && code=0 || code=$?
    demo=""
    break
  fi
  sleep 0.2
done
[ -n "$code" ] || { echo "demo_wineconsole: demo.exe still runs 20s after the key" >&2; exit 1; }
[ "$code" = 0 ] || { echo "demo_wineconsole: demo.exe ended with $code, not 0" >&2; exit 1; }
echo "key pressed: demo.exe ended with exit code 0"
