#!/usr/bin/env bash
# Gives a newcomer a world to try: when the settings store holds no path yet, makes a
# demo world under the user's data folder and stores its paths, so the first start
# shows green path fields. Paths that are already stored are never touched.
# Usage: first-start.sh PATH-OF-terraquill-cli
set -euo pipefail
cli="$1"

for name in StaIdx0.mul Statics0.mul UOX3.wsc Map0.mul UOPath O-StaIdx0.mul O-Statics0.mul O-Map0.mul; do
  if [ -n "$("$cli" settings get "$name")" ]; then
    exit 0
  fi
done

demo="${XDG_DATA_HOME:-$HOME/.local/share}/Terraquill/demo-world"
# radarcol.mul came later: a demo world made before it is made again, so the overview has colours.
files=(map0.mul staidx0.mul statics0.mul items.wsc texidx.mul texmaps.mul artidx.mul art.mul radarcol.mul)
complete=1
for f in "${files[@]}"; do [ -f "$demo/$f" ] || complete=0; done
if [ "$complete" = 0 ]; then
  echo "First start: making a demo world in $demo"
  mkdir -p "$demo"
  "$cli" mkworld "$demo"
fi

"$cli" settings set StaIdx0.mul "$demo/staidx0.mul"
"$cli" settings set Statics0.mul "$demo/statics0.mul"
"$cli" settings set UOX3.wsc "$demo/items.wsc"
"$cli" settings set Map0.mul "$demo/map0.mul"
"$cli" settings set UOPath "$demo"
echo "The demo world's paths are stored; Terraquill opens with them."
