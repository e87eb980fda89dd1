#!/usr/bin/env python3
"""The benchmark's checks and its Markdown report; bench/run.sh calls it.

  report.py contents CORPUS TOOL=ARCHIVE...   what each archive holds, against the corpus
  report.py compare CORPUS RESTORED TOOL      a restored folder, against the corpus
  report.py table RUNS.csv META.txt           the Markdown report

The first two print KEY=VALUE lines for META.txt.
"""

import csv
import os
import statistics
import sys
import zipfile

MB = 1_000_000

BACKUP_LABELS = {
    "quillbank": "`quillbank-cli backup --level 9`",
    "quillbank-aes": "`quillbank-cli backup --level 9 --encryption aes256`",
    "zip": "`zip -r -9`",
    "7z": "`7z a -tzip -mx=5 -mmt=2`",
    "bsdtar": "`bsdtar --format zip` (its default level)",
}
RESTORE_LABELS = {
    "quillbank": "`quillbank-cli restore`",
    "quillbank-aes": "`quillbank-cli restore` of the AES-256 archive",
    "quillbank-over": "`quillbank-cli restore` into a full profile",
    "quillbank-over-norollback": "`quillbank-cli restore --no-rollback` into a full profile",
    "unzip": "`unzip`",
    "7z": "`7z x`",
    "bsdtar": "`bsdtar -x`",
}


def corpus_files(root):
    files = {}
    for dirpath, _, names in os.walk(root):
        for name in names:
            path = os.path.join(dirpath, name)
            files[os.path.relpath(path, root)] = os.path.getsize(path)
    return files


def listing(names, limit=5):
    names = sorted(names)
    text = ", ".join(names[:limit])
    return text + (f" and {len(names) - limit} more" if len(names) > limit else "")


def contents(corpus, pairs):
    expected = corpus_files(corpus)
    for pair in pairs:
        tool, path = pair.split("=", 1)
        with zipfile.ZipFile(path) as archive:
            held = {}
            for info in archive.infolist():
                name = info.filename.removeprefix("./")
                if name and not name.endswith("/"):
                    held[name] = info.file_size
        missing = expected.keys() - held.keys()
        extra = held.keys() - expected.keys()
        wrong = [n for n in expected.keys() & held.keys() if expected[n] != held[n]]
        text = f"{len(expected.keys() & held.keys()):,} of the corpus's {len(expected):,} files, " \
               f"{sum(held[n] for n in expected.keys() & held.keys()):,} bytes"
        if missing:
            text += f"; MISSING {len(missing)}: {listing(missing)}"
        if wrong:
            text += f"; WRONG SIZE {len(wrong)}: {listing(wrong)}"
        if extra:
            text += f"; besides: {listing(extra)}"
        print(f"contents_{tool}={text}")


