#!/usr/bin/env python3
"""Prints the speed and memory table of the batch tool and the interpolation.

usage: bench/table.py [--quick]   (from the repository root, after a build of
                                   depthwright-batch and bench_interpolation)

  --quick   leaves out the interpolation's linear scan (about 4 minutes)

Rows: the interpolation at 100,000 and 500,000 soundings, index against linear scan;
`chart` end to end at 2,000,000 and 10,000,000 soundings of a sonar recording, with the
time and memory of each phase (--timings) and the whole run's peak (/usr/bin/time -v);
`info` of a GPX file of 1,000,000 points and of a 1 GB .sl2 log; the memory each
sounding takes. The inputs are generated once into $DW_BENCH_CACHE (default
~/.cache/depthwright-bench), about 5 GB, and reused while their generator is unchanged.
Build directory: $DW_BUILD (default build/default).
"""
import argparse
import hashlib
import json
import os
import platform
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("DW_BUILD", os.path.join(ROOT, "build", "default"))
TOOL = os.path.join(BUILD, "src", "batch", "depthwright-batch")
INTERP = os.path.join(BUILD, "bench", "bench_interpolation")
CACHE = os.environ.get("DW_BENCH_CACHE") or os.path.join(
    os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "depthwright-bench")


def say(text):
    print(text, file=sys.stderr, flush=True)


def script_hash(name):
    with open(os.path.join(ROOT, "bench", name), "rb") as f:
        return hashlib.sha1(f.read()).hexdigest()[:8]


def cached(name, make):
    """The file `name` in the cache, made by make(path) when missing."""
    path = os.path.join(CACHE, name)
    if not os.path.exists(path):
        os.makedirs(CACHE, exist_ok=True)
        say("making " + path)
        part = path + ".part"
        make(part)
        os.replace(part, path)
    return path


def sl2(pings, echo, shore=None):
    tag = script_hash("make_big_sl2.py")

    def make(path):
        cmd = [sys.executable, os.path.join(ROOT, "bench", "make_big_sl2.py"), "--pings",
               str(pings), "--echo", str(echo), path]
        subprocess.run(cmd + (["--shore", shore] if shore else []), check=True)
    return cached("lake-%d-echo%d-%s.sl2" % (pings, echo, tag), make)


def shore():
    tag = script_hash("make_big_sl2.py")

    def make(path):
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "make_big_sl2.py"),
                        "--pings", "0", "--shore", path, os.devnull], check=True)
    return cached("lake-shore-%s.gpx" % tag, make)


def gpx(points):
    tag = script_hash("make_big_gpx.py")
    return cached("points-%d-%s.gpx" % (points, tag), lambda path: subprocess.run(
        [sys.executable, os.path.join(ROOT, "bench", "make_big_gpx.py"), str(points), path],
        check=True))


def warm(paths):
    """Reads the files once so that every run reads them from the page cache."""
    for p in paths:
        with open(p, "rb") as f:
            while f.read(1 << 24):
                pass


class Run:
    """One command under /usr/bin/time -v: wall seconds, peak MB, its output."""

    def __init__(self, args):
        with tempfile.NamedTemporaryFile("r", suffix=".time") as t:
            p = subprocess.run(["/usr/bin/time", "-v", "-o", t.name] + args,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
            report = t.read()
        if p.returncode != 0:
            sys.exit("failed (%d): %s\n%s" % (p.returncode, " ".join(args), p.stderr))
        self.out, self.err = p.stdout, p.stderr
        self.peak_mb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)",
                                     report).group(1)) / 1024.0
        wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)",
                         report).group(1).split(":")
        self.seconds = sum(float(x) * 60 ** i for i, x in enumerate(reversed(wall)))


def info(path):
    r = Run([TOOL, "info", path])
    fields = dict(line.split(": ", 1) for line in r.out.splitlines() if ": " in line)
    if fields.get("loaded") != "yes":
        sys.exit("info did not load " + path + "\n" + r.out)
    r.points = int(fields["trackPoints"])
    return r


def chart(files, work):
    r = Run([TOOL, "chart"] + files + ["--timings", "--image", os.path.join(work, "chart.bmp"),
                                       "--contours", os.path.join(work, "iso.gpx"),
                                       "--ht-dir", os.path.join(work, "ht")])
    r.summary = json.loads(r.out)
    r.soundings = r.summary["samples"] - r.summary["shoreSamples"]
    r.phases = []
    for line in r.err.splitlines():
        m = re.match(r"timing: (\S+) +([0-9.]+) s +([0-9.]+) MB peak$", line)
        if m:
            r.phases.append((m.group(1), float(m.group(2)), float(m.group(3))))
    return r


def best(make, runs):
    """The fastest of several runs: on a shared machine a single run is often slowed."""
    return min((make() for _ in range(runs)), key=lambda r: r.seconds)


def per_sounding(peak_mb, base_mb, n, base_n):
    return (peak_mb - base_mb) * 1024 * 1024 / max(1, n - base_n)


