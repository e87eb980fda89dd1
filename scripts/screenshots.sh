#!/usr/bin/env bash
# Walks the wizard through a backup on an X server of its own (Xvfb) and
# saves a picture of each page in docs/screenshots/: at 100% and at 200%
# scale, with a light and with a dark palette (the one a dark desktop gives).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh default
out="$PWD/docs/screenshots"
rm -rf "$out"
for scheme in light dark; do
  for scale in 1 2; do
    folder="$out/$scheme-${scale}00"
    mkdir -p "$folder"
    QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale QUILLBANK_SCREENSHOTS="$folder" \
      QUILLBANK_SCREENSHOTS_PALETTE=$scheme \
      xvfb-run -a -s "-screen 0 1920x1200x24" build/bin/wizard_window_tests pagesOfABackup
  done
done
find "$out" -name '*.png' | sort
