#!/usr/bin/env bash
# Times quillbank-cli against the usual ZIP tools on a generated profile-like
# folder, in one run and alternating, and prints a Markdown report.
#
# Usage: bench/run.sh [small|full] [OPTIONS]
#
#   small|full          the corpus preset (default: small, about 100 MB; full is
#                       about 2.5 GB with one mbox over 1 GiB)
#   --runs N            timed runs of every command (default: 3 for small, 1 for full)
#   --backup LIST       the backup commands, comma-separated, from
#                       quillbank,quillbank-aes,zip,7z,bsdtar (default: all)
#   --restore LIST      the restore commands, from quillbank,quillbank-aes,unzip,
#                       7z,bsdtar,quillbank-over,quillbank-over-norollback
#                       (default: all); each extracts quillbank-cli's plain
#                       archive (quillbank-aes its AES one), the last two
#                       into a copy of the corpus (a profile that already holds
#                       everything), with and without the rollback archive
#   --no-build          use build/bin/quillbank-cli as it is
#   --keep              keep the last round's restored folders (restore-PRESET-TOOL)
#
# The corpus is generated once per preset under the work folder and reused
# while bench/generate_corpus.py is unchanged. The work folder is
# $QUILLBANK_BENCH_DIR, else build/bench; it needs about 6 times the corpus
# size free (the corpus, five archives, a restored copy). The report is
# printed and kept as results-PRESET.md there, beside runs-PRESET.csv.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

preset=small
runs=
backup_tools=quillbank,quillbank-aes,zip,7z,bsdtar
restore_tools=quillbank,quillbank-aes,unzip,7z,bsdtar,quillbank-over,quillbank-over-norollback
build=1
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    small | full) preset=$1 ;;
    --runs) runs=$2; shift ;;
    --backup) backup_tools=$2; shift ;;
    --restore) restore_tools=$2; shift ;;
    --no-build) build=0 ;;
    --keep) keep=1 ;;
    -h | --help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown argument \"$1\" (see --help)" >&2; exit 2 ;;
  esac
  shift
done
if [ -z "$runs" ]; then
  if [ "$preset" = full ]; then runs=1; else runs=3; fi
fi
IFS=, read -r -a backups <<<"$backup_tools"
IFS=, read -r -a restores <<<"$restore_tools"

work=${QUILLBANK_BENCH_DIR:-$repo/build/bench}
mkdir -p "$work"
work=$(cd "$work" && pwd)
corpus=$work/corpus-$preset
archives=$work/archives-$preset
csv=$work/runs-$preset.csv
meta=$work/meta-$preset.txt
report=$work/results-$preset.md
cli=$repo/build/bin/quillbank-cli
password_file=$work/password.txt
log=$work/command.log
# Where the restores into a full profile keep their rollback archives.
state=$work/state
started=$(date +%s)

say() { echo "run.sh: $*" >&2; }
now() { date +%s; }
note() { echo "$1=$2" >>"$meta"; }

for tool in /usr/bin/time zip unzip 7z bsdtar python3; do
  command -v "$tool" >/dev/null || { say "$tool is missing: run scripts/install-deps.sh"; exit 1; }
done

# --- build --------------------------------------------------------------------
phase=$(now)
if [ "$build" = 1 ]; then
  say "building (scripts/build.sh default)"
  scripts/build.sh default >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; exit 1; }
fi
[ -x "$cli" ] || { say "$cli is missing"; exit 1; }
build_seconds=$(($(now) - phase))

# --- corpus -------------------------------------------------------------------
phase=$(now)
stamp="$(sha256sum bench/generate_corpus.py | cut -d' ' -f1) $preset $corpus"
generated=0
if [ ! -d "$corpus" ] || [ "$(cat "$work/corpus-$preset.stamp" 2>/dev/null)" != "$stamp" ]; then
  say "generating the $preset corpus into $corpus"
  rm -f "$work/corpus-$preset.stamp"
  python3 bench/generate_corpus.py --preset "$preset" --output "$corpus" --force >&2
  echo "$stamp" >"$work/corpus-$preset.stamp"
  generated=1
else
  say "reusing the $preset corpus in $corpus"
fi
corpus_seconds=$(($(now) - phase))
corpus_bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{s += $1} END {printf "%.0f\n", s}')

# Warm page cache: every tool reads the corpus from memory, as in a second run.
phase=$(now)
find "$corpus" -type f -print0 | xargs -0 cat >/dev/null
warm_seconds=$(($(now) - phase))

