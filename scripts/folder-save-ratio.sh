#!/usr/bin/env bash
# Freeze (type 255) and melt of one block on the same items, once as items.wsc and once as
# today's folder of region files (made from it by `wsc convert`), in alternating runs on
# fresh copies; prints each median and the ratio folder / single file.
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
for ((r = 1; r <= runs; r++)); do
  for fmt in file folder; do
    c=$work/c && rm -rf "$c" && mkdir "$c" && cp "$work/w/staidx0.mul" "$work/w/statics0.mul" "$c/"
    if [ $fmt = file ]; then cp "$work/w/items.wsc" "$c/"; wsc=$c/items.wsc; else cp -r "$work/w/shared" "$c/"; wsc=$c/shared; fi
    sync
    t[freeze-$fmt]+=" $(seconds "$cli" freeze --staidx "$c/staidx0.mul" --statics "$c/statics0.mul" --wsc "$wsc")"
    t[melt-$fmt]+=" $(seconds "$cli" melt --staidx "$c/staidx0.mul" --statics "$c/statics0.mul" --wsc "$wsc" 100 200)"
  done
done
for op in freeze melt; do
  f=$(median ${t[$op-file]}) d=$(median ${t[$op-folder]})
  echo "$op: single file $f ms, folder $d ms, ratio $(awk "BEGIN { printf \"%.2f\", $d / $f }")"
done
