#!/usr/bin/env python3
"""The JSON of resection-analise: valid JSON on standard output and in a
file, the same document both ways, the numbers those of the console text.

Usage: check_json.py RESECTION_ANALISE INPUT WORKDIR
"""
import json
import math
import os
import re
import subprocess
import sys


def main():
    program, source, work = sys.argv[1:4]
    os.makedirs(work, exist_ok=True)
    out = subprocess.run([program, "--json", "-", source], capture_output=True, check=True)
    document = json.loads(out.stdout.decode("utf-8"))
    path = os.path.join(work, "analise.json")
    text = subprocess.run([program, source, "--json", path], capture_output=True, check=True)
    with open(path, encoding="utf-8") as f:
        assert json.load(f) == document, "file and standard output differ"
    console = text.stdout.decode("ascii").replace("\r\n", "\n")

    plan = document["planimetry"]
    assert document["status"] == 0 and document["stop"] is None
    assert document["unit"] == "gd"
    # The console prints M to the millimetre; the JSON holds the metres.
    m = float(re.search(r"M\(EST1\) = +([0-9.]+) m", console).group(1))
    assert abs(plan["station"]["m"] - m) <= 0.0005, (plan["station"], m)
    # Angles in radians: the a priori precision 0.60" of the console.
    assert abs(plan["sigma"] / math.pi * 648000 - 0.6) < 1e-9
    factor = plan["ellipses"]["posteriori95"]["factor"]
    r = plan["redundancy"]
    assert abs(factor - math.sqrt(r * (0.05 ** (-2 / r) - 1))) < 1e-12
    assert len(plan["readings"]) == plan["points"] == 4
    # Four points: the rejection is one reading or the precision, and the
    # summary lists the four and stands on the station of all readings.
    assert plan["suspect"]["kind"] == "undetermined"
    summary = document["summary"]
    assert summary["test"] == "rejected" and summary["station"]["basis"] == "all"
    assert summary["suspects"] == ["P1", "P2", "P3", "P4"]
    assert summary["station"]["m"] == plan["station"]["m"]
    assert summary["ellipse95"]["kind"] == "posteriori"
    assert abs(summary["ellipse95"]["major"] - plan["ellipses"]["posteriori95"]["major"]) < 1e-12
    lines = console.split("\n")
    start = lines.index("Resumo:")
    assert lines[start:start + len(summary["lines"])] == summary["lines"]
    # The zenith readings at 0.6": the test rejects, but no reading stands
    # out at the precision with which the others pass: none is named.
    height = document["height"]
    assert height["suspect"]["kind"] == "none"
    assert summary["heightSuspects"] == []
    assert isinstance(height["curvature"]["difference"], float)
    for value in (plan["geometry"]["strength"], height["stationHeight"]):
        assert isinstance(value, float) and math.isfinite(value)
    # Inputs a mutation of the example makes: every JSON parses strictly
    # (no NaN or Infinity), and the summary agrees with the planimetry.
    with open(source, encoding="ascii") as f:
        example = f.read()
    mutations = [("0.001 0.6", "0.001 0,6"), ("0.001 0.6", "0.001 1e308"),
                 ("0.001 0.6", "0.001 -1e308"), ("62.62982", "1e308"), ("62.62982", "82.62982"),
                 ("86.128319", "-1e308"), ("41621.891", "1e308")]

    def reject(constant):
        raise ValueError("not JSON: " + constant)

    for old, new in mutations:
        path = os.path.join(work, "mutated.txt")
        with open(path, "w", encoding="ascii") as f:
            f.write(example.replace(old, new, 1))
        out = subprocess.run([program, "--json", "-", path], capture_output=True)
        document = json.loads(out.stdout.decode("utf-8"), parse_constant=reject)
        summary, plan = document["summary"], document["planimetry"]
        assert (summary["station"]["m"] is None) == (plan["station"] is None), (old, new)
        assert summary["test"] in ("accepted", "rejected", "notApplicable"), (old, new)
    print("ok")


if __name__ == "__main__":
    main()
