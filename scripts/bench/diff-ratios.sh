#!/usr/bin/env bash
# Diff generate and apply on the 1,000,000-item world against their floors, in the same
# run (alternating, median of RUNS), for the full form (version 2) and the compact form
# (version 4); then the sizes of the packages against gzip and xdelta3.
#   scripts/bench/diff-ratios.sh CLI [ITEMS] [RUNS]      (defaults 1000000 and 5)
# The modified world is the bench pair: one 300 x 300-cell fill plus 300 more blocks whose
# statics change. Floors: generate, reading both maps and both indexes once; apply, reading
# the package and writing the statics and the index once, each flushed.
set -euo pipefail
cli=$1 items=${2:-1000000} runs=${3:-5}
here=$(dirname "$0")
source "$here/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-diff.XXXXXX")
trap 'rm -rf "$work"' EXIT
o=$work/orig m=$work/mod
"$cli" mkworld "$o" --items "$items" >/dev/null
mkdir "$m" && cp "$o/map0.mul" "$o/staidx0.mul" "$o/statics0.mul" "$m/"
"$cli" fill --staidx "$m/staidx0.mul" --statics "$m/statics0.mul" --map "$m/map0.mul" \
  --left 1000 --top 1000 --right 1299 --bottom 1299 --tile "03 00" --alt 5 >/dev/null
# 300 blocks with statics, spread east of the fill, emptied one by one.
changed=0
for ((x = 300; x < 768 && changed < 300; x += 16)); do
  for ((y = 5; y < 512 && changed < 300; y += 13)); do
    read -r start length < <(od -An -t d4 -j $(( (x * 512 + y) * 12 )) -N 8 "$o/staidx0.mul")
    [ "$start" -ne -1 ] && [ "$length" -gt 0 ] || continue
    "$cli" fill --staidx "$m/staidx0.mul" --statics "$m/statics0.mul" --map "$m/map0.mul" --no-map \
      --left $((x * 8)) --top $((y * 8)) --right $((x * 8 + 7)) --bottom $((y * 8 + 7)) >/dev/null
    changed=$((changed + 1))
  done
done
paths() {  # ORIG MOD
  echo --orig-staidx "$1/staidx0.mul" --orig-statics "$1/statics0.mul" --orig-map "$1/map0.mul" \
    --mod-staidx "$2/staidx0.mul" --mod-statics "$2/statics0.mul" --mod-map "$2/map0.mul"
}
declare -A t
player() { rm -rf "$work/p" && mkdir "$work/p" && cp "$o/map0.mul" "$work/p/"; }
for ((r = 1; r <= runs; r++)); do
  # Each timed step starts with nothing left to write from the step before (the copies and
  # the in-place map of the last apply), so a flush is timed against an idle disk.
  sync
  t[gen-floor]+=" $(seconds plain_read "$o/map0.mul" "$m/map0.mul" "$o/staidx0.mul" "$m/staidx0.mul")"
  sync
  t[gen-full]+=" $(seconds "$cli" diff generate $(paths "$o" "$m") --out "$work/full.tq2")"
  sync
  t[gen-compact]+=" $(seconds "$cli" diff generate $(paths "$o" "$m") --compact --out "$work/compact.tq2")"
  for form in full compact; do
    player && sync
    t[apply-floor-$form]+=" $(seconds sh -c ". '$here/lib.sh'; plain_read '$work/$form.tq2';
      flushed_copy '$m/statics0.mul' '$work/floor-statics'; flushed_copy '$m/staidx0.mul' '$work/floor-staidx'")"
    player && sync
    t[apply-$form]+=" $(seconds "$cli" diff apply $(paths "$o" "$work/p") "$work/$form.tq2")"
    cp "$work/p/staidx0.mul" "$work/$form-staidx" && cp "$work/p/statics0.mul" "$work/$form-statics"
    cp "$work/p/map0.mul" "$work/$form-map"
  done
done
for f in staidx statics map; do
  cmp -s "$work/full-$f" "$work/compact-$f" || { echo "apply of the two forms differs in $f" >&2; exit 1; }
done
report() {  # NAME OP FLOOR
  local op fl; op=$(median ${t[$2]}) fl=$(median ${t[$3]})
  echo "$1: $op ms against its floor of $fl ms, $(ratio "$op" "$fl")x"
}
echo "diff on $items items, median of $runs alternating runs"
report "generate, full form" gen-full gen-floor
report "generate, compact" gen-compact gen-floor
report "apply, full form" apply-full apply-floor-full
report "apply, compact" apply-compact apply-floor-compact
size() { stat -c %s "$1"; }
xd=0
for f in map0.mul staidx0.mul statics0.mul; do
  xdelta3 -9 -f -e -s "$o/$f" "$m/$f" "$work/$f.xd"
  xd=$((xd + $(size "$work/$f.xd")))
done
echo "package sizes: full form $(size "$work/full.tq2"), compact $(size "$work/compact.tq2")," \
  "gzip -9 of the full form $(gzip -9 -c "$work/full.tq2" | wc -c), xdelta3 -9 of the three files $xd;" \
  "compact / xdelta3 $(ratio "$(size "$work/compact.tq2")" "$xd")"
