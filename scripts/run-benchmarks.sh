#!/usr/bin/env bash
# Runs every benchmark binary of a Release build, then the ratio scripts of scripts/bench.
set -euo pipefail
build="${1:-build-bench}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
# The command-line ratios against their floors, measured in the same run.
cli="$build/bin/terraquill-cli"
if [ -x "$cli" ]; then
  echo "== diff-ratios"
  "$(dirname "$0")/bench/diff-ratios.sh" "$cli"
  echo "== check-ratio"
  "$(dirname "$0")/bench/check-ratio.sh" "$cli"
fi
