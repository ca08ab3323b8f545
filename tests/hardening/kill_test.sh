#!/usr/bin/env bash
# Kills terraquill-cli with SIGKILL at random moments of a freeze with a patch file, a
# melt, a diff apply, a fill and a compact, on generated worlds. After each kill: the index is whole
# and fits its statics, the texts read and are their old or new selves, nothing frozen or
# melted is in neither file, the map keeps its size. Then the operation runs again to the
# end and must give what an uninterrupted run gives, leaving no temporary, journal or lock
# file. A kill between the renames of a two-file writer leaves a journal beside the index,
# and the next run finishes it first; such a state without a journal is a failure. Besides
# the random kills, each two-file writer is killed just before each of its renames in turn.
#   bash kill_test.sh <terraquill-cli> <build-dir>
# TQ_KILLS: kills per operation (30; 12 for compact); TQ_KILL_SEED: seeds the moments (9), so a failing
# sequence of moments can be replayed (the timing itself still varies a little);
# TQ_KILL_VERBOSE: print the state each kill left; TQ_KILL_OPS: the operations to test
# ("freeze melt apply fill compact folderfreeze foldermelt"; the last two on a folder save of region
# files, where a freeze replaces the index, many region files and the patch file in turn).
set -euo pipefail
cli=$1
tool="$(dirname "$cli")/kill_check_tool"
kills=${TQ_KILLS:-30}
RANDOM=${TQ_KILL_SEED:-9}
work=$(mktemp -d "${TMPDIR:-/tmp}/tq-kill.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL ($op, kill $i, after ${delay}us): $*" >&2
  exit 1
}
check() { "$tool" "$@" || fail "kill_check_tool $1"; }
same() { cmp -s "$1" "$2"; }
# version FILE OLD NEW: "old", "new" or "neither", as FILE equals OLD, NEW or none.
version() { if same "$1" "$2"; then echo old; elif same "$1" "$3"; then echo new; else echo neither; fi; }
# versions OLD_DIR NEW_DIR FILE...: sets v[FILE] for each file of the working folder $w and
# fails on one that is neither.
declare -A v
versions() {
  local old=$1 new=$2 f; shift 2
  for f in "$@"; do
    v[$f]=$(version "$w/$f" "$old/$f" "$new/$f")
    [ "${v[$f]}" != neither ] || fail "$f is neither old nor new"
  done
}
now_us() { echo $(( $(date +%s%N) / 1000 )); }

# Times one run of a command in microseconds.
time_us() {
  local t0; t0=$(now_us)
  "$@" >/dev/null
  echo $(( $(now_us) - t0 ))
}

# Starts the command (a program, not a shell function, so the kill reaches it), kills it
# after a random moment between `from` and `to` (us), and sets `ended` to "killed" or
# "finished".
run_and_kill() {
  local from=$1 to=$2; shift 2
  delay=$(( from + (RANDOM * 32768 + RANDOM) % (to - from + 1) ))
  "$@" >/dev/null 2>"$work/stderr" &
  local pid=$! status=0
  sleep "$(printf '%d.%06d' $((delay / 1000000)) $((delay % 1000000)))"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || status=$?
  case $status in
    0) ended=finished ;;
    137) ended=killed ;;
    *) fail "the operation failed: $(cat "$work/stderr")" ;;
  esac
}

# How long the program takes just to start: kills before that teach nothing.
startup=$(time_us "$cli" --help)

