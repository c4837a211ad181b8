#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Korimo need, and only those
# that are missing. Quiet when everything is already there; safe to run any number of times.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libsqlcipher-dev
  cups-client
  fonts-arphic-uming fonts-wqy-zenhei
  xvfb xauth
  googletest libgtest-dev libbenchmark-dev
)
# Test-only extras: a CUPS queue that prints to PDF and a PDF reader (the print test), and
# clang's libFuzzer.
if [ "${1:-}" = "--test" ]; then
  packages+=(cups printer-driver-cups-pdf poppler-utils clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
