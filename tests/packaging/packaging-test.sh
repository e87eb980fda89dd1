#!/usr/bin/env bash
# Installs the built programs the way users get them and runs them from there.
#
#   packaging-test.sh install BUILD_DIR SOURCE_DIR VERSION APP_ID
#       cmake --install into a staging folder (DESTDIR), prefix /usr; then a
#       portable copy of the command-line tool beside its own working files.
#   packaging-test.sh deb BUILD_DIR SOURCE_DIR VERSION APP_ID
#       cpack -G DEB, the two packages' control data and contents; the
#       command-line tool's package unpacked alone into a scratch root, then
#       both packages into another.
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
  mktemp -d "$scratch/$1-XXXXXX"
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
  for package in quillbank-cli quillbank; do
    expect_same "$source/packaging/copyright" "$share/doc/$package/copyright"
  done
  grep -qF "GNU GENERAL PUBLIC LICENSE" "$source/LICENSE" && grep -qF "Version 3" "$source/LICENSE" ||
    fail "LICENSE is not the GPL version 3"
  # The systemd user units, where the user manager looks for them, and what
  # they run.
  for unit in quillbank-backup@.service quillbank-backup@.timer; do
    expect_same "$source/packaging/systemd/$unit" "$usr/lib/systemd/user/$unit"
  done
  local program
  program=$(sed -n 's/^ExecStart=\([^ ]*\) .*/\1/p' "$usr/lib/systemd/user/quillbank-backup@.service")
  [ -x "$usr/bin/$program" ] || fail "the service runs $program, which is not installed"
  # systemd-analyze reads them as the user manager would; quillbank-cli is
  # not installed where it looks.
  if command -v systemd-analyze >/dev/null; then
    local units="$scratch/units" report
    mkdir -p "$units/runtime" && chmod 700 "$units/runtime"
    cp "$usr/lib/systemd/user/quillbank-backup@.service" "$units/quillbank-backup@check.service"
    cp "$usr/lib/systemd/user/quillbank-backup@.timer" "$units/quillbank-backup@check.timer"
    report=$(cd "$units" && XDG_RUNTIME_DIR="$units/runtime" systemd-analyze verify --user --man=no \
      ./quillbank-backup@check.service ./quillbank-backup@check.timer 2>&1 |
      grep -v "Command quillbank-cli is not executable" || true)
    [ -z "$report" ] || fail "systemd-analyze verify: $report"
  fi
  # Shell completions, where bash-completion, zsh and fish look for them.
  expect_same "$source/packaging/completions/quillbank-cli.bash" "$share/bash-completion/completions/quillbank-cli"
  expect_same "$source/packaging/completions/_quillbank-cli" "$share/zsh/vendor-completions/_quillbank-cli"
  expect_same "$source/packaging/completions/quillbank-cli.fish" "$share/fish/vendor_completions.d/quillbank-cli.fish"
  bash -n "$share/bash-completion/completions/quillbank-cli" || fail "the bash completion does not parse"
  if command -v zsh >/dev/null; then
    zsh -n "$share/zsh/vendor-completions/_quillbank-cli" || fail "the zsh completion does not parse"
  fi
  if command -v fish >/dev/null; then
    fish -n "$share/fish/vendor_completions.d/quillbank-cli.fish" || fail "the fish completion does not parse"
  fi
  # Each user has their own settings file; none is shared.
  [ ! -e "$share/quillbank/Backup.ini" ] || fail "a shared Backup.ini is installed"
  expect_same "$source/data/Backup.ini" "$share/doc/quillbank/examples/Backup.ini"

  local desktop="$share/applications/$app_id.desktop"
  local metainfo="$share/metainfo/$app_id.metainfo.xml"
  expect_file "$desktop"
  expect_file "$metainfo"
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -qF "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" || fail "$metainfo names no licence"
  grep -qF "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release entry for $version"
  grep -qx "Exec=quillbank %f" "$desktop" || fail "the desktop file does not start quillbank with a file"
  local icon
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  expect_file "$share/icons/hicolor/scalable/apps/$icon.svg"
  expect_file "$share/icons/hicolor/64x64/apps/$icon.png"
  expect_same "$source/wizard/resources/quillbank.png" "$share/icons/hicolor/64x64/apps/$icon.png"
  expect_same "$source/wizard/resources/quillbank@2x.png" "$share/icons/hicolor/128x128/apps/$icon.png"

  # Backup files are a type of their own that the wizard opens, with an icon.
  local mime="$share/mime/packages/$app_id.xml"
  expect_file "$mime"
  local type mime_icon
  type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
  grep -qx "MimeType=$type;" "$desktop" || fail "the desktop file does not open $type"
  grep -q '<glob pattern="\*.qkz"/>' "$mime" || fail "$mime does not claim *.qkz"
  mime_icon=$(sed -n 's/.*<icon name="\([^"]*\)".*/\1/p' "$mime")
  expect_file "$share/icons/hicolor/scalable/mimetypes/$mime_icon.svg"
  if command -v update-mime-database >/dev/null; then
    local database
    database=$(mktemp -d)
    mkdir "$database/packages"
    cp "$mime" "$database/packages/"
    update-mime-database "$database" || fail "update-mime-database rejects $mime"
    grep -q "^$type:\*\.qkz$" "$database/globs" || fail "$type is not known by *.qkz"
    rm -rf "$database"
  fi

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

