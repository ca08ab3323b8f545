#!/usr/bin/env bash
# make run's first start: a demo world and its stored paths for a newcomer, and
# nothing touched for someone who already has paths stored.
# Usage: first_start_test.sh PATH-OF-terraquill-cli BUILD-DIR
set -euo pipefail
cli="$1"
script="$(cd "$(dirname "$0")/../.." && pwd)/scripts/first-start.sh"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A newcomer.
"$script" "$cli" > "$home/out"
demo="$home/data/Terraquill/demo-world"
[ "$("$cli" settings get StaIdx0.mul)" = "$demo/staidx0.mul" ] || fail "StaIdx0.mul not stored"
[ "$("$cli" settings get Statics0.mul)" = "$demo/statics0.mul" ] || fail "Statics0.mul not stored"
[ "$("$cli" settings get UOX3.wsc)" = "$demo/items.wsc" ] || fail "UOX3.wsc not stored"
[ "$("$cli" settings get Map0.mul)" = "$demo/map0.mul" ] || fail "Map0.mul not stored"
[ "$("$cli" settings get UOPath)" = "$demo" ] || fail "UOPath not stored"
[ -z "$("$cli" settings get Mode)" ] || fail "the mode question belongs to the first start"
for f in staidx0.mul statics0.mul items.wsc map0.mul texidx.mul art.mul; do
  [ -s "$demo/$f" ] || fail "demo world lacks $f"
done
# The demo world is a real one: its index loads and a block lists.
"$cli" block --staidx "$demo/staidx0.mul" --statics "$demo/statics0.mul" 0 0 > /dev/null || fail "demo index unreadable"

# The next start changes nothing.
before="$(stat -c %Y "$demo/staidx0.mul")"
"$script" "$cli" > "$home/out2"
[ ! -s "$home/out2" ] || fail "second start did something: $(cat "$home/out2")"
[ "$(stat -c %Y "$demo/staidx0.mul")" = "$before" ] || fail "demo world rewritten"

# Someone with one stored path keeps it, and gets no demo world.
rm -rf "$home/config" "$home/data"
"$cli" settings set Map0.mul /srv/uo/map0.mul
"$script" "$cli" > /dev/null
[ "$("$cli" settings get Map0.mul)" = /srv/uo/map0.mul ] || fail "stored path overwritten"
[ -z "$("$cli" settings get StaIdx0.mul)" ] || fail "paths added to a store that had some"
[ ! -e "$home/data/Terraquill" ] || fail "demo world made although paths were stored"
echo "first start: ok"
