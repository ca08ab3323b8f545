#!/usr/bin/env bash
# The Windows command-line tool under Wine against the Linux one, command by command on
# the same input: every file each command writes must be the same to the byte, and so
# must what it prints (line ends aside: the Windows console's are CRLF).
#   cli_e2e.sh WINE WINDOWS_CLI.exe LINUX_CLI
# The Windows side works in a folder with a blank and a non-ASCII letter, named with a
# drive letter and backslashes, as a Windows user would type it.
set -euo pipefail
wine=$1 wincli=$(realpath "$2") lincli=$(realpath "$3")

work=$(mktemp -d /tmp/tq-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
lin="$work/linux"
win="$work/UO Spiele Zoë"
mkdir -p "$lin" "$win"
# Wine's drive Z: is the Linux root.
winpath() { local p="Z:$1"; echo "${p//\//\\}"; }
W=$(winpath "$win")

checks=0
failures=0
# Every comparison counts once: check CONDITION-STATUS MESSAGE.
check() {
  checks=$((checks + 1))
  [ "$1" = 0 ] || fail "$2"
}
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run NAME ARGS...: ARGS use @ for the side's folder (".../linux" or "Z:\...\UO Spiele Zoë")
# and / between names; the Windows side gets backslashes.
run() {
  local name=$1
  shift
  local largs=() wargs=() a
  for a in "$@"; do
    largs+=("${a//@/$lin}")
    local w=${a//@/$W}
    [[ $a == @* ]] && w=${w//\//\\}
    wargs+=("$w")
  done
  local lst=0 wst=0
  "$lincli" "${largs[@]}" >"$work/$name.lin.out" 2>"$work/$name.lin.err" || lst=$?
  (cd "$work" && "$wine" "$wincli" "${wargs[@]}") >"$work/$name.win.out" 2>"$work/$name.win.err" || wst=$?
  # The tool never fails without an "error:" line; a silent failure is Wine's start-up
  # (seen once in several runs), so that one case is run again, and said so.
  if [ "$wst" != 0 ] && [ ! -s "$work/$name.win.err" ]; then
    echo "note: $name: Windows run ended $wst without a message; running it once more" >&2
    wst=0
    (cd "$work" && "$wine" "$wincli" "${wargs[@]}") >"$work/$name.win.out" 2>"$work/$name.win.err" || wst=$?
  fi
  check "$([ "$lst" = "$wst" ]; echo $?)" "$name: exit status $lst on Linux, $wst on Windows ($(cat "$work/$name.win.err"))"
  check "$lst" "$name: failed on Linux: $(cat "$work/$name.lin.err")"
  # Printed paths differ by side; the rest of each line must not.
  sed -e "s#$lin#@#g" "$work/$name.lin.out" >"$work/$name.lin.txt"
  tr -d '\r' <"$work/$name.win.out" | sed -e "s#$(printf '%s' "$W" | sed 's/[\\.]/\\&/g')#@#g" -e 's#\\#/#g' >"$work/$name.win.txt"
  sed -i -e 's#\\#/#g' "$work/$name.lin.txt"
  check "$(cmp -s "$work/$name.lin.txt" "$work/$name.win.txt"; echo $?)" \
    "$name: printed differently: $(diff "$work/$name.lin.txt" "$work/$name.win.txt" | head -5)"
}

# same FILE...: each file (relative to the side's folder) the same on both sides.
same() {
  local f
  for f in "$@"; do
    checks=$((checks + 1))
    if [ ! -e "$lin/$f" ] || [ ! -e "$win/$f" ]; then
      fail "$f: missing ($(ls "$lin/$(dirname "$f")" | tr '\n' ' ') | $(ls "$win/$(dirname "$f")" | tr '\n' ' '))"
    elif ! cmp -s "$lin/$f" "$win/$f"; then
      fail "$f: differs ($(cmp "$lin/$f" "$win/$f" | sed "s/.*differ: //"))"
    fi
  done
}

world=(map0.mul staidx0.mul statics0.mul items.wsc)
worldOf() { local d=$1; echo "--staidx @/$d/staidx0.mul --statics @/$d/statics0.mul"; }

run mkworld mkworld @/orig --items 400 --seed 7
same "${world[@]/#/orig/}" orig/AutoSelect.txt orig/texidx.mul orig/texmaps.mul orig/artidx.mul orig/art.mul orig/radarcol.mul
for side in "$lin" "$win"; do
  cp -r "$side/orig" "$side/mod"
  cp -r "$side/orig" "$side/applied"
done

run freeze freeze $(worldOf mod) --wsc @/mod/items.wsc --rule auto --autoselect @/mod/AutoSelect.txt --pat @/mod/frozen.pat
same mod/staidx0.mul mod/statics0.mul mod/items.wsc mod/frozen.pat
run freeze-type255 freeze $(worldOf mod) --wsc @/mod/items.wsc
same mod/staidx0.mul mod/statics0.mul mod/items.wsc
run melt melt $(worldOf mod) --wsc @/mod/items.wsc 300 200
same mod/staidx0.mul mod/statics0.mul mod/items.wsc
run fill fill $(worldOf mod) --map @/mod/map0.mul --left 100 --top 120 --right 180 --bottom 170 --tile "Random cave" --alt 5 --seed 3
same "${world[@]/#/mod/}"
run copy-region copy-region --src @/orig/map0.mul --dst @/mod/map0.mul 0 0 63 63 400 400 463 463
same mod/map0.mul
run diff-generate diff generate --orig-staidx @/orig/staidx0.mul --orig-statics @/orig/statics0.mul \
  --orig-map @/orig/map0.mul --mod-staidx @/mod/staidx0.mul --mod-statics @/mod/statics0.mul \
  --mod-map @/mod/map0.mul --out @/mod.tq2
same mod.tq2
run diff-apply diff apply --orig-staidx @/orig/staidx0.mul --orig-statics @/orig/statics0.mul \
  --orig-map @/orig/map0.mul --mod-staidx @/applied/staidx0.mul --mod-statics @/applied/statics0.mul \
  --mod-map @/applied/map0.mul @/mod.tq2
same applied/staidx0.mul applied/statics0.mul applied/map0.mul
check "$(cmp -s "$lin/applied/map0.mul" "$lin/mod/map0.mul"; echo $?)" "the applied map is not the modified one"
run crc crc @/applied/staidx0.mul
run mapsum mapsum @/applied/map0.mul
run tile-image tile-image --client-dir @/orig 3 --out @/tile.png
run tile-image-art tile-image --client-dir @/orig 2000 --out @/art.png
same tile.png art.png
run render render --diff @/orig/map0.mul @/applied/map0.mul --staidx @/applied/staidx0.mul \
  --statics @/applied/statics0.mul --radarcol @/orig/radarcol.mul --out @/overview.png --scale 16 --shade
same overview.png

# Maps in UOP containers: both conversions, an in-place fill, and land art from a container.
run convert-uop convert @/applied/map0.mul @/applied/map0LegacyMUL.uop
same applied/map0LegacyMUL.uop
run fill-uop fill $(worldOf applied) --map @/applied/map0LegacyMUL.uop --no-statics --left 10 --top 10 --right 40 \
  --bottom 40 --tile "00 A8" --alt 3
same applied/map0LegacyMUL.uop
run mapsum-uop mapsum @/applied/map0LegacyMUL.uop
run convert-mul convert @/applied/map0LegacyMUL.uop @/back.mul --facet 0
same back.mul
run mkworld-uop mkworld @/uop --items 10 --facet 2 --uop
same uop/map2LegacyMUL.uop uop/artLegacyMUL.uop
run tile-image-uop tile-image --client-dir @/uop 2000 --out @/art-uop.png
same art-uop.png

for f in "$lin"/*.tq2 "$lin"/*.png; do check "$([ -s "$f" ]; echo $?)" "$f is empty"; done
echo "cli_e2e: $((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
