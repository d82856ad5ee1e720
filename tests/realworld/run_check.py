#!/usr/bin/env python3
"""Runs the built engine on one real CIF in a private copy of the working directory and checks
its report with tools/check_report.py.

    run_check.py --engine Tarnell --work build/work --checker tools/check_report.py --cif FILE
                 [--dmax 3.5]

The copy gets the working directory's settings with D-max set to --dmax; b and D-min are read
from those settings and handed to the check, so both sides use the same window and b.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

WORK_FILES = ("Tarnell.ini", "BVTable", "spgra.dat", "sgtrans.dat")


def setting(lines, key):
    for line in lines:
        m = re.match(r"%s\s*=\s*(\S+)" % re.escape(key), line)
        if m:
            return float(m.group(1))
    raise ValueError("%s missing from Tarnell.ini" % key)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--engine", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--checker", required=True)
    ap.add_argument("--cif", required=True)
    ap.add_argument("--dmax", type=float, default=3.5)
    args = ap.parse_args()
    for name in ("engine", "work", "checker", "cif"):
        setattr(args, name, os.path.abspath(getattr(args, name)))

    with tempfile.TemporaryDirectory(prefix="realworld-") as folder:
        for name in WORK_FILES:
            shutil.copy(os.path.join(args.work, name), folder)
        ini = os.path.join(folder, "Tarnell.ini")
        with open(ini) as f:
            lines = f.read().split("\n")
        # The value is rewritten in place: the settings reader keeps its keys on fixed lines.
        lines = ["D-max      =%.3f" % args.dmax if re.match(r"D-max\s*=", line) else line
                 for line in lines]
        with open(ini, "w") as f:
            f.write("\n".join(lines))
        b, dmin = setting(lines, "BV-B"), setting(lines, "D-min")

        report = os.path.join(folder, "report.txt")
        run = subprocess.run([args.engine, "-c", args.cif, report], cwd=folder,
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=600)
        if run.returncode != 0 or not os.path.exists(report):
            print("engine ended with %d:\n%s%s" % (run.returncode, run.stdout, run.stderr))
            return 1
        check = subprocess.run([sys.executable, args.checker, report,
                                os.path.join(folder, "BVTable"), "--cif", args.cif,
                                "--dmax", str(args.dmax), "--b", str(b), "--dmin", str(dmin)],
                               capture_output=True, text=True, timeout=600)
        print(check.stdout, end="")
        print(check.stderr, end="", file=sys.stderr)
        return check.returncode


if __name__ == "__main__":
    sys.exit(main())
