#!/usr/bin/env bash
# Runs every benchmark binary of a Release build, then the scripts that measure whole
# operations of the command line against their floors (scripts/bench/*.sh; each says its
# own environment knobs, e.g. TQ_BENCH_SKIP_3M=1 for a quick run).
set -euo pipefail
build="${1:-build-bench}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
here=$(cd "$(dirname "$0")" && pwd)
echo "== freeze-melt-ratios.sh"
"$here/bench/freeze-melt-ratios.sh" "$build/bin/terraquill-cli" "$here/../docs"
