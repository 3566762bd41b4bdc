#!/usr/bin/env python3
"""Golden summaries of the sample lakes: `info --json` of every sample file and the summary
of `chart` on the sample lake, compared field by field with tests/data/golden/*.json.

A missing or short output fails, and so does any field that differs. Fields that depend on
the machine (times, memory, paths) are left out of the goldens. After a change that is meant
to change a summary, run with --update and say why in the commit.
usage: golden.py BATCH_TOOL EXAMPLES_DIR GOLDEN_DIR [--update]
"""
import json
import subprocess
import sys
import tempfile
from pathlib import Path

VOLATILE = {"file", "files", "seconds", "peakMB"}


def info(tool, examples, path):
    # Run inside the examples folder, so that paths in the log do not depend on the checkout.
    out = subprocess.run([tool, "info", "--json", str(path.relative_to(examples))], cwd=examples,
                         capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def chart(tool, lake):
    with tempfile.TemporaryDirectory() as work:
        out = subprocess.run([tool, "chart", str(lake / "shoreline.gpx"), str(lake / "soundings.gpx"),
                              "--contours", str(Path(work) / "iso.gpx")],
                             capture_output=True, text=True, check=True)
    return json.loads(out.stdout)


def cases(tool, examples):
    for path in sorted(examples.rglob("*")):
        if path.suffix.lower() in {".gpx", ".kml", ".ht", ".shp"}:
            yield "info-" + str(path.relative_to(examples)).replace("/", "-"), lambda p=path: info(tool, examples, p)
    yield "chart-sample-lake", lambda: chart(tool, examples / "sample-lake")


def compare(expected, actual, where=""):
    """Every field of the golden must be in the output with the same value."""
    problems = []
    if isinstance(expected, dict):
        if not isinstance(actual, dict):
            return [f"{where}: expected an object, got {actual!r}"]
        for key, value in expected.items():
            if key not in actual:
                problems.append(f"{where}/{key}: missing")
            else:
                problems += compare(value, actual[key], f"{where}/{key}")
    elif isinstance(expected, list):
        if not isinstance(actual, list) or len(actual) != len(expected):
            return [f"{where}: expected {len(expected)} items, got {actual!r:.200}"]
        for i, (e, a) in enumerate(zip(expected, actual)):
            problems += compare(e, a, f"{where}[{i}]")
    elif expected != actual:
        problems.append(f"{where}: expected {expected!r}, got {actual!r}")
    return problems


def main():
    tool, examples, golden = str(Path(sys.argv[1]).resolve()), Path(sys.argv[2]).resolve(), Path(sys.argv[3])
    update = "--update" in sys.argv[4:]
    failures = checked = 0
    for name, run in cases(tool, examples):
        actual = {k: v for k, v in run().items() if k not in VOLATILE}
        path = golden / (name + ".json")
        if update:
            path.write_text(json.dumps(actual, indent=1, sort_keys=True) + "\n")
            continue
        if not path.exists():
            print(f"FAIL {name}: no golden {path}")
            failures += 1
            continue
        expected = json.loads(path.read_text())
        problems = compare(expected, actual, name) if expected else [f"{name}: empty golden"]
        checked += 1
        if problems:
            failures += 1
            print(f"FAIL {name}:\n  " + "\n  ".join(problems[:20]))
    if update:
        print(f"goldens written to {golden}")
        return 0
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
