#!/usr/bin/env bash
# `terraquill-cli settings` runs terraquill-settings from the CLI's own folder: wherever the
# pair is copied together it works, and a CLI copied alone says what is missing instead of
# failing silently or pretending to have stored anything.
# Usage: settings_companion_test.sh PATH-OF-terraquill-cli BUILD-DIR
set -euo pipefail
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The pair, copied to a folder of its own (a path with a space).
mkdir -p "$work/pair dir" "$work/alone"
cp "$cli" "$(dirname "$cli")/terraquill-settings" "$work/pair dir/"
"$work/pair dir/terraquill-cli" settings set UOPath "/srv/uo one" || fail "set through a copied pair failed"
[ "$("$work/pair dir/terraquill-cli" settings get UOPath)" = "/srv/uo one" ] || fail "value not read back"
# Usage errors keep the CLI's form and exit status.
set +e
"$work/pair dir/terraquill-cli" settings get > "$work/out" 2> "$work/err"; status=$?
set -e
[ "$status" = 2 ] || fail "usage error exited $status"
[ "$(cat "$work/err")" = "$(printf 'error: get takes one name\nusage: terraquill-cli settings [list | get NAME | set NAME VALUE]')" ] \
  || fail "usage error text: $(cat "$work/err")"

# The CLI alone: a clear error and status 1; the store is untouched.
cp "$cli" "$work/alone/"
set +e
"$work/alone/terraquill-cli" settings set UOPath /elsewhere > "$work/out" 2> "$work/err"; status=$?
set -e
[ "$status" = 1 ] || fail "missing companion exited $status"
[ ! -s "$work/out" ] || fail "missing companion printed: $(cat "$work/out")"
expected="error: $work/alone/terraquill-settings: the settings command runs terraquill-settings, which is missing beside terraquill-cli (install it in the same folder)"
[ "$(cat "$work/err")" = "$expected" ] || fail "missing companion message: $(cat "$work/err")"
[ "$("$work/pair dir/terraquill-cli" settings get UOPath)" = "/srv/uo one" ] || fail "store changed"
# Every other command works without it.
"$work/alone/terraquill-cli" --version | grep -q '^terraquill-cli ' || fail "--version without the companion"
echo "settings companion: ok"