: >"$meta"
note preset "$preset"
note runs "$runs"
note corpus "$corpus"
note corpus_generated "$generated"
note nproc "$(nproc)"
note cpu "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
note cpu_mhz "$(grep -m1 'cpu MHz' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
note memory_kib "$(awk '/MemTotal/ {print $2}' /proc/meminfo)"
note os "$(sed -n 's/^PRETTY_NAME=//p' /etc/os-release | tr -d '"')"
note kernel "$(uname -r)"
note filesystem "$(findmnt -no FSTYPE,SOURCE -T "$work" | head -1 | tr -s ' ')"
device=$(basename "$(findmnt -no SOURCE -T "$work" | head -1)")
note rotational "$(cat "/sys/block/$device/queue/rotational" 2>/dev/null || echo unknown)"
note disk_size "$(df -h --output=size "$work" | tail -1 | tr -d ' ')"
note quillbank "$("$cli" --version | head -1)"
for package in zip unzip p7zip-full libarchive-tools; do
  note "version_$package" "$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || echo unknown)"
done

printf 'bench-password\n' >"$password_file"
rm -rf "$archives" "$work"/failed-*.log
mkdir -p "$archives"
echo "phase,tool,run,wall_s,peak_rss_kib,user_s,sys_s,archive_bytes" >"$csv"

# --- the commands ---------------------------------------------------------------
backup_command() { # TOOL OUTPUT
  case "$1" in
    quillbank) echo "$cli" backup --profile-dir "$corpus" --app thunderbird --output "$2" --level 9 --quiet --force ;;
    quillbank-aes) echo "$cli" backup --profile-dir "$corpus" --app thunderbird --output "$2" --level 9 \
      --encryption aes256 --password-file "$password_file" --quiet --force ;;
    zip) echo env -C "$corpus" zip -r -9 -q "$2" . ;;
    7z) echo env -C "$corpus" 7z a -tzip -mx=5 -mmt=2 -bd -bso0 -bsp0 "$2" . ;;
    bsdtar) echo env -C "$corpus" bsdtar --format zip -cf "$2" . ;;
    *) say "unknown backup command \"$1\""; exit 2 ;;
  esac
}
archive_of() {
  case "$1" in
    quillbank | quillbank-aes) echo "$archives/$1.qkz" ;;
    *) echo "$archives/$1.zip" ;;
  esac
}
restore_command() { # TOOL ARCHIVE DESTINATION
  case "$1" in
    quillbank) echo "$cli" restore --archive "$2" --profile-dir "$3" --force --quiet ;;
    quillbank-aes) echo "$cli" restore --archive "$2" --profile-dir "$3" --force --quiet \
      --password-file "$password_file" ;;
    quillbank-over) echo env "XDG_STATE_HOME=$state" "$cli" restore --archive "$2" --profile-dir "$3" --force --quiet ;;
    quillbank-over-norollback) echo "$cli" restore --archive "$2" --profile-dir "$3" --force --quiet --no-rollback ;;
    unzip) echo unzip -q "$2" -d "$3" ;;
    7z) echo 7z x -bd -bso0 -bsp0 "-o$3" "$2" ;;
    bsdtar) echo bsdtar -xf "$2" -C "$3" ;;
    *) say "unknown restore command \"$1\""; exit 2 ;;
  esac
}

# Runs one command under /usr/bin/time and appends its line to the CSV.
# The paths hold no spaces or quotes, so the command is passed as words.
timed() { # PHASE TOOL RUN ARCHIVE COMMAND...
  local phase=$1 tool=$2 run=$3 archive=$4
  shift 4
  sync
  if ! /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" </dev/null >"$log" 2>&1; then
    say "$phase with $tool failed: $*"
    cat "$log" "$work/time.txt" >&2
    exit 1
  fi
  local wall rss user sys size=
  read -r wall rss user sys <"$work/time.txt"
  [ -n "$archive" ] && size=$(stat -c %s "$archive")
  echo "$phase,$tool,$run,$wall,$rss,$user,$sys,$size" >>"$csv"
  say "  $phase $tool run $run: ${wall} s"
}