def interpolation_rows(quick):
    say("bench_interpolation" + (" --index-only" if quick else ""))
    out = subprocess.run([INTERP] + (["--index-only"] if quick else []), check=True,
                         stdout=subprocess.PIPE, text=True).stdout
    rows = []
    for line in out.splitlines():
        f = line.split()
        if f and f[0] in ("100000", "500000"):
            rows.append(f)
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--quick", action="store_true", help="no linear scan")
    quick = parser.parse_args().quick
    for exe in (TOOL, INTERP):
        if not os.access(exe, os.X_OK):
            sys.exit(exe + " is missing: build depthwright-batch and bench_interpolation")

    lake = shore()
    tiny = sl2(1000, 0)
    logs = {n: sl2(n, 0) for n in (2000000, 10000000)}
    echo_log, echo_tiny = sl2(1024 * 1024 * 1024 // (2 * (144 + 3072)), 3072), sl2(1000, 3072)
    points, points_tiny = gpx(1000000), gpx(1000)

    lines = []
    emit = lines.append
    commit = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%h %s"],
                            stdout=subprocess.PIPE, text=True).stdout.strip()
    emit("Depthwright 2D benchmark: %s" % commit)
    emit("%s, %d processors, %s" % (platform.node(), os.cpu_count(), time.strftime("%Y-%m-%d %H:%M")))
    emit("")

    rows = interpolation_rows(quick)
    emit("Interpolation of the sample lake, 840x600, radius 50, style 5, 2 threads "
         "(bench_interpolation)")
    emit("%10s %9s %10s %10s %10s %7s  %s" % ("soundings", "samples", "index s", "grid s",
                                               "linear s", "ratio", "grids identical"))
    for f in rows:
        n, samples, linear, index, ratio, grid, same = f[:7]
        emit("%10s %9s %10s %10s %10s %7s  %s" % (
            n, samples, index, grid, "-" if quick else linear, "-" if quick else ratio,
            "not compared" if quick else same))
    emit("  index s: the whole run through the sample index; grid s: the same without the masks,")
    emit("  the band and the samples; ratio: linear s / index s.")
    emit("")

    with tempfile.TemporaryDirectory() as work:
        say("chart, tiny")
        warm([lake, tiny])
        base = chart([lake, tiny], work)
        runs = {}
        for n, path in logs.items():
            say("chart, %d pings" % n)
            warm([path])
            runs[n] = best(lambda: chart([lake, path], work), 2)
    for n, r in runs.items():
        emit("chart end to end, %s soundings (%s, %.0f MB, + shoreline; --image --contours "
             "--ht-dir)" % (format(r.soundings, ","), os.path.basename(logs[n]),
                            os.path.getsize(logs[n]) / 1048576))
        emit("  total %.1f s, peak %.0f MB (/usr/bin/time -v)" % (r.seconds, r.peak_mb))
        emit("  %-14s %10s %12s" % ("phase", "seconds", "peak MB"))
        for name, s, mb in r.phases:
            emit("  %-14s %10.2f %12.0f" % (name, s, mb))
    emit("")

    say("info")
    warm([points, points_tiny, echo_log, echo_tiny])
    reads = [("GPX, 1,000,000 points", points, best(lambda: info(points), 3), info(points_tiny)),
             ("SL2, 1 GB, 3 KB echo a frame", echo_log, best(lambda: info(echo_log), 3),
              info(echo_tiny))]
    emit("Reading (depthwright-batch info)")
    emit("  %-30s %9s %10s %9s %9s" % ("file", "MB", "soundings", "seconds", "peak MB"))
    for name, path, r, _ in reads:
        emit("  %-30s %9.0f %10d %9.2f %9.0f" % (name, os.path.getsize(path) / 1048576, r.points,
                                                  r.seconds, r.peak_mb))
    emit("")

    emit("Memory per sounding (a)")
    emit("  %-34s %10s %9s %11s %9s" % ("command", "soundings", "peak MB", "baseline MB",
                                         "bytes"))
    for name, _, r, b in reads:
        emit("  %-34s %10d %9.0f %11.0f %9.0f" % (
            "info " + name.split(",")[0], r.points, r.peak_mb, b.peak_mb,
            per_sounding(r.peak_mb, b.peak_mb, r.points, b.points)))
    for n, r in runs.items():
        load = dict((p[0], p[2]) for p in r.phases)["load"]
        base_load = dict((p[0], p[2]) for p in base.phases)["load"]
        emit("  %-34s %10d %9.0f %11.0f %9.0f" % (
            "chart %dM, load phase (b)" % (n // 1000000), r.soundings, load, base_load,
            per_sounding(load, base_load, r.soundings, base.soundings)))
        emit("  %-34s %10d %9.0f %11.0f %9.0f" % (
            "chart %dM, whole run" % (n // 1000000), r.soundings, r.peak_mb, base.peak_mb,
            per_sounding(r.peak_mb, base.peak_mb, r.soundings, base.soundings)))
    emit("")
    emit("(a) bytes = (peak - baseline) / (soundings - soundings of the baseline), where peak")
    emit("    is the command's maximum resident set size (/usr/bin/time -v) and baseline the")
    emit("    same command on a tiny input of the same kind (1,000 points or pings: for chart")
    emit("    the same shoreline and a 1,000-ping log). Soundings: trackPoints of info; for")
    emit("    chart its samples less the shore samples.")
    emit("(b) the peak at the end of the load phase as --timings prints it.")
    emit("Inputs are read from the page cache (each is read once before it is timed).")
    emit("Times: the best of 2 runs for chart, of 3 for info.")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