# Runs the command-line tool from the folder $1 (holding bin/ and share/).
check_cli() {
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

  # The installed bash completion asks the installed tool.
  output=$(run_in_home "$home" env PATH="$usr/bin:$PATH" bash -c \
    'source "$1"; COMP_WORDS=(quillbank-cli b); COMP_CWORD=1; _quillbank_cli; echo "${COMPREPLY[*]}"' \
    - "$usr/share/bash-completion/completions/quillbank-cli") || fail "the bash completion failed"
  [ "$output" = "backup" ] || fail "the bash completion offers \"$output\" for \"quillbank-cli b\""
  check_nothing_written_below "$usr"
}

# Runs the wizard from the folder $1 (holding bin/ and share/).
check_wizard() {
  local usr=$1
  local home output
  home=$(new_home home-version)
  output=$(run_in_home "$home" "$usr/bin/quillbank" --version) || fail "quillbank --version failed"
  [ "$output" = "quillbank $version" ] || fail "quillbank --version says: $output"

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

# Runs both programs from the folder $1.
check_programs() {
  check_cli "$1"
  check_wizard "$1"
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
  arch=$(dpkg --print-architecture)
  cli_deb="$scratch/package/quillbank-cli_${version}_$arch.deb"
  wizard_deb="$scratch/package/quillbank_${version}_$arch.deb"
  made=$(cd "$scratch/package" && ls ./*.deb | sort | tr '\n' ' ')
  [ "$made" = "./quillbank-cli_${version}_$arch.deb ./quillbank_${version}_$arch.deb " ] ||
    fail "cpack made other packages: $made"

  # The package names a field of package $1 lists (Depends: "a (>= 1), b | c"), one a line.
  field() { dpkg-deb -f "$1" "$2"; }
  listed() { sed -e 's/([^)]*)//g' -e 's/[,|]/\n/g' <<<"$(field "$1" "$2")" | tr -d ' '; }
  for deb in "$cli_deb" "$wizard_deb"; do
    name=$(basename "$deb")
    [ "$(field "$deb" Package)" = "${name%%_*}" ] || fail "$name: Package: $(field "$deb" Package)"
    [ "$(field "$deb" Version)" = "$version" ] || fail "$name: Version: $(field "$deb" Version)"
    [ "$(field "$deb" Architecture)" = "$arch" ] || fail "$name: Architecture: $(field "$deb" Architecture)"
    [ -n "$(field "$deb" Maintainer)" ] || fail "$name: no Maintainer"
    [ -n "$(field "$deb" Description)" ] || fail "$name: no Description"
    long=$(field "$deb" Description | awk 'length > 80')
    [ -z "$long" ] || fail "$name: Description lines longer than 80 characters: $long"
    if grep -qE "firefox|thunderbird" <<<"$(field "$deb" Depends)"; then
      fail "$name: the applications must not be required: $(field "$deb" Depends)"
    fi
    suggests=$(field "$deb" Suggests)
    grep -q firefox-esr <<<"$suggests" && grep -q thunderbird <<<"$suggests" ||
      fail "$name: Suggests lacks the applications: $suggests"
    outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -vx '\./' || true)
    [ -z "$outside" ] || fail "$name installs outside /usr: $outside"
    if dpkg-deb -c "$deb" | grep -q '\./usr/local/'; then
      fail "$name installs below /usr/local"
    fi
  done

  # The command-line tool: no Qt, no JPEG library; the wizard: them, and the
  # command-line tool of its own version.
  for library in libc6 libstdc++6 libzip4; do
    listed "$cli_deb" Depends | grep -qxF "$library" || fail "quillbank-cli Depends lacks $library"
  done
  if listed "$cli_deb" Depends | grep -qE '^(libqt|libjpeg)'; then
    fail "quillbank-cli depends on Qt or libjpeg: $(field "$cli_deb" Depends)"
  fi
  for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo quillbank-cli; do
    listed "$wizard_deb" Depends | grep -qxF "$library" || fail "quillbank Depends lacks $library"
  done
  grep -qF "quillbank-cli (= $version)" <<<"$(field "$wizard_deb" Depends)" ||
    fail "quillbank does not depend on quillbank-cli $version: $(field "$wizard_deb" Depends)"
  # Which package holds what: each program in its own, the shared files with the tool.
  contents() { dpkg-deb -c "$1" | awk '{print $6}'; }
  for file in ./usr/bin/quillbank-cli ./usr/share/quillbank/Default.lng ./usr/share/quillbank/Profilefiles.txt \
    ./usr/share/man/man1/quillbank-cli.1.gz ./usr/share/doc/quillbank-cli/copyright \
    ./usr/lib/systemd/user/quillbank-backup@.service ./usr/lib/systemd/user/quillbank-backup@.timer \
    ./usr/share/bash-completion/completions/quillbank-cli ./usr/share/zsh/vendor-completions/_quillbank-cli \
    ./usr/share/fish/vendor_completions.d/quillbank-cli.fish; do
    contents "$cli_deb" | grep -qxF "$file" || fail "quillbank-cli lacks $file"
  done
  for file in ./usr/bin/quillbank ./usr/share/man/man1/quillbank.1.gz ./usr/share/doc/quillbank/copyright \
    "./usr/share/applications/$app_id.desktop"; do
    contents "$wizard_deb" | grep -qxF "$file" || fail "quillbank lacks $file"
  done
  shared=$(comm -12 <(contents "$cli_deb" | grep -v '/$' | sort) <(contents "$wizard_deb" | grep -v '/$' | sort))
  [ -z "$shared" ] || fail "both packages hold: $shared"

  # The command-line tool works from its package alone.
  cli_root="$scratch/root-cli"
  dpkg-deb -x "$cli_deb" "$cli_root"
  check_cli "$cli_root/usr"

  root="$scratch/root"
  dpkg-deb -x "$cli_deb" "$root"
  dpkg-deb -x "$wizard_deb" "$root"
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
