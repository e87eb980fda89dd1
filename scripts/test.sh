#!/usr/bin/env bash
# Sets everything up, builds, and runs every test of one preset ("default" or "asan").
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/build.sh "$preset"
ctest --preset "$preset"