# The states the kills left, counted per operation.
declare -A count
tally() {
  count[$1]=$(( ${count[$1]:-0} + 1 ))
  [ -z "${TQ_KILL_VERBOSE:-}" ] || echo "$op kill $i after ${delay}us ($ended): $1"
}
report() {
  local line="$op: $kills kills ("
  for k in "$@"; do line+="${k//_/ } ${count[$k]:-0}, "; done
  echo "${line}uninterrupted run ${took}us)"
  count=()
}
wants() { [[ " ${TQ_KILL_OPS:-freeze melt apply fill compact folderfreeze foldermelt} " == *" $1 "* ]]; }
leftovers() { find "$@" -name '*.tqtmp-*' | wc -l; }
# After the next run nothing of the killed one may be left: no temporary, journal or lock file.
no_leftovers() {
  local left; left=$(find "$w" \( -name '*.tqtmp-*' -o -name '*.journal' -o -name '*.lock' \) -printf '%f ')
  [ -z "$left" ] || fail "left behind after the next run: $left"
}
# A state only a kill between two renames can leave must come with its journal.
journaled() { [ -f "$w/staidx0.mul.journal" ] || fail "$1 without a journal"; want_finish=1; }
# The next run says in its log that it finished the killed one's renames.
said_finished() {
  [ "$want_finish" = 1 ] || return 0
  grep -q "^Finished an interrupted $1 of " "$work/stdout" || fail "the next run did not say it finished the $1"
}
# rename_kills OP CHECK ARGS...: runs OP in $w under kill_check_tool, killed before its 1st,
# 2nd, ... rename until it finishes, and runs CHECK after each.
rename_kills() {
  local name=$1 checker=$2 n status; shift 2
  for ((n = 1; ; n++)); do
    i=r$n delay=0 ended=killed
    w=$work/w
    rm -rf "$w" && cp -r "$base" "$w"
    status=0
    "$tool" kill-at-rename "$n" "$name" "$@" 2>"$work/stderr" &
    wait $! 2>/dev/null || status=$?
    case $status in
      137) "$checker" ;;
      3) break ;;
      *) fail "kill_check_tool kill-at-rename failed ($status): $(cat "$work/stderr")" ;;
    esac
  done
  rename_kill_count=$((n - 1))
}

# campaign BASE RUNNER CHECKER "TALLIES" OP ARGS...: KILLS random kills of RUNNER on copies of
# BASE, each followed by CHECKER; then kill_check_tool's kill before each rename of OP ARGS;
# a report of TALLIES after each half.
campaign() {
  local from=$1 runner=$2 checker=$3 tallies=$4 rename_op=$5 saved_op
  shift 5
  for ((i = 1; i <= kills; i++)); do
    killed "$from" "$runner"
    "$checker"
  done
  report $tallies
  base=$from
  rename_kills "$rename_op" "$checker" "$@"
  kills=$rename_kill_count saved_op=$op op="$op, killed before each rename"
  report $tallies
  kills=${TQ_KILLS:-30} op=$saved_op
}

# One generated world serves every operation; each run works on copies of the files it
# changes.
"$cli" mkworld "$work/world" --items 20000 --seed 11 >/dev/null
world=$work/world
# copies DIR FILE... : a fresh folder DIR with copies of the world's files.
copies() {
  local dir=$1; shift
  rm -rf "$dir" && mkdir -p "$dir"
  for f in "$@"; do cp "$world/$f" "$dir/"; done
}

# uninterrupted BASE COMMAND: runs the operation (COMMAND sets `cmd` for a folder) to the
# end on a copy of BASE in $work/good, and times it in `took`.
uninterrupted() {
  rm -rf "$work/good" && cp -r "$1" "$work/good"
  "$2" "$work/good"
  took=$(time_us "${cmd[@]}")
}
# killed BASE COMMAND: runs it on a fresh copy of BASE in $w and kills it at a random moment.
killed() {
  w=$work/w
  rm -rf "$w" && cp -r "$1" "$w"
  "$2" "$w"
  run_and_kill $((startup / 2)) "$took" "${cmd[@]}"
}

# ---- freeze with a patch file ---------------------------------------------------------
if wants freeze; then
op=freeze
i=0 delay=0
copies "$work/base" staidx0.mul statics0.mul items.wsc
printf 'SECTION WORLDITEM 40\r\n{\r\nSERIAL 1073741900\r\nTYPE 0\r\n}\r\nEOF\r\n' >"$work/base/out.pat"
# Each operation as a command line on the files of a folder.
freeze() { cmd=("$cli" freeze --staidx "$1/staidx0.mul" --statics "$1/statics0.mul" --wsc "$1/items.wsc" --pat "$1/out.pat"); }
uninterrupted "$work/base" freeze
after_freeze_kill() {
  want_finish=0
  check check-index "$w/staidx0.mul" "$w/statics0.mul"
  check check-text "$w/items.wsc"
  check check-text "$w/out.pat"
  versions "$work/base" "$work/good" items.wsc out.pat staidx0.mul
  wsc=${v[items.wsc]} pat=${v[out.pat]} idx=${v[staidx0.mul]}
  [ "$idx/$wsc" = old/new ] && fail "frozen items are in neither the statics nor the world-save"
  [ $idx = new ] && check same-statics "$w/staidx0.mul" "$w/statics0.mul" "$work/good/staidx0.mul" "$work/good/statics0.mul"
  if [ "$idx/$wsc" = new/old ]; then
    journaled "the new index beside the old world-save (items in both)"; tally between_renames
  elif [ "$wsc/$pat" = new/old ]; then
    journaled "the new world-save beside the old patch file"; tally between_renames
  elif [ $wsc = old ]; then
    [ "$(stat -c %s "$w/statics0.mul")" = "$(stat -c %s "$work/base/statics0.mul")" ] && tally before || tally midway
  else
    tally after
  fi
  freeze "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "freezing again failed: $(cat "$work/stderr")"
  said_finished freeze
  same "$w/items.wsc" "$work/good/items.wsc" || fail "after freezing again the world-save differs"
  same "$w/out.pat" "$work/good/out.pat" || fail "after freezing again the patch file differs"
  check same-statics "$w/staidx0.mul" "$w/statics0.mul" "$work/good/staidx0.mul" "$work/good/statics0.mul"
  no_leftovers
}
campaign "$work/base" freeze after_freeze_kill "before midway between_renames after" \
  freeze "$work/w/staidx0.mul" "$work/w/statics0.mul" "$work/w/items.wsc" "$work/w/out.pat"
