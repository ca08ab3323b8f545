#!/usr/bin/env bash
# Runs every fuzz harness of a fuzz build for a number of seconds each, starting from the
# seed corpus in fuzz/corpus/<harness>/. New inputs go to <build>/corpus/<harness>/, crashes
# to <build>/artifacts/. Fails when a harness finds a crash, a leak or undefined behaviour.
#   scripts/run-fuzzers.sh BUILD SECONDS [HARNESS...]
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD SECONDS [HARNESS...]}
seconds=${2:-60}
shift 2 || true
root="$(cd "$(dirname "$0")/.." && pwd)"
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for f in "$build"/fuzz/*_fuzz; do harnesses+=("$(basename "$f")"); done
fi
mkdir -p "$build/artifacts"
failed=()
for name in "${harnesses[@]}"; do
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "== $name: ${seconds}s"
  log="$build/artifacts/$name.log"
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     "$build/fuzz/$name" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$name-" "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" || true
  else
    echo "!! $name failed; see $log"
    tail -40 "$log"
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
