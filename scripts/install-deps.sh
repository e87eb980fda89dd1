#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillbank needs.
# Idempotent: packages already present are left alone and the package index is
# refreshed at most once per run, and only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # libraries of the program
  qt6-base-dev libzip-dev libdeflate-dev nettle-dev zlib1g-dev libjpeg62-turbo-dev liblz4-dev
  libicu-dev # case folding of profile names in every script
  # tests
  libgtest-dev libgmock-dev
  # the real applications, peers of the integration tests
  firefox-esr thunderbird
  # other ZIP tools, peers of the archive interoperability tests
  unzip zip p7zip-full libarchive-tools python3
  # a display server for the wizard's screenshots
  xvfb xauth
  desktop-file-utils # validates the installed desktop file
  groff-base # renders the manual pages in their tests
  shared-mime-info # reads the installed type of backup files
  appstream # validates the installed AppStream metadata
  time # /usr/bin/time: the benchmark's wall time and peak memory (bench/run.sh)
  # the fuzz targets: clang with libFuzzer and the sanitizer run-time (scripts/fuzz.sh)
  clang-14 libclang-rt-14-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for pkg in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
