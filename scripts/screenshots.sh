#!/usr/bin/env bash
# Makes the main and diff windows' screenshots in docs/ from a running terraquill on a virtual
# display. Needs xvfb-run, xdotool, xwd and netpbm (apt-get install xvfb x11-apps
# xdotool netpbm). Usage: scripts/screenshots.sh [BUILD-DIR]; TQ_DISPLAY picks the first
# display number tried (97 unless set), so it keeps off the displays of other programs.
# It works on a demo world and a settings store of its own; yours are not touched.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
if [ -z "${DISPLAY:-}" ] || [ -z "${TQ_SCREENSHOT_INNER:-}" ]; then
  exec env TQ_SCREENSHOT_INNER=1 xvfb-run -a -n "${TQ_DISPLAY:-97}" -s "-screen 0 1024x768x24" "$0" "$build"
fi

cli="$build/bin/terraquill-cli"
work="$(mktemp -d)"
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
demo="$work/data/Terraquill/demo-world"
"$cli" mkworld "$demo" > /dev/null
# The README's overview of the demo world: its land, one pixel per 4 x 4 cells.
"$cli" render --map "$demo/map0.mul" --radarcol "$demo/radarcol.mul" --scale 4 \
  --out "$root/docs/demo-world-overview.png" > /dev/null
set_world_paths() {
  "$cli" settings set StaIdx0.mul "$demo/staidx0.mul"
  "$cli" settings set Statics0.mul "$demo/statics0.mul"
  "$cli" settings set UOX3.wsc "$demo/items.wsc"
}
set_world_paths

# A block that has statics, for the listing.
block=""
for y in $(seq 0 63); do
  if [ "$("$cli" block --staidx "$work/data/Terraquill/demo-world/staidx0.mul" --statics "$work/data/Terraquill/demo-world/statics0.mul" 300 "$y" | wc -l)" -ge 6 ]; then
    block="$y"; break
  fi
done

start() {  # caption
  (cd "$build/bin" && exec ./terraquill) &
  app=$!
  # xdotool takes a regular expression: the caption's dots and brackets are escaped.
  local pattern
  pattern="^$(printf '%s' "$1" | sed 's/[].()[]/\\&/g')\$"
  for _ in $(seq 1 100); do
    wid="$(xdotool search --name "$pattern" | head -1 || true)"
    [ -n "$wid" ] && break
    sleep 0.2
  done
  [ -n "$wid" ] || { echo "no window \"$1\"" >&2; exit 1; }
  sleep 1
}
click() {  # x y, in the window
  xdotool mousemove --window "$wid" "$1" "$2" click 1
  sleep 0.5
}
type_into() {  # x y text
  xdotool mousemove --window "$wid" "$1" "$2" click --repeat 3 1
  xdotool type --delay 20 "$3"
}
shoot() {  # file [window]: the window (the last one started unless given), then the program ends
  sleep 1
  xwd -silent -id "${2:-$wid}" | xwdtopnm 2>/dev/null | pnmtopng > "$root/docs/$1"
  kill "$app"; wait "$app" 2>/dev/null || true; app=""
}
# Where the controls are: the button panel's column, below the menu and the top panel.
button_x=42
getindex_y=77; xedit_y=101; yedit_y=125; getblock_y=149; tqdiff_y=347

"$cli" settings set Mode 0
start "Terraquill 6.2 (Normal mode)"
click "$button_x" "$getindex_y"
sleep 2
type_into 38 "$xedit_y" 300
type_into 38 "$yedit_y" "${block:-0}"
click "$button_x" "$getblock_y"
shoot main-window-normal.png

# Simple mode as a newcomer first sees it: no paths yet, the first step names the way.
"$cli" settings set Mode 1
for name in StaIdx0.mul Statics0.mul UOX3.wsc; do "$cli" settings set "$name" ""; done
start "Terraquill 6.2 (Simple mode)"
shoot main-window-simple.png

# The diff window, opened from the main window, with a player's paths.
set_world_paths
"$cli" settings set O-StaIdx0.mul "$demo/staidx0.mul"
"$cli" settings set O-Statics0.mul "$demo/statics0.mul"
"$cli" settings set O-Map0.mul "$demo/map0.mul"
"$cli" settings set Map0.mul "$demo/map0.mul"
start "Terraquill 6.2 (Simple mode)"
click "$button_x" "$tqdiff_y"
diff_wid=""
for _ in $(seq 1 50); do
  diff_wid="$(xdotool search --name '^TQ-Diff$' | head -1 || true)"
  [ -n "$diff_wid" ] && break
  sleep 0.2
done
[ -n "$diff_wid" ] || { echo "no window \"TQ-Diff\"" >&2; exit 1; }
shoot diff-window.png "$diff_wid"
echo "docs/main-window-normal.png, docs/main-window-simple.png, docs/diff-window.png"
