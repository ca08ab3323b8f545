#!/usr/bin/env bash
# Runs every benchmark binary of a Release build.
set -euo pipefail
build="${1:-build-bench}"
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
# The command-line ratios against their floors, measured in the same run.
if [ -x "$build/bin/terraquill-cli" ]; then
  echo "== diff-ratios"
  "$(dirname "$0")/bench/diff-ratios.sh" "$build/bin/terraquill-cli"
fi
