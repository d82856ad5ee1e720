#!/usr/bin/env python3
"""Runs the built engine with --check-valences over real CIFs that state their valences and
compares the valences it assigns with the stated ones.

    check_assigned.py --engine Tarnell --work build/work --stated stated.json --dir DIR ...
                      [--min-sites 0.97] [--min-files 0.95] [--verbose]

Each --stated/--dir pair names a JSON {file: {label: valence}} and the folder of its files. A
label agrees when the assigned valence equals the stated one. A stated valence that is no whole
number is an average over sites that whole-number states tell apart (Cu 2.33 of YBa2Cu3O7 for
Cu1 3+ and Cu2 2+): the labels of one element that state the same average agree when the mean of
their assigned valences, weighted by multiplicity and occupancy, lies within 0.1 of it. The
figures over whole-number labels leave such labels out (and a file that states only averages for
some labels is judged on its other labels). Fails when fewer sites or files agree than the
minimum shares, over all labels or, where given, over whole-number labels.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

WORK_FILES = ("Tarnell.ini", "BVTable", "spgra.dat", "sgtrans.dat")


def run_file(engine, folder, cif):
    report = os.path.join(folder, "report.txt")
    out = os.path.join(folder, "result.json")
    for path in (report, out):
        if os.path.exists(path):
            os.remove(path)
    subprocess.run([engine, "--check-valences", "-c", cif, report, "-j", out], cwd=folder,
                   stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=600)
    if not os.path.exists(out):
        return None
    with open(out, encoding="utf-8") as f:
        return json.load(f)


def site_weights(result):
    """Multiplicity times occupancy per upper-case label, with each label's element."""
    if not result:
        return {}
    mult = {s["site"].upper(): s["multiplicity"]
            for s in (result.get("valence_summary") or {}).get("sites", [])}
    return {s["label"].upper(): (s["element"], mult.get(s["label"].upper(), 1) * s["occupancy"])
            for s in result.get("sites", [])}


def average_agrees(label, want, got, weights):
    """A non-integer stated valence agrees when the weighted mean of what was assigned to the
    labels of its element that state the same average lies within 0.1 of it."""
    v = want[label]
    if abs(v - round(v)) < 1e-6 or label not in weights:
        return False
    element = weights[label][0]
    same = [other for other, w in want.items()
            if abs(w - v) < 1e-6 and other in weights and weights[other][0] == element]
    if any(other not in got for other in same):
        return False
    total = sum(weights[other][1] for other in same)
    if total <= 0:
        return False
    mean = sum(weights[other][1] * got[other] for other in same) / total
    return abs(mean - v) <= 0.1 + 1e-9


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--engine", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--stated", action="append", required=True)
    ap.add_argument("--dir", action="append", required=True)
    ap.add_argument("--min-sites", type=float, default=0.0)
    ap.add_argument("--min-files", type=float, default=0.0)
    ap.add_argument("--min-whole-sites", type=float, default=0.0)
    ap.add_argument("--min-whole-files", type=float, default=0.0)
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    if len(args.stated) != len(args.dir):
        ap.error("give one --dir per --stated")

    sites_total = sites_ok = files_total = files_ok = 0
    whole_sites_total = whole_sites_ok = whole_files_total = whole_files_ok = 0
    with tempfile.TemporaryDirectory(prefix="valences-") as folder:
        for name in WORK_FILES:
            shutil.copy(os.path.join(args.work, name), folder)
        for stated_path, directory in zip(args.stated, args.dir):
            with open(stated_path, encoding="utf-8") as f:
                stated = json.load(f)
            for name in sorted(stated):
                want = stated[name]
                result = run_file(os.path.abspath(args.engine), folder,
                                  os.path.abspath(os.path.join(directory, name)))
                check = (result or {}).get("valence_check") or {}
                # Labels in other letters (CS of caesium) are read in the element's own (Cs).
                got = {s["site"].upper(): s["assigned"] for s in check.get("sites", [])}
                want = {label.upper(): v for label, v in want.items()}
                bad = [label for label, v in want.items()
                       if label not in got or abs(got[label] - v) > 1e-6]
                bad = [label for label in bad
                       if not average_agrees(label, want, got, site_weights(result))]
                files_total += 1
                sites_total += len(want)
                sites_ok += len(want) - len(bad)
                files_ok += not bad
                whole = [label for label, v in want.items() if abs(v - round(v)) < 1e-6]
                whole_bad = [label for label in bad if label in whole]
                whole_sites_total += len(whole)
                whole_sites_ok += len(whole) - len(whole_bad)
                if whole:
                    whole_files_total += 1
                    whole_files_ok += not whole_bad
                if args.verbose or bad:
                    why = check.get("unassigned") or ""
                    print("%-60s %s %s" % (name, "agrees" if not bad else "differs:",
                          why or ", ".join("%s %g->%s" % (label, want[label], got.get(label))
                                           for label in bad)))
    site_share = sites_ok / max(sites_total, 1)
    file_share = files_ok / max(files_total, 1)
    print("sites agreeing: %d / %d (%.1f %%)" % (sites_ok, sites_total, 100 * site_share))
    print("files agreeing: %d / %d (%.1f %%)" % (files_ok, files_total, 100 * file_share))
    whole_site_share = whole_sites_ok / max(whole_sites_total, 1)
    whole_file_share = whole_files_ok / max(whole_files_total, 1)
    print("whole-number labels agreeing: %d / %d (%.1f %%)"
          % (whole_sites_ok, whole_sites_total, 100 * whole_site_share))
    print("files agreeing on their whole-number labels: %d / %d (%.1f %%)"
          % (whole_files_ok, whole_files_total, 100 * whole_file_share))
    ok = (site_share >= args.min_sites and file_share >= args.min_files
          and whole_site_share >= args.min_whole_sites and whole_file_share >= args.min_whole_files)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