fi

# ---- melt -----------------------------------------------------------------------------
if wants melt; then
op=melt
copies "$work/mbase" staidx0.mul statics0.mul items.wsc
read -r mx my < <("$tool" statics-block "$work/mbase/staidx0.mul")
melt() { cmd=("$cli" melt --staidx "$1/staidx0.mul" --statics "$1/statics0.mul" --wsc "$1/items.wsc" "$mx" "$my"); }
uninterrupted "$work/mbase" melt
after_melt_kill() {
  want_finish=0
  check check-index "$w/staidx0.mul" "$w/statics0.mul"
  check check-text "$w/items.wsc"
  same "$w/statics0.mul" "$work/mbase/statics0.mul" || fail "melt wrote statics0.mul"
  versions "$work/mbase" "$work/good" items.wsc staidx0.mul
  wsc=${v[items.wsc]} idx=${v[staidx0.mul]}
  [ "$idx/$wsc" = new/old ] && fail "the melted statics are in neither the index nor the world-save"
  case $idx/$wsc in
    old/new) journaled "the new world-save beside the old index (statics in both)"; tally between_renames ;;
    old/old) tally before ;;
    new/new) tally after ;;
  esac
  melt "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "melting again failed: $(cat "$work/stderr")"
  said_finished melt
  same "$w/items.wsc" "$work/good/items.wsc" || fail "after melting again the world-save differs"
  same "$w/staidx0.mul" "$work/good/staidx0.mul" || fail "after melting again the index differs"
  no_leftovers
}
campaign "$work/mbase" melt after_melt_kill "before between_renames after" \
  melt "$work/w/staidx0.mul" "$work/w/statics0.mul" "$work/w/items.wsc" "$mx" "$my"
fi

# ---- diff apply -----------------------------------------------------------------------
if wants apply; then
op=apply
# The operator's modified world: the generated one with a rectangle filled and its items
# frozen; the package between the two.
d=$work/dw
copies "$d/orig" staidx0.mul statics0.mul map0.mul
copies "$d/mod" staidx0.mul statics0.mul map0.mul items.wsc
"$cli" fill --staidx "$d/mod/staidx0.mul" --statics "$d/mod/statics0.mul" --map "$d/mod/map0.mul" \
  --left 800 --top 600 --right 1400 --bottom 1000 --tile "Random desert" --alt 5 --seed 3 >/dev/null
"$cli" freeze --staidx "$d/mod/staidx0.mul" --statics "$d/mod/statics0.mul" --wsc "$d/mod/items.wsc" >/dev/null
"$cli" diff generate --orig-staidx "$d/orig/staidx0.mul" --orig-statics "$d/orig/statics0.mul" \
  --orig-map "$d/orig/map0.mul" --mod-staidx "$d/mod/staidx0.mul" --mod-statics "$d/mod/statics0.mul" \
  --mod-map "$d/mod/map0.mul" --out "$work/patch.tq2" >/dev/null
