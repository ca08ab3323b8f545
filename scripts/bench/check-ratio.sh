#!/usr/bin/env bash
# `check` of the full facet 0 world (896 × 512 blocks) and its world-save against the time
# to read the same files once (a plain read, the least any reader must do), in alternating
# runs with the files in the page cache; prints both medians and their ratio.
#   scripts/bench/check-ratio.sh CLI [ITEMS] [RUNS]      (defaults 1000000 and 5)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cli=$1 items=${2:-1000000} runs=${3:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
w=$work/w
mkdir -p "$w"
"$cli" mkworld "$w" --items "$items" --size 896x512 >/dev/null
files=("$w/staidx0.mul" "$w/statics0.mul" "$w/map0.mul" "$w/items.wsc")
echo "world: $(du -ch "${files[@]}" | tail -n 1 | cut -f1) in staidx0.mul, statics0.mul, map0.mul, items.wsc ($items items)"
"$cli" check "$w" >/dev/null || { "$cli" check "$w" | tail -n 5; echo "the synthetic world is not clean" >&2; exit 1; }
read_ms=() check_ms=()
for ((r = 1; r <= runs; r++)); do
  read_ms+=("$(seconds plain_read "${files[@]}")")
  check_ms+=("$(seconds "$cli" check "$w")")
done
rd=$(median "${read_ms[@]}") ck=$(median "${check_ms[@]}")
echo "check: $ck ms against a plain read of $rd ms, ratio $(ratio "$ck" "$rd")"
