#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev libstb-dev zlib1g-dev libzstd-dev)
case "${1:-}" in
  # The Windows build and its test run: the cross-compiler, GoogleTest's sources, the PNG
  # writer, zlib built for Windows, and Wine to run the result.
  mingw) packages=(cmake make g++-mingw-w64-x86-64 googletest libstb-dev libz-mingw-w64-dev wine64) ;;
  fuzz)  packages=(clang libclang-rt-14-dev zlib1g-dev libzstd-dev) ;;
  bench) packages+=(xdelta3 time gnuplot-nox) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
# The package lists are fetched once per boot, not once per make target (and again
# should an install fail on lists that have gone stale).
stamp=/tmp/terraquill-apt-updated
update() { $SUDO apt-get update -qq && touch "$stamp"; }
install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; }
[ -e "$stamp" ] || update
install || { update && install; }