apply() {
  cmd=("$cli" diff apply --orig-staidx "$d/orig/staidx0.mul" --orig-statics "$d/orig/statics0.mul"
    --orig-map "$d/orig/map0.mul" --mod-staidx "$1/staidx0.mul" --mod-statics "$1/statics0.mul"
    --mod-map "$1/map0.mul" "$work/patch.tq2")
}
uninterrupted "$d/orig" apply
i=0
same "$work/good/map0.mul" "$d/mod/map0.mul" || fail "an uninterrupted apply does not give the modified map"
after_apply_kill() {
  want_finish=0
  check map-old-or-new "$w/map0.mul" "$d/orig/map0.mul" "$work/good/map0.mul"
  for f in staidx0.mul statics0.mul map0.mul; do v[$f]=$(version "$w/$f" "$d/orig/$f" "$work/good/$f"); done
  case ${v[staidx0.mul]}/${v[statics0.mul]}/${v[map0.mul]} in
    old/old/old) tally before ;;
    new/new/new) tally after ;;
    new/new/*) tally map_midway ;;
    new/old/old) journaled "the new index beside the old statics"; tally between_renames ;;
    *) fail "the statics and the index are not a pair (index, statics, map: ${v[staidx0.mul]}, ${v[statics0.mul]}, ${v[map0.mul]})" ;;
  esac
  [ "${v[staidx0.mul]}/${v[statics0.mul]}" = new/old ] || check check-index "$w/staidx0.mul" "$w/statics0.mul"
  left=$(leftovers "$w")
  [ "$left" -gt 0 ] && tally temporary_files_removed
  if [ "$want_finish" = 1 ]; then
    # A reader that meets the journal finishes it first, then reads the finished index.
    "$cli" crc "$w/staidx0.mul" >"$work/stdout" 2>"$work/stderr" || fail "crc after the kill failed: $(cat "$work/stderr")"
    said_finished apply
    grep -qF "$("$cli" crc "$work/good/staidx0.mul")" "$work/stdout" || fail "crc after the kill read an unfinished index"
    want_finish=0
  fi
  apply "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "applying again failed: $(cat "$work/stderr")"
  said_finished apply
  for f in staidx0.mul statics0.mul map0.mul; do
    same "$w/$f" "$work/good/$f" || fail "after applying again $f differs"
  done
  no_leftovers
}
campaign "$d/orig" apply after_apply_kill "before between_renames map_midway after temporary_files_removed" \
  apply "$d/orig/staidx0.mul" "$d/orig/statics0.mul" "$d/orig/map0.mul" \
  "$work/w/staidx0.mul" "$work/w/statics0.mul" "$work/w/map0.mul" "$work/patch.tq2"
fi

# ---- fill -----------------------------------------------------------------------------
if wants fill; then
op=fill
copies "$work/fbase" staidx0.mul statics0.mul map0.mul
fill() {
  cmd=("$cli" fill --staidx "$1/staidx0.mul" --statics "$1/statics0.mul" --map "$1/map0.mul"
    --left 5 --top 3 --right 3001 --bottom 4090 --tile "Random grass" --alt 12 --seed 7)
}
uninterrupted "$work/fbase" fill
for ((i = 1; i <= kills; i++)); do
  killed "$work/fbase" fill
  check check-index "$w/staidx0.mul" "$w/statics0.mul"
  check map-old-or-new "$w/map0.mul" "$work/fbase/map0.mul" "$work/good/map0.mul"
  check blocks-old-or-new "$w/staidx0.mul" "$w/statics0.mul" "$work/fbase/staidx0.mul" "$work/fbase/statics0.mul" \
    "$work/good/staidx0.mul" "$work/good/statics0.mul"
  if same "$w/staidx0.mul" "$work/fbase/staidx0.mul" && same "$w/map0.mul" "$work/fbase/map0.mul"; then tally before
  elif same "$w/map0.mul" "$work/good/map0.mul"; then tally after
  else tally midway; fi
  "${cmd[@]}" >/dev/null || fail "filling again failed"
  same "$w/map0.mul" "$work/good/map0.mul" || fail "after filling again the map differs"
  check same-statics "$w/staidx0.mul" "$w/statics0.mul" "$work/good/staidx0.mul" "$work/good/statics0.mul"
  no_leftovers
done
report before midway after
fi

# ---- compact ---------------------------------------------------------------------------
if wants compact; then
op=compact
i=0 delay=0
# The generated statics carry runs no entry uses, as a world that has seen freezes does.
copies "$work/cbase" staidx0.mul statics0.mul
compact() { cmd=("$cli" compact --staidx "$1/staidx0.mul" --statics "$1/statics0.mul"); }
uninterrupted "$work/cbase" compact
[ "$(stat -c %s "$work/good/statics0.mul")" -lt "$(stat -c %s "$work/cbase/statics0.mul")" ] ||
  fail "an uninterrupted compact gave nothing back"
after_compact_kill() {
  want_finish=0
  versions "$work/cbase" "$work/good" staidx0.mul statics0.mul
  case ${v[staidx0.mul]}/${v[statics0.mul]} in
    old/old) tally before ;;
    new/new) tally after ;;
    new/old) journaled "the new index beside the old statics"; tally between_renames ;;
    *) fail "the new statics beside the old index" ;;
  esac
  [ "${v[staidx0.mul]}/${v[statics0.mul]}" = new/old ] || check check-index "$w/staidx0.mul" "$w/statics0.mul"
  compact "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "compacting again failed: $(cat "$work/stderr")"
  said_finished compact
  for f in staidx0.mul statics0.mul; do same "$w/$f" "$work/good/$f" || fail "after compacting again $f differs"; done
  no_leftovers
}
# Its runs are alike from one kill to the next: fewer random kills keep the CI run short.
kills=${TQ_KILLS:-12}
campaign "$work/cbase" compact after_compact_kill "before between_renames after" \
  compact "$work/w/staidx0.mul" "$work/w/statics0.mul"
fi

# ---- freeze and melt on a folder save -------------------------------------------------
if wants folderfreeze || wants foldermelt; then
# Few items: each region file that loses one is a rename of its own, killed in turn below.
"$cli" mkworld "$work/fworld" --items 500 --seed 12 --wsc-format folder >/dev/null
fcopies() {
  rm -rf "$1" && mkdir -p "$1"
  cp "$work/fworld/staidx0.mul" "$work/fworld/statics0.mul" "$1/" && cp -r "$work/fworld/shared" "$1/shared"
}
# region_states BASE: counts the region files the run changes that are old (`rold`) and new
# (`rnew`); every other region file must be as it was.
region_states() {
  local f changed; rold=0 rnew=0
  changed=$( (diff -rq "$1/shared" "$work/good/shared" || true) | sed -n 's|^Files [^ ]*/shared/\([^ ]*\) and .*|shared/\1|p')
  (diff -rq -x '*.tqtmp-*' "$1/shared" "$w/shared" || true) | sed -n 's|^Files [^ ]*/shared/\([^ ]*\) and .*|shared/\1|p' |
    while read -r f; do [[ " $(echo $changed) " == *" $f "* ]] || echo "$f"; done >"$work/unexpected"
  [ ! -s "$work/unexpected" ] || fail "a region file the run does not change changed: $(cat "$work/unexpected")"
  versions "$1" "$work/good" $changed
  for f in $changed; do [ "${v[$f]}" = new ] && rnew=$((rnew + 1)) || rold=$((rold + 1)); done
}
same_regions() {
  diff -rq "$w/shared" "$work/good/shared" >/dev/null || fail "after running again the region files differ"
}
fi

