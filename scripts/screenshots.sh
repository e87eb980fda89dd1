#!/usr/bin/env bash
# Walks the wizard through a backup on an X server of its own (Xvfb) and
# saves a picture of each page in docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
out="$PWD/docs/screenshots"
rm -rf "$out"
mkdir -p "$out"
QT_QPA_PLATFORM=xcb QUILLBANK_SCREENSHOTS="$out" \
  xvfb-run -a -s "-screen 0 1280x800x24" build/bin/app_tform1_tests pagesOfABackup
ls "$out"
