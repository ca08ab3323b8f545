#!/usr/bin/env bash
# `make run`: starts the desktop program from the folder that holds welcome.tqh (the
# help menu reads it from the working directory). On a newcomer's first start it
# first makes a demo world and stores its paths (scripts/first-start.sh).
set -euo pipefail
build="${1:-build}"
bin="$(cd "$build/bin" && pwd)"
"$(dirname "$0")/first-start.sh" "$bin/terraquill-cli"
cd "$bin"
exec ./terraquill
