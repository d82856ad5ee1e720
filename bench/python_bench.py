#!/usr/bin/python3
"""Times the Python module tarnell against pymatgen's bond valence sums, in one process, on the
same structures: the real files of tests/data/realworld/ that pymatgen reads, each as pymatgen's
P 1 Structure.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py [--repeat 20] [CIF ...]

pymatgen: every site's neighbours within 3.5 Å (Structure.get_all_neighbors) and its sum
(pymatgen.analysis.bond_valence.calculate_bv_sum, or calculate_bv_sum_unordered for a mixed
site). tarnell: calculate(from_pymatgen(structure)) with D-max 3.5 Å, which also makes the
distance list, the sigmas and the valence summary and renders the whole result as a dict, and
sums(from_pymatgen(structure)), the valence summary alone as numpy columns; both include the
adapter. Both read
their parameter tables before the clock starts. Times are the best of --repeat runs, per
structure; the ratio of the medians is the figure of bench/README.md.
"""
import argparse
import glob
import os
import statistics
import sys
import time
import warnings

import tarnell

HERE = os.path.dirname(os.path.abspath(__file__))
REALWORLD = os.path.join(HERE, "..", "tests", "data", "realworld")


def best_time(function, repeat):
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        function()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=20)
    parser.add_argument("files", nargs="*")
    args = parser.parse_args()
    files = args.files or sorted(glob.glob(os.path.join(REALWORLD, "*.cif")))

    warnings.filterwarnings("ignore")
    from pymatgen.analysis.bond_valence import calculate_bv_sum, calculate_bv_sum_unordered
    from pymatgen.io.cif import CifParser

    def pymatgen_sums(structure):
        neighbours = structure.get_all_neighbors(3.5)
        sums = []
        for site, near in zip(structure, neighbours):
            if site.is_ordered:
                sums.append(calculate_bv_sum(site, near))
            else:
                sums.append(calculate_bv_sum_unordered(site, near))
        return sums

    tarnell.default_table()
    rows = []
    for path in files:
        try:
            structure = CifParser(path).get_structures(primitive=False)[0]
            pymatgen_sums(structure)
        except Exception as error:  # pymatgen refuses some real files; they are left out
            print("%-32s left out: pymatgen: %s" % (os.path.basename(path), error),
                  file=sys.stderr)
            continue
        result = tarnell.calculate(structure, dmax=3.5)
        if result["status"] != "ok":
            print("%-32s left out: tarnell: %s" % (os.path.basename(path), result["message"]),
                  file=sys.stderr)
            continue
        theirs = best_time(lambda: pymatgen_sums(structure), args.repeat)
        ours = best_time(lambda: tarnell.calculate(tarnell.from_pymatgen(structure), dmax=3.5),
                         args.repeat)
        core = best_time(lambda: tarnell.sums(tarnell.from_pymatgen(structure), dmax=3.5),
                         args.repeat)
        rows.append((os.path.basename(path), len(structure), theirs, ours, core))

    print("%-32s %6s %12s %12s %12s %8s" % ("file", "sites", "pymatgen ms", "tarnell ms",
                                             "sums() ms", "ratio"))
    for name, sites, theirs, ours, core in rows:
        print("%-32s %6d %12.3f %12.3f %12.3f %8.1f" % (name, sites, theirs * 1e3, ours * 1e3,
                                                         core * 1e3, theirs / core))
    if rows:
        theirs = statistics.median(r[2] for r in rows)
        ours = statistics.median(r[3] for r in rows)
        core = statistics.median(r[4] for r in rows)
        ratios = [r[2] / r[4] for r in rows]
        print("median over %d structures: pymatgen %.3f ms; tarnell calculate() %.3f ms (ratio "
              "%.1f), sums() %.3f ms (ratio of medians %.1f, median ratio %.1f, lowest %.1f)"
              % (len(rows), theirs * 1e3, ours * 1e3, theirs / ours, core * 1e3, theirs / core,
                 statistics.median(ratios), min(ratios)))


if __name__ == "__main__":
    main()