rotated() { # OFFSET ITEMS... : the items, starting at OFFSET modulo their count
  local offset=$1
  shift
  local items=("$@") i
  for ((i = 0; i < ${#items[@]}; i++)); do
    echo "${items[$(((i + offset) % ${#items[@]}))]}"
  done
}

case "$corpus$archives$work" in
  *[[:space:]\'\"]*) say "the work folder's path must hold no spaces or quotes: $work"; exit 1 ;;
esac
if ! printf '%s\n' "${backups[@]}" | grep -qx quillbank && [ ${#restores[@]} -gt 0 ]; then
  say "the restores extract quillbank-cli's archive: keep quillbank among the backups"
  exit 2
fi
if printf '%s\n' "${restores[@]}" | grep -qx quillbank-aes && ! printf '%s\n' "${backups[@]}" | grep -qx quillbank-aes; then
  say "the restore quillbank-aes extracts the AES archive: keep quillbank-aes among the backups"
  exit 2
fi

# An ext4 file system without a journal (as here) does not hand out again,
# for 60 s, the inode numbers of files deleted: a folder of 100,000 files
# removed just before a restore makes every file it creates search past them
# (seconds of system time, whatever the program). Every restore therefore
# starts at least that long after the last folder of restored files went.
deleted_at=0
removed() { # FOLDER... : removes them and notes when
  local folder
  for folder in "$@"; do
    [ -e "$folder" ] || continue
    rm -rf "$folder"
    deleted_at=$(now)
  done
}
settle() {
  local wait=$((deleted_at + 61 - $(now)))
  [ "$wait" -gt 0 ] && sleep "$wait"
  return 0
}

# --- timed runs -----------------------------------------------------------------
phase=$(now)
compare_seconds=0
for ((run = 1; run <= runs; run++)); do
  say "round $run of $runs: backups"
  while read -r tool; do
    out=$(archive_of "$tool")
    rm -f "$out"
    # shellcheck disable=SC2046 # the command's words
    timed backup "$tool" "$run" "$out" $(backup_command "$tool" "$out")
  done < <(rotated $((run - 1)) "${backups[@]}")
  say "round $run of $runs: restores"
  while read -r tool; do
    destination=$work/restore-$preset-$tool
    removed "$destination" "$state"
    mkdir -p "$destination"
    # A profile that already holds everything (copied untimed).
    case "$tool" in quillbank-over*) cp -a "$corpus/." "$destination/" ;; esac
    source_tool=quillbank
    [ "$tool" = quillbank-aes ] && source_tool=quillbank-aes
    settle
    # shellcheck disable=SC2046
    timed restore "$tool" "$run" "" $(restore_command "$tool" "$(archive_of $source_tool)" "$destination")
    # The last round's copy is compared with the corpus (not timed); none is
    # left lying to crowd the page cache of the next command.
    if [ "$run" = "$runs" ]; then
      compare_started=$(now)
      python3 bench/report.py compare "$corpus" "$destination" "$tool" >>"$meta"
      compare_seconds=$((compare_seconds + $(now) - compare_started))
    fi
    if [ "$run" != "$runs" ] || [ "$keep" = 0 ]; then removed "$destination"; fi
    removed "$state"
  done < <(rotated $((run - 1)) "${restores[@]}")
done
timed_seconds=$(($(now) - phase - compare_seconds))

# --- checks (not timed) ---------------------------------------------------------
phase=$(now)
say "checking the archives"
check() { # NAME COMMAND...
  local name=$1
  shift
  if "$@" </dev/null >"$log" 2>&1; then
    note "check_$name" passed
  else
    cp "$log" "$work/failed-$name.log"
    note "check_$name" "FAILED (see $work/failed-$name.log)"
  fi
}
for tool in "${backups[@]}"; do
  case "$tool" in
    quillbank)
      check verify_quillbank "$cli" verify "$(archive_of quillbank)" --quiet
      check 7zt_quillbank 7z t -bd "$(archive_of quillbank)" ;;
    quillbank-aes)
      check verify_quillbank-aes "$cli" verify "$(archive_of quillbank-aes)" --password-file "$password_file" --quiet
      check 7zt_quillbank-aes 7z t -bd -pbench-password "$(archive_of quillbank-aes)" ;;
  esac
done
say "measuring how often a backup and an extraction let the window process its events"
"$repo/build/bin/quillbank-event-gaps" "$corpus" "$work" >"$work/event-gaps-$preset.csv" 2>"$log" ||
  { say "quillbank-event-gaps failed"; cat "$log" >&2; exit 1; }
note event_gaps "$work/event-gaps-$preset.csv"
contents_args=()
for tool in "${backups[@]}"; do contents_args+=("$tool=$(archive_of "$tool")"); done
python3 bench/report.py contents "$corpus" "${contents_args[@]}" >>"$meta"
check_seconds=$(($(now) - phase + compare_seconds))

note build_seconds "$build_seconds"
note corpus_seconds "$corpus_seconds"
note warm_seconds "$warm_seconds"
note timed_seconds "$timed_seconds"
note check_seconds "$check_seconds"
note total_seconds "$(($(now) - started))"
note corpus_bytes "$corpus_bytes"
note corpus_files "$(find "$corpus" -type f | wc -l)"
note corpus_dirs "$(find "$corpus" -mindepth 1 -type d | wc -l)"
largest=$(find "$corpus" -type f -printf '%s %P\n' | sort -n | tail -1)
note largest_bytes "${largest%% *}"
note largest_name "${largest#* }"

python3 bench/report.py table "$csv" "$meta" | tee "$report"
say "report: $report (runs: $csv)"
