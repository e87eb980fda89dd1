#!/usr/bin/env bash
# Runs the tests of the code that works on several threads (compressing,
# extracting and verifying on every core) under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tsan
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# The time zone pinned as the programs pin it first thing: without TZ, every
# time conversion (libzip makes one per entry as it opens an archive) reads
# the zone anew under a lock of the C library that the sanitizer cannot see.
export TZ=:/etc/localtime
build-tsan/bin/engine_tests --gtest_brief=1 \
  --gtest_filter='ArchiveReaders.*:DeflatePieces.*:WriterThread.*:ParallelDeflateTest.*:ParallelRun.*:ArchiveTest.*:ArchiveFile.*:PiecedEntryTest.*:InteropTest.*:Tools/*:BackupRun*:BackupTaskTest.*:RestoreRun*'
