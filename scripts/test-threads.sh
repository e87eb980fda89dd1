#!/usr/bin/env bash
# Runs the tests of the code that works on several threads (compressing,
# extracting and verifying on every core) under ThreadSanitizer, in two
# halves side by side: much of a test's time is spent on one thread.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tsan
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# The time zone pinned as the programs pin it first thing: without TZ, every
# time conversion (libzip makes one per entry as it opens an archive) reads
# the zone anew under a lock of the C library that the sanitizer cannot see.
export TZ=:/etc/localtime
export GTEST_TOTAL_SHARDS=2
for half in 0 1; do
  GTEST_SHARD_INDEX=$half build-tsan/bin/engine_tests --gtest_brief=1 \
    --gtest_filter='ArchiveReaders.*:DeflatePieces.*:WriterThread.*:ParallelDeflateTest.*:ParallelRun.*:ArchiveTest.*:ArchiveFile.*:PiecedEntryTest.*:InteropTest.*:Tools/*:BackupRun*:BackupTaskTest.*:RestoreRun*' \
    >"build-tsan/threads-$half.log" 2>&1 &
done
failed=0
for half in 0 1; do
  wait -n || failed=1
done
cat build-tsan/threads-0.log build-tsan/threads-1.log
exit "$failed"
