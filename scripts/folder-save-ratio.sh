#!/usr/bin/env bash
# Freeze (type 255) and melt of one block on the same items, once as items.wsc and once as
# today's folder of region files (made from it by `wsc convert`), in alternating runs on
# fresh copies; prints each median and the ratio folder / single file, and each freeze against
# its floor: copying the world-save (every file of the folder) and the index once, each
# flushed to disk, the least a freeze must do.
#   scripts/folder-save-ratio.sh CLI [ITEMS] [RUNS]      (defaults 1000000 and 5)
set -euo pipefail
cli=$1 items=${2:-1000000} runs=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-ratio.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$cli" mkworld "$work/w" --items "$items" >/dev/null
"$cli" wsc convert "$work/w/items.wsc" "$work/w/shared" >/dev/null
echo "$(ls "$work/w/shared" | wc -l) region files, $(du -sh "$work/w/items.wsc" | cut -f1) single file"
seconds() { local s e; s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
declare -A t
# The floor: the world-save's bytes (all files of the folder, one after another) and the
# index copied once, each flushed; a folder's own cost of many small files is left in the
# freeze, so its ratio is the harder one.
flushed_copy() {
  local c=$1 wsc=$2
  mkdir -p "$work/floor"
  dd if="$c/staidx0.mul" of="$work/floor/staidx0.mul" bs=4M conv=fsync status=none
  if [ -d "$wsc" ]; then cat "$wsc"/*; else cat "$wsc"; fi | dd of="$work/floor/save" bs=4M conv=fsync status=none
}
for ((r = 1; r <= runs; r++)); do
  for fmt in file folder; do
    c=$work/c && rm -rf "$c" && mkdir "$c" && cp "$work/w/staidx0.mul" "$work/w/statics0.mul" "$c/"
    if [ $fmt = file ]; then cp "$work/w/items.wsc" "$c/"; wsc=$c/items.wsc; else cp -r "$work/w/shared" "$c/"; wsc=$c/shared; fi
    sync
    t[floor-$fmt]+=" $(seconds flushed_copy "$c" "$wsc")"
    t[freeze-$fmt]+=" $(seconds "$cli" freeze --staidx "$c/staidx0.mul" --statics "$c/statics0.mul" --wsc "$wsc")"
    t[melt-$fmt]+=" $(seconds "$cli" melt --staidx "$c/staidx0.mul" --statics "$c/statics0.mul" --wsc "$wsc" 100 200)"
  done
done
for op in freeze melt; do
  f=$(median ${t[$op-file]}) d=$(median ${t[$op-folder]})
  echo "$op: single file $f ms, folder $d ms, ratio $(awk "BEGIN { printf \"%.2f\", $d / $f }")"
done
for fmt in file folder; do
  fl=$(median ${t[floor-$fmt]}) fr=$(median ${t[freeze-$fmt]})
  echo "freeze of the $fmt: $fr ms against its floor of $fl ms (flushed copy), $(awk "BEGIN { printf \"%.1f\", $fr / $fl }")x"
done
