#!/usr/bin/env bash
# Packs the Windows command-line tool: terraquill-cli.exe, AutoSelect.txt (freeze's
# default list), HELP.txt (its --help, from the .exe itself under Wine) and README.txt,
# the text files with Windows line ends.
#   windows-zip.sh WINDOWS_BUILD OUT.zip
set -euo pipefail
cd "$(dirname "$0")/.."
win_build=$1
out=$2
WINE=$(command -v wine64 || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

stage=$(mktemp -d /tmp/tq-zip.XXXXXX)
export WINEDEBUG=-all DISPLAY= WINEPREFIX="$stage/wine"
trap '"$WINESERVER" -k >/dev/null 2>&1; rm -rf "$stage"' EXIT
mkdir -p "$stage/terraquill-cli"
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }

cp "$win_build/bin/terraquill-cli.exe" "$stage/terraquill-cli/"
crlf data/AutoSelect.txt "$stage/terraquill-cli/AutoSelect.txt"
crlf data/windows/README.txt "$stage/terraquill-cli/README.txt"
"$WINE" "$win_build/bin/terraquill-cli.exe" --help >"$stage/help.txt" 2>/dev/null
grep -q "^usage: terraquill-cli" "$stage/help.txt" || { echo "terraquill-cli.exe --help did not run" >&2; exit 1; }
crlf "$stage/help.txt" "$stage/terraquill-cli/HELP.txt"

mkdir -p "$(dirname "$out")"
out=$(realpath "$out")
rm -f "$out"
(cd "$stage" && cmake -E tar cf "$out" --format=zip terraquill-cli)
echo "$out: $(du -k "$out" | cut -f1) KiB"