if wants folderfreeze; then
op=folderfreeze
fcopies "$work/ffbase"
printf 'SECTION WORLDITEM 40\r\n{\r\nSERIAL 1073741900\r\nTYPE 0\r\n}\r\nEOF\r\n' >"$work/ffbase/out.pat"
ffreeze() { cmd=("$cli" freeze --staidx "$1/staidx0.mul" --statics "$1/statics0.mul" --wsc "$1/shared" --pat "$1/out.pat"); }
uninterrupted "$work/ffbase" ffreeze
after_ffreeze_kill() {
  want_finish=0
  check check-index "$w/staidx0.mul" "$w/statics0.mul"
  check check-text "$w/out.pat"
  versions "$work/ffbase" "$work/good" out.pat staidx0.mul
  pat=${v[out.pat]} idx=${v[staidx0.mul]}
  region_states "$work/ffbase"
  # The index is renamed first, then the region files, then the patch file.
  [ $idx = old ] && [ $rnew -gt 0 ] && fail "frozen items are in neither the statics nor the region files"
  [ $idx = new ] && check same-statics "$w/staidx0.mul" "$w/statics0.mul" "$work/good/staidx0.mul" "$work/good/statics0.mul"
  if [ $idx = new ] && { [ $rold -gt 0 ] || [ $pat = old ]; }; then
    journaled "the new index beside $rold old region files"; tally between_renames
  elif [ $idx = old ]; then
    [ "$(stat -c %s "$w/statics0.mul")" = "$(stat -c %s "$work/ffbase/statics0.mul")" ] && tally before || tally midway
  else
    tally after
  fi
  ffreeze "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "freezing again failed: $(cat "$work/stderr")"
  said_finished freeze
  same_regions
  same "$w/out.pat" "$work/good/out.pat" || fail "after freezing again the patch file differs"
  check same-statics "$w/staidx0.mul" "$w/statics0.mul" "$work/good/staidx0.mul" "$work/good/statics0.mul"
  no_leftovers
}
campaign "$work/ffbase" ffreeze after_ffreeze_kill "before midway between_renames after" \
  freeze "$work/w/staidx0.mul" "$work/w/statics0.mul" "$work/w/shared" "$work/w/out.pat"
