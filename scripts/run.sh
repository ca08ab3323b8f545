#!/usr/bin/env bash
# Starts the desktop program from a folder that holds welcome.tqh.
set -euo pipefail
build="${1:-build}"
cd "$build/bin"
exec ./terraquill