def same_content(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        while True:
            ca, cb = fa.read(1 << 20), fb.read(1 << 20)
            if ca != cb:
                return False
            if not ca:
                return True


def compare(corpus, restored, tool):
    expected = corpus_files(corpus)
    found = corpus_files(restored)
    missing = expected.keys() - found.keys()
    extra = found.keys() - expected.keys()
    differ = [n for n in sorted(expected.keys() & found.keys())
              if expected[n] != found[n] or not same_content(os.path.join(corpus, n), os.path.join(restored, n))]
    same = len(expected.keys() & found.keys()) - len(differ)
    text = f"{same:,} of the corpus's {len(expected):,} files byte for byte"
    if differ:
        text += f"; differ: {listing(differ)}"
    if missing:
        text += f"; MISSING {len(missing)}: {listing(missing)}"
    if extra:
        text += f"; besides: {listing(extra)}"
    print(f"restore_{tool}={text}")


def seconds(value):
    return f"{value:.2f} s" if value < 100 else f"{value:.0f} s"


def megabytes(value):
    return f"{value / MB:.1f} MB" if value < 10 * MB else f"{value / MB:.0f} MB"


def table(csv_path, meta_path):
    meta = {}
    with open(meta_path) as f:
        for line in f:
            if "=" in line:
                key, value = line.rstrip("\n").split("=", 1)
                meta[key] = value
    rows = {}
    with open(csv_path) as f:
        for row in csv.DictReader(f):
            rows.setdefault((row["phase"], row["tool"]), []).append(row)

    def stats(phase, tool):
        runs = rows[(phase, tool)]
        walls = [float(r["wall_s"]) for r in runs]
        cpus = [float(r["user_s"]) + float(r["sys_s"]) for r in runs]
        return {"median": statistics.median(walls), "min": min(walls), "max": max(walls),
                "cpu": statistics.median(cpus),
                "cores": statistics.median(c / w for c, w in zip(cpus, walls)), "rss": max(int(r["peak_rss_kib"]) for r in runs) * 1024,
                "size": int(runs[-1]["archive_bytes"] or 0), "runs": len(runs)}

    input_bytes = int(meta["corpus_bytes"])
    out = []
    p = out.append
    p(f"## {meta['preset']} preset")
    p("")
    p(f"Corpus: {int(meta['corpus_files']):,} files in {int(meta['corpus_dirs']):,} folders, "
      f"{input_bytes / MB:.1f} MB; the largest file is {meta['largest_name']} "
      f"({int(meta['largest_bytes']) / MB:.1f} MB). Warm page cache; every command ran "
      f"{'once' if meta['runs'] == '1' else meta['runs'] + ' times'}, the commands alternating "
      "within each round (each round starting one command later).")
    p("")
    p(f"Machine: {meta['nproc']} × {meta['cpu']} ({float(meta['cpu_mhz']):.0f} MHz), "
      f"{int(meta['memory_kib']) / 1024 / 1024:.1f} GiB of memory, {meta['os']}, kernel {meta['kernel']}, "
      f"{meta['filesystem']} ({meta['disk_size']}; the kernel reports the disk "
      f"{'rotational' if meta['rotational'] == '1' else 'non-rotational' if meta['rotational'] == '0' else 'of no known kind'}"
      ").")
    p("")
    p(f"Versions: {meta['quillbank']}; zip {meta['version_zip']}, unzip {meta['version_unzip']}, "
      f"p7zip-full {meta['version_p7zip-full']}, libarchive-tools {meta['version_libarchive-tools']} "
      "(Debian packages).")
    p("")

    backups = [tool for (phase, tool) in rows if phase == "backup"]
    restores = [tool for (phase, tool) in rows if phase == "restore"]
    if backups:
        reference = stats("backup", "zip") if ("backup", "zip") in rows else None
        p("### Backup")
        p("")
        p("| command | wall, median | min–max | CPU (user+sys) | cores used | throughput | speed vs zip -9 "
          "| archive | archive / input | size vs zip -9 | peak RSS |")
        p("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
        for tool in backups:
            s = stats("backup", tool)
            speed = f"{reference['median'] / s['median']:.2f}×" if reference else "–"
            size = f"{s['size'] / reference['size']:.3f}" if reference else "–"
            p(f"| {BACKUP_LABELS.get(tool, tool)} | {seconds(s['median'])} | "
              f"{s['min']:.2f}–{s['max']:.2f} s | {seconds(s['cpu'])} | {s['cores']:.2f} | "
              f"{input_bytes / MB / s['median']:.1f} MB/s | {speed} | {megabytes(s['size'])} | "
              f"{s['size'] / input_bytes:.3f} | {size} | {megabytes(s['rss'])} |")
        p("")
    if restores:
        reference = stats("restore", "unzip") if ("restore", "unzip") in rows else None
        p("### Restore (every command extracts `quillbank-cli backup`'s archive into an empty folder)")
        p("")
        p("| command | wall, median | min–max | CPU (user+sys) | cores used | throughput | speed vs unzip "
          "| peak RSS |")
        p("|---|---:|---:|---:|---:|---:|---:|---:|")
        for tool in restores:
            s = stats("restore", tool)
            speed = f"{reference['median'] / s['median']:.2f}×" if reference else "–"
            p(f"| {RESTORE_LABELS.get(tool, tool)} | {seconds(s['median'])} | "
              f"{s['min']:.2f}–{s['max']:.2f} s | {seconds(s['cpu'])} | {s['cores']:.2f} | "
              f"{input_bytes / MB / s['median']:.1f} MB/s | {speed} | {megabytes(s['rss'])} |")
        p("")
    goals(rows, meta, p)
    p("Throughput is the corpus's size over the median wall time (MB = 10^6 bytes); CPU is the "
      "median of user plus system time; peak RSS is the largest of the runs.")
    p("")
    if "event_gaps" in meta and os.path.exists(meta["event_gaps"]):
        p("### Responsiveness")
        p("")
        p("`build/bin/quillbank-event-gaps` lists every file of the profile as a backup collects "
          "them, then runs a backup (level 9, with its read-back check) and an extraction of the "
          "whole archive the way the wizard runs them, with a user interface that records the time "
          "between two turns of the window's event loop.")
        p("")
        p("| run | wall | files | turns of the event loop | median gap | 99th percentile | longest gap |")
        p("|---|---:|---:|---:|---:|---:|---:|")
        with open(meta["event_gaps"]) as f:
            for row in csv.DictReader(f):
                files = f"{int(row['files']):,}" if row['files'] != "0" else "–"
                p(f"| {row['phase']} | {float(row['seconds']):.2f} s | {files} | {int(row['event_calls']):,} | "
                  f"{row['median_gap_ms']} ms | {row['p99_gap_ms']} ms | {row['longest_gap_ms']} ms |")
        p("")
    p("### Checks")
    p("")
    for key, value in meta.items():
        if key.startswith("check_verify_"):
            p(f"- `quillbank-cli verify` on {key.removeprefix('check_verify_')}'s archive: {value}")
        elif key.startswith("check_7zt_"):
            p(f"- `7z t` on {key.removeprefix('check_7zt_')}'s archive: {value}")
    for key, value in meta.items():
        if key.startswith("contents_"):
            p(f"- {BACKUP_LABELS.get(key.removeprefix('contents_'), key)}'s archive holds {value}")
    for key, value in meta.items():
        if key.startswith("restore_"):
            p(f"- {RESTORE_LABELS.get(key.removeprefix('restore_'), key)} gave {value}")
    p("")
    p(f"Time taken: build {meta['build_seconds']} s, corpus {meta['corpus_seconds']} s "
      f"({'generated' if meta['corpus_generated'] == '1' else 'reused'}), warming the cache "
      f"{meta['warm_seconds']} s, timed runs {meta['timed_seconds']} s, checks {meta['check_seconds']} s; "
      f"{meta['total_seconds']} s in all.")
    print("\n".join(out))


def goals(rows, meta, p):
    """The performance goals, each as a ratio measured round by round: the median and the spread."""

    def per_round(phase, tool, other_phase, other_tool):
        if (phase, tool) not in rows or (other_phase, other_tool) not in rows:
            return None
        mine = {r["run"]: float(r["wall_s"]) for r in rows[(phase, tool)]}
        theirs = {r["run"]: float(r["wall_s"]) for r in rows[(other_phase, other_tool)]}
        return [mine[run] / theirs[run] for run in mine if run in theirs]

    def cores(phase, tool):
        if (phase, tool) not in rows:
            return None
        return [(float(r["user_s"]) + float(r["sys_s"])) / float(r["wall_s"]) for r in rows[(phase, tool)]]

    def sizes():
        if ("backup", "quillbank") not in rows or ("backup", "zip") not in rows:
            return None
        return [int(rows[("backup", "quillbank")][-1]["archive_bytes"]) /
                int(rows[("backup", "zip")][-1]["archive_bytes"])]

    def memory():
        peaks = [int(r["peak_rss_kib"]) * 1024 / MB for (phase, tool), runs in rows.items()
                 if tool.startswith("quillbank") for r in runs]
        return [max(peaks)] if peaks else None

    def event_gap():
        if "event_gaps" not in meta or not os.path.exists(meta["event_gaps"]):
            return None
        with open(meta["event_gaps"]) as f:
            return [max(float(row["longest_gap_ms"]) for row in csv.DictReader(f))]

    checks = [
        ("backup wall time / `zip -r -9`'s", per_round("backup", "quillbank", "backup", "zip"), "≤", 0.20),
        ("backup archive size / `zip -r -9`'s", sizes(), "≤", 1.0),
        ("restore wall time / `unzip`'s", per_round("restore", "quillbank", "restore", "unzip"), "≤", 0.50),
        ("AES restore wall time / `unzip`'s", per_round("restore", "quillbank-aes", "restore", "unzip"), "≤", 0.50),
        ("cores used over a backup", cores("backup", "quillbank"), "≥", 1.8),
        ("cores used over a restore", cores("restore", "quillbank"), "≥", 1.8),
        ("AES backup / plain backup", per_round("backup", "quillbank-aes", "backup", "quillbank"), "≤", 1.10),
        ("AES restore / plain restore", per_round("restore", "quillbank-aes", "restore", "quillbank"), "≤", 1.10),
        ("peak memory of any run of ours, MB", memory(), "<", 200),
        ("longest wait for the window's events, ms", event_gap(), "≤", 100),
    ]
    p("### Against the goals")
    p("")
    p("Each ratio is taken within a round (the two commands ran side by side), then the median "
      "and the spread over the rounds.")
    p("")
    p("| goal | median | min–max | target | met |")
    p("|---|---:|---:|---:|---|")
    for name, values, relation, target in checks:
        if not values:
            continue
        median = statistics.median(values)
        met = {"≤": median <= target, "≥": median >= target, "<": median < target}[relation]
        digits = 0 if target >= 100 else 3
        p(f"| {name} | {median:.{digits}f} | {min(values):.{digits}f}–{max(values):.{digits}f} | "
          f"{relation} {target} | {'yes' if met else 'no'} |")
    p("")


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "contents":
        contents(sys.argv[2], sys.argv[3:])
    elif len(sys.argv) == 5 and sys.argv[1] == "compare":
        compare(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "table":
        table(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
