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
# The command-line operations against their floors, measured in the same run.
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/bin/terraquill-cli"
echo "== freeze-melt-ratios.sh"
"$here/bench/freeze-melt-ratios.sh" "$cli" "$here/../docs"
echo "== diff-ratios.sh"
"$here/bench/diff-ratios.sh" "$cli"
echo "== check-ratio.sh"
"$here/bench/check-ratio.sh" "$cli"
