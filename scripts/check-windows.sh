#!/usr/bin/env bash
# Runs the Windows build under Wine: each of the core's test programs, then the
# command-line tool's end-to-end comparison with the Linux build (tests/windows/cli_e2e.sh).
#   check-windows.sh WINDOWS_BUILD LINUX_BUILD
# Headless and self-contained: a throwaway Wine prefix, no display, Wine's own messages off;
# the prefix's wineserver is stopped at the end.
set -uo pipefail
cd "$(dirname "$0")/.."
win_build=${1:-build-windows}
linux_build=${2:-build}

# Debian's wine64 package puts its loader outside PATH; the `wine` package adds wrappers.
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
[ -x "$WINE" ] || { echo "wine64 is missing (scripts/install-deps.sh mingw)" >&2; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
WINEPREFIX=$(mktemp -d /tmp/tq-wine.XXXXXX)
export WINEPREFIX
trap '"$WINESERVER" -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT

start=$SECONDS
"$WINE" cmd /c exit >/dev/null 2>&1 || true  # makes the prefix once, before the timed runs
echo "Wine prefix ready in $((SECONDS - start)) s"

failed=0
passed=0
for t in $(cat "$win_build/windows-tests.txt"); do
  t0=$SECONDS
  out=$(mktemp)
  if "$WINE" "$win_build/bin/$t.exe" --gtest_brief=1 >"$out" 2>&1; then status=0; else status=$?; fi
  n_passed=$(sed -n 's/.*\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$out" | tail -1)
  n_failed=$(sed -n 's/.*\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$out" | tail -1)
  if [ "$status" != 0 ] || [ -z "$n_passed" ]; then
    cat "$out"
    echo "$t.exe: FAILED (exit status $status)"
    failed=$((failed + ${n_failed:-1}))
  else
    echo "$t.exe: $n_passed tests passed in $((SECONDS - t0)) s"
  fi
  passed=$((passed + ${n_passed:-0}))
  rm -f "$out"
done

t0=$SECONDS
if bash tests/windows/cli_e2e.sh "$WINE" "$win_build/bin/terraquill-cli.exe" "$linux_build/bin/terraquill-cli"; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
fi
echo "end-to-end comparison in $((SECONDS - t0)) s; all under Wine in $((SECONDS - start)) s"
echo "windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
