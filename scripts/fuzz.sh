#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, ASan, UBSan)
# and runs each for SECONDS (default 60) in a process of its own, as many at
# once as the machine has cores. Usage: scripts/fuzz.sh [SECONDS] [TARGET...];
# the targets are the folder names below fuzz/corpus/, all of them by default.
#
# Each target starts from its committed seeds (fuzz/corpus/<target>/, never
# written to) and the inputs earlier runs found (build-fuzz/corpus/<target>/).
# A crash, leak, sanitizer report or fuzz finding is saved in
# build-fuzz/findings/<target>/ and makes the script fail. Every target's CPU
# time and execution count are printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(find fuzz/corpus -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort)
fi

# Full stacks on every allocation, so the one leak of Debian's libzip that no
# caller can avoid is matched by its function and no other leak is hidden.
export ASAN_OPTIONS="fast_unwind_on_malloc=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan-suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The targets write and remove files on every input: in memory, where the
# machine has a memory file system, the work is the code's and not the disk's.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi

# Runs one target; its status, CPU time and execution count are left in
# build-fuzz/fuzz-TARGET.result for the summary.
fuzz_one() {
  local target=$1
  local work="build-fuzz/corpus/$target" findings="build-fuzz/findings/$target" log="build-fuzz/fuzz-$target.log"
  mkdir -p "$work" "$findings"
  local status=0
  /usr/bin/time -f '%U %S' -o "build-fuzz/fuzz-$target.time" \
    "build-fuzz/bin/fuzz_$target" "$work" "fuzz/corpus/$target" \
    -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  # The last line holds the times; a failed run's file starts with its status.
  local cpu runs
  cpu=$(tail -n 1 "build-fuzz/fuzz-$target.time" | awk '{ printf "%.0f", $1 + $2 }')
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$status ${cpu:-?} ${runs:-?}" >"build-fuzz/fuzz-$target.result"
}

cores=$(nproc)
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$cores" ]; do
    wait -n || true
  done
  echo "fuzz: $target for ${seconds}s"
  fuzz_one "$target" &
done
wait

failed=0
for target in "${targets[@]}"; do
  read -r status cpu runs <"build-fuzz/fuzz-$target.result"
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "$target: FAILED after ${cpu}s CPU, $runs runs (see build-fuzz/fuzz-$target.log and build-fuzz/findings/$target/)"
    tail -n 40 "build-fuzz/fuzz-$target.log"
  else
    echo "$target: ${cpu}s CPU, $runs runs, nothing found"
  fi
done
exit "$failed"
