#!/usr/bin/env bash
# Installs what is missing, builds Korimo with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
cd build
exec ctest --output-on-failure -j2 "$@"
