#!/usr/bin/env bash
# Installs the built programs the way users get them and runs them from there.
#
#   packaging-test.sh install BUILD_DIR SOURCE_DIR VERSION APP_ID
#       cmake --install into a staging folder (DESTDIR), prefix /usr; then a
#       portable copy of the command-line tool beside its own working files.
#   packaging-test.sh deb BUILD_DIR SOURCE_DIR VERSION APP_ID
#       cpack -G DEB, the package's control data, then the package unpacked
#       into a scratch root.
#
# In both, the programs run against a fake home and must find their working
# files in share/quillbank/ and keep the settings in the fake home.
set -euo pipefail

mode=$1
build=$2
source=$3
version=$4
app_id=$5

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quillbank-packaging-XXXXXX")
wizard_pid=
cleanup() {
  if [ -n "$wizard_pid" ]; then
    kill "$wizard_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

need_tool() {
  command -v "$1" >/dev/null || fail "$1 is not installed (scripts/install-deps.sh installs it)"
}

# A fresh fake home for each run: nothing of the real user's is read or written.
new_home() {
  local home="$scratch/$1"
  mkdir -p "$home"
  echo "$home"
}

run_in_home() {
  local home=$1
  shift
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME -u QUILLBANK_REGISTRY HOME="$home" "$@"
}

expect_file() {
  [ -f "$1" ] || fail "missing: $1"
}

expect_same() {
  cmp -s "$1" "$2" || fail "$2 differs from $1"
}

# Everything "cmake --install" puts below the prefix, in the folder $1.
check_layout() {
  local usr=$1
  local share="$usr/share"
  for program in quillbank quillbank-cli; do
    [ -x "$usr/bin/$program" ] || fail "$program is not installed in bin/"
  done
  for file in Default.lng Profilefiles.txt; do
    expect_file "$share/quillbank/$file"
    expect_same "$source/data/$file" "$share/quillbank/$file"
  done
  # Each user has their own settings file; none is shared.
  [ ! -e "$share/quillbank/Backup.ini" ] || fail "a shared Backup.ini is installed"
  expect_same "$source/data/Backup.ini" "$share/doc/quillbank/examples/Backup.ini"

  local desktop="$share/applications/$app_id.desktop"
  local metainfo="$share/metainfo/$app_id.metainfo.xml"
  expect_file "$desktop"
  expect_file "$metainfo"
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -qx "Exec=quillbank" "$desktop" || fail "the desktop file does not start quillbank"
  local icon
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  expect_file "$share/icons/hicolor/scalable/apps/$icon.svg"
  expect_file "$share/icons/hicolor/64x64/apps/$icon.png"
  expect_same "$source/app/resources/quillbank.png" "$share/icons/hicolor/64x64/apps/$icon.png"

  expect_file "$source/docs/quillbank.1"
  for page in "$source"/docs/*.1; do
    local installed="$share/man/man1/$(basename "$page").gz"
    expect_file "$installed"
    zcat "$installed" | cmp -s "$page" - || fail "$installed is not $page"
    # groff comes with man; without it the pages cannot be read here anyway.
    if command -v groff >/dev/null; then
      local warnings
      warnings=$(zcat "$installed" | groff -man -ww -z -Tutf8 2>&1)
      [ -z "$warnings" ] || fail "$page does not render cleanly: $warnings"
    fi
  done
}

# Runs both programs from the folder $1 (holding bin/ and share/).
check_programs() {
  local usr=$1
  local cli="$usr/bin/quillbank-cli"

  local home output
  home=$(new_home home-cli)
  output=$(run_in_home "$home" "$cli" --version) || fail "quillbank-cli --version failed"
  [ "$output" = "quillbank-cli $version" ] || fail "quillbank-cli --version says: $output"

  output=$(run_in_home "$home" "$cli" info) || fail "quillbank-cli info failed: $output"
  grep -qF "$usr/share/quillbank" <<<"$output" || fail "quillbank-cli info uses another program folder: $output"
  grep -qF "$home/.config/Quillbank/Backup.ini" <<<"$output" ||
    fail "quillbank-cli info names another settings file: $output"
  expect_file "$home/.config/Quillbank/Backup.ini"
  [ ! -s "$home/.config/Quillbank/Backup.ini" ] || fail "the new Backup.ini is not empty"
  check_nothing_written_below "$usr"

  # The wizard starts, stays up, and makes the user's settings file on the way.
  home=$(new_home home-wizard)
  # Started without the shell function, so that $! is the wizard itself
  # (env replaces itself with the program) and kill reaches it.
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_STATE_HOME -u QUILLBANK_REGISTRY HOME="$home" \
    QT_QPA_PLATFORM=offscreen "$usr/bin/quillbank" >"$scratch/wizard.log" 2>&1 &
  wizard_pid=$!
  local settings="$home/.config/Quillbank/Backup.ini"
  for _ in $(seq 100); do
    [ -e "$settings" ] && break
    kill -0 "$wizard_pid" 2>/dev/null || break
    sleep 0.1
  done
  sleep 1
  if ! kill -0 "$wizard_pid" 2>/dev/null; then
    wait "$wizard_pid" || true
    wizard_pid=
    fail "the wizard ended at once: $(cat "$scratch/wizard.log")"
  fi
  kill "$wizard_pid"
  wait "$wizard_pid" 2>/dev/null || true
  wizard_pid=
  expect_file "$settings"
  check_nothing_written_below "$usr"
}

check_nothing_written_below() {
  local written
  written=$(find "$1" -iname 'Backup.ini' -not -path '*/share/doc/*')
  [ -z "$written" ] || fail "settings were written into the installation: $written"
}

# A copy of the command-line tool beside its own working files keeps to them.
check_portable_copy() {
  local usr=$1
  local portable="$scratch/portable"
  mkdir -p "$portable"
  cp "$usr/bin/quillbank-cli" "$source/data/Default.lng" "$source/data/Profilefiles.txt" "$portable/"
  printf '[General]\r\nfileformat=portable.qkz\r\n' >"$portable/Backup.ini"
  local home output
  home=$(new_home home-portable)
  output=$(run_in_home "$home" "$portable/quillbank-cli" info) || fail "the portable quillbank-cli info failed"
  grep -qF "$portable/Backup.ini" <<<"$output" || fail "the portable copy uses other settings: $output"
  grep -qF "portable.qkz" <<<"$output" || fail "the portable copy does not read its Backup.ini: $output"
  [ ! -e "$home/.config/Quillbank/Backup.ini" ] || fail "the portable copy made a settings file in the home"
}

case "$mode" in
install)
  need_tool desktop-file-validate
  need_tool appstreamcli
  stage="$scratch/stage"
  DESTDIR="$stage" "${CMAKE:-cmake}" --install "$build" --prefix /usr >"$scratch/install.log" ||
    fail "cmake --install failed: $(cat "$scratch/install.log")"
  check_layout "$stage/usr"
  check_programs "$stage/usr"
  check_portable_copy "$stage/usr"
  ;;
deb)
  need_tool desktop-file-validate
  need_tool appstreamcli
  need_tool dpkg-shlibdeps
  "${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$scratch/cpack.log")"
  debs=("$scratch"/package/*.deb)
  [ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb: ${debs[*]}"
  deb=${debs[0]}
  [ "$(basename "$deb")" = "quillbank_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected package name $(basename "$deb")"

  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = quillbank ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
  [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ -n "$(field Description)" ] || fail "no Description"
  long=$(field Description | awk 'length > 80')
  [ -z "$long" ] || fail "Description lines longer than 80 characters: $long"
  depends=$(field Depends)
  # The package names alone, one a line.
  depended=$(sed -e 's/([^)]*)//g' -e 's/[,|]/\n/g' <<<"$depends" | tr -d ' ')
  for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libzip4 libjpeg62-turbo; do
    grep -qxF "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
  done
  if grep -qE "firefox|thunderbird" <<<"$depends"; then
    fail "the applications must not be required: $depends"
  fi
  suggests=$(field Suggests)
  grep -q firefox-esr <<<"$suggests" && grep -q thunderbird <<<"$suggests" ||
    fail "Suggests lacks the applications: $suggests"
  outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -vx '\./' || true)
  [ -z "$outside" ] || fail "the package installs outside /usr: $outside"
  if dpkg-deb -c "$deb" | grep -q '\./usr/local/'; then
    fail "the package installs below /usr/local"
  fi

  root="$scratch/root"
  dpkg-deb -x "$deb" "$root"
  for program in quillbank quillbank-cli; do
    if readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info'; then
      fail "$program is not stripped"
    fi
  done
  check_layout "$root/usr"
  check_programs "$root/usr"
  ;;
*)
  fail "unknown mode $mode"
  ;;
esac
echo "packaging-test $mode: passed"
