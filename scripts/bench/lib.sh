# Shared by the ratio scripts of `make bench`: timing, medians, peak memory and ratios.
# Source it; every function prints to stdout.

# Milliseconds one command takes (its output thrown away).
seconds() { local s e; s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N); echo $(( (e - s) / 1000000 )); }

# Milliseconds and peak resident KiB of one command, as "MS KIB" (GNU time's %M).
timed_peak() {
  local s e kb f; f=$(mktemp)
  s=$(date +%s%N); /usr/bin/time -f %M -o "$f" "$@" >/dev/null; e=$(date +%s%N)
  kb=$(tail -n 1 "$f"); rm -f "$f"
  echo "$(( (e - s) / 1000000 )) $kb"
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

# A / B to two decimals.
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# The floors: a file (or every file of a folder, one after another) copied once and flushed,
# the least a writer of it must do; and a plain read of files, the least a reader must do.
flushed_copy() {   # SRC DEST
  if [ -d "$1" ]; then cat "$1"/*; else cat "$1"; fi | dd of="$2" bs=4M conv=fsync status=none
}
plain_read() { cat "$@" >/dev/null; }

