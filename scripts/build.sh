#!/usr/bin/env bash
# Installs what the build needs, then configures and builds one preset:
# "default" (build/), "asan" (build-asan/, with AddressSanitizer and UBSan),
# "tsan" (build-tsan/, ThreadSanitizer, the archive engine's tests only) or
# "release" (build-release/, optimised as distributions build it).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
