#!/usr/bin/env bash
# Sets everything up, builds, and runs the tests of one preset: every test for
# "default"; for "asan" all but the packaging and the real applications'
# end-to-end runs (the integration label); for "release" the installed
# programs' tests (the packaging label), since the rest already ran in the
# other builds.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/build.sh "$preset"
ctest --preset "$preset"
