#!/usr/bin/env bash
# Sets everything up, builds, and starts the wizard. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
exec build/bin/quillbank "$@"