# A freeze that replaces more files than a journal could once name (64): killed before its
# 80th rename, it must be finished by the next run like any other.
i=big delay=0
"$cli" mkworld "$work/fbig" --items 20000 --seed 13 --wsc-format folder >/dev/null
rm -f "$work/fbig/map0.mul"
cp -r "$work/fbig" "$work/fbig.good"
"$cli" freeze --staidx "$work/fbig.good/staidx0.mul" --statics "$work/fbig.good/statics0.mul" \
  --wsc "$work/fbig.good/shared" >/dev/null
status=0
"$tool" kill-at-rename 80 freeze "$work/fbig/staidx0.mul" "$work/fbig/statics0.mul" "$work/fbig/shared" \
  "$work/fbig/out.pat" 2>"$work/stderr" &
wait $! 2>/dev/null || status=$?
[ $status = 137 ] || fail "the freeze of $(ls "$work/fbig/shared" | wc -l) region files did not reach its 80th rename"
[ -f "$work/fbig/staidx0.mul.journal" ] || fail "a freeze killed before its 80th rename left no journal"
rm -f "$work/fbig/out.pat"*
"$cli" freeze --staidx "$work/fbig/staidx0.mul" --statics "$work/fbig/statics0.mul" --wsc "$work/fbig/shared" \
  >"$work/stdout" 2>"$work/stderr" || fail "freezing again failed: $(cat "$work/stderr")"
grep -q "^Finished an interrupted freeze of " "$work/stdout" || fail "the next run did not finish the big freeze"
diff -rq "$work/fbig/shared" "$work/fbig.good/shared" >/dev/null || fail "after the big freeze the region files differ"
check same-statics "$work/fbig/staidx0.mul" "$work/fbig/statics0.mul" "$work/fbig.good/staidx0.mul" \
  "$work/fbig.good/statics0.mul"
echo "$op, killed before the 80th rename of a freeze of $(ls "$work/fbig/shared" | wc -l) region files: finished by the next run"
rm -rf "$work/fbig" "$work/fbig.good"
fi

if wants foldermelt; then
op=foldermelt
fcopies "$work/fmbase"
read -r mx my < <("$tool" statics-block "$work/fmbase/staidx0.mul")
fmelt() { cmd=("$cli" melt --staidx "$1/staidx0.mul" --statics "$1/statics0.mul" --wsc "$1/shared" "$mx" "$my"); }
uninterrupted "$work/fmbase" fmelt
after_fmelt_kill() {
  want_finish=0
  check check-index "$w/staidx0.mul" "$w/statics0.mul"
  same "$w/statics0.mul" "$work/fmbase/statics0.mul" || fail "melt wrote statics0.mul"
  versions "$work/fmbase" "$work/good" staidx0.mul
  idx=${v[staidx0.mul]}
  region_states "$work/fmbase"
  [ $rnew = 1 ] && wsc=new || wsc=old
  [ "$idx/$wsc" = new/old ] && fail "the melted statics are in neither the index nor the region file"
  case $idx/$wsc in
    old/new) journaled "the new region file beside the old index (statics in both)"; tally between_renames ;;
    old/old) tally before ;;
    new/new) tally after ;;
  esac
  fmelt "$w"
  "${cmd[@]}" >"$work/stdout" 2>"$work/stderr" || fail "melting again failed: $(cat "$work/stderr")"
  said_finished melt
  same_regions
  same "$w/staidx0.mul" "$work/good/staidx0.mul" || fail "after melting again the index differs"
  no_leftovers
}
campaign "$work/fmbase" fmelt after_fmelt_kill "before between_renames after" \
  melt "$work/w/staidx0.mul" "$work/w/statics0.mul" "$work/w/shared" "$mx" "$my"
fi
