#!/usr/bin/env bash
# `check` of the full facet 0 world (896 × 512 blocks) and its world-save against the time
# to read the same files once (a plain read, the least any reader must do), in alternating
# runs; prints both medians and their ratio, twice:
#   warm: the files in the page cache;
#   cold: the page cache dropped before each of the two commands (sync; echo 3 >
#         /proc/sys/vm/drop_caches), when this process may write that file; said when not.
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
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$cli" check "$w" >/dev/null || { "$cli" check "$w" | tail -n 5; echo "the synthetic world is not clean" >&2; exit 1; }

read_ms=() check_ms=()
for ((r = 1; r <= runs; r++)); do
  read_ms+=("$(seconds plain_read "${files[@]}")")
  check_ms+=("$(seconds "$cli" check "$w")")
done
rd=$(median "${read_ms[@]}") ck=$(median "${check_ms[@]}")
echo "warm: check $ck ms against a plain read of $rd ms, ratio $(ratio "$ck" "$rd")"

drop_caches() { sync && { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; }
if drop_caches; then
  read_ms=() check_ms=()
  for ((r = 1; r <= runs; r++)); do
    drop_caches
    read_ms+=("$(seconds plain_read "${files[@]}")")
    drop_caches
    check_ms+=("$(seconds "$cli" check "$w")")
  done
  rd=$(median "${read_ms[@]}") ck=$(median "${check_ms[@]}")
  echo "cold: check $ck ms against a plain read of $rd ms, ratio $(ratio "$ck" "$rd")"
else
  echo "cold: not measured (/proc/sys/vm/drop_caches cannot be written here)"
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
