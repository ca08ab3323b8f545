#!/usr/bin/env bash
# Freeze (type 255, with a patch file) and melt of one block, on the single items.wsc and on
# today's folder save made from it, each against its floor measured in the same run: the
# world-save (every file of the folder, one after another) and the static index copied once,
# each flushed to disk (`dd conv=fsync`), the least a rewrite of them must do. Runs alternate
# floor, freeze and melt on fresh copies; each figure is the median of the runs. Prints time,
# floor, ratio and peak memory per size and format, and writes the figures and a PNG plot of
# time against world-save size.
#   scripts/bench/freeze-melt-ratios.sh CLI [OUTDIR]        (OUTDIR defaults to docs)
# Environment:
#   TQ_BENCH_RUNS=5          runs per size and format (at least 5 for figures worth quoting)
#   TQ_BENCH_SKIP_3M=1       leave out the 3,000,000-item world (a quick run)
#   TQ_BENCH_SIZES="..."     item counts instead of "100000 1000000 3000000"
#   TQ_BENCH_NO_FACET=1      leave out the world of the largest facet size
#   TQ_BENCH_PLOT_ONLY=1     only draw the plot again from OUTDIR/freeze-melt.dat
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
cli=$(realpath "$1") out=${2:-$here/../../docs}
runs=${TQ_BENCH_RUNS:-5}
sizes=${TQ_BENCH_SIZES:-100000 1000000 3000000}
[ -n "${TQ_BENCH_SKIP_3M:-}" ] && sizes=$(printf '%s\n' $sizes | grep -vx 3000000 | tr '\n' ' ')
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-freeze-melt.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
data=$out/freeze-melt.dat

# One world: NAME ITEMS [mkworld options...]
measure() {
  local name=$1 items=$2; shift 2
  local w=$work/$name
  "$cli" mkworld "$w" --items "$items" "$@" >/dev/null
  "$cli" wsc convert "$w/items.wsc" "$w/shared" >/dev/null
  local staidx; staidx=$(cd "$w" && ls staidx*.mul)
  local statics; statics=$(cd "$w" && ls statics*.mul)
  # The melted block holds statics in every mkworld world (an empty one would leave the
  # world-save alone).
  local bx=100 by=200
  declare -A t m refused
  local fmt r c save
  # A freeze the format refuses (the single file keys items by section number modulo 65536,
  # so at millions of items a block can be asked to take more than it holds) is left out:
  # tried once on a copy, its message shown.
  for fmt in file folder; do
    c=$work/c && rm -rf "$c" && mkdir "$c" && cp "$w/$staidx" "$w/$statics" "$c/"
    if [ $fmt = file ]; then cp "$w/items.wsc" "$c/"; save=$c/items.wsc; else cp -r "$w/shared" "$c/"; save=$c/shared; fi
    if ! "$cli" freeze --staidx "$c/$staidx" --statics "$c/$statics" --wsc "$save" --pat "$c/frozen.pat" \
         >/dev/null 2>"$work/refusal"; then
      refused[$fmt]=$(tail -n 1 "$work/refusal")
    fi
  done
  for ((r = 1; r <= runs; r++)); do
    for fmt in file folder; do
      c=$work/c && rm -rf "$c" && mkdir "$c" && cp "$w/$staidx" "$w/$statics" "$c/"
      if [ $fmt = file ]; then cp "$w/items.wsc" "$c/"; save=$c/items.wsc; else cp -r "$w/shared" "$c/"; save=$c/shared; fi
      sync
      local f1 f2 s k
      f1=$(seconds flushed_copy "$save" "$work/floor-save")
      f2=$(seconds flushed_copy "$c/$staidx" "$work/floor-index")
      rm -f "$work/floor-save" "$work/floor-index"; sync
      t[floor-$fmt]+=" $((f1 + f2))"
      if [ -z "${refused[$fmt]:-}" ]; then
        read -r s k < <(timed_peak "$cli" freeze --staidx "$c/$staidx" --statics "$c/$statics" --wsc "$save" \
          --pat "$c/frozen.pat")
        t[freeze-$fmt]+=" $s" m[freeze-$fmt]+=" $k"
        sync
      fi
      read -r s k < <(timed_peak "$cli" melt --staidx "$c/$staidx" --statics "$c/$statics" --wsc "$save" $bx $by)
      t[melt-$fmt]+=" $s" m[melt-$fmt]+=" $k"
    done
  done
  local bytes=$(stat -c %s "$w/items.wsc") op fl med peak
  for fmt in file folder; do
    fl=$(median ${t[floor-$fmt]})
    for op in freeze melt; do
      if [ $op = freeze ] && [ -n "${refused[$fmt]:-}" ]; then
        printf '%-14s %-6s %8s items  %4s MB  %-6s refused: %s\n' "$name" "$fmt" "$items" $((bytes / 1000000)) \
          "$op" "${refused[$fmt]}"
        continue
      fi
      med=$(median ${t[$op-$fmt]}) peak=$(median ${m[$op-$fmt]})
      printf '%-14s %-6s %8s items  %4s MB  %-6s %6s ms  floor %5s ms  %5sx  peak %4s MB\n' \
        "$name" "$fmt" "$items" $((bytes / 1000000)) "$op" "$med" "$fl" "$(ratio "$med" "$fl")" $((peak / 1024))
      echo "$name $fmt $items $bytes $op $med $fl $(ratio "$med" "$fl") $peak" >> "$data"
    done
  done
  rm -rf "$w"
}

if [ -z "${TQ_BENCH_PLOT_ONLY:-}" ]; then
  echo "# world format items save_bytes op median_ms floor_ms ratio peak_kib (median of $runs runs)" > "$data"
  echo "freeze and melt against their floors (median of $runs runs each)"
  for n in $sizes; do measure "items-$n" "$n"; done
  # The largest facet size (facet 0 since the map grew east) with the 1,000,000 items.
  [ -n "${TQ_BENCH_NO_FACET:-}" ] || measure "facet0-896x512" 1000000 --facet 0 --size 896x512
fi

if command -v gnuplot >/dev/null; then
  gnuplot <<EOF
set terminal png size 900,560
set output "$out/freeze-melt.png"
set title "Freeze and melt: time against world-save size ($(sed -n '1s/.*(\(.*\)).*/\1/p' "$data"))"
set xlabel "world-save size (MB)"
set ylabel "time (ms)"
set key below
set grid
plot "< grep '^items-' $data | grep ' file ' | grep ' freeze '" using (\$4/1e6):6 with linespoints title "freeze, single file", \
     "< grep '^items-' $data | grep ' folder ' | grep ' freeze '" using (\$4/1e6):6 with linespoints title "freeze, folder", \
     "< grep '^items-' $data | grep ' file ' | grep ' melt '" using (\$4/1e6):6 with linespoints title "melt, single file", \
     "< grep '^items-' $data | grep ' folder ' | grep ' melt '" using (\$4/1e6):6 with linespoints title "melt, folder", \
     "< grep '^items-' $data | grep ' file ' | grep ' melt '" using (\$4/1e6):7 with linespoints dashtype 2 title "floor: flushed copy, single file", \
     "< grep '^items-' $data | grep ' folder ' | grep ' melt '" using (\$4/1e6):7 with linespoints dashtype 2 title "floor: flushed copy, folder"
EOF
  echo "plot: $out/freeze-melt.png, figures: $data"
else
  echo "gnuplot not installed (scripts/install-deps.sh bench): no plot; figures: $data"
fi
