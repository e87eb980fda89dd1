#!/usr/bin/env bash
# Sets everything up, builds, and runs the program. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
if [ "$#" -eq 0 ]; then
  set -- info
fi
exec build/bin/quillbank-cli "$@"
