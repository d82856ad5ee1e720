#!/usr/bin/python3
"""pymatgen's BVAnalyzer on the files that state their valences.

For every CIF of tests/data/corpus/valences/ the structure is read with
pymatgen's CifParser (the whole cell, not the primitive one), its stated
oxidation states are removed, and BVAnalyzer().get_valences() assigns new
ones. Each atom-site label of stated_valences.json is compared with the
valences BVAnalyzer gives to the cell sites that belong to it: the label
agrees when every one of its sites gets the stated valence.

A file for which BVAnalyzer raises (most often "Valences cannot be
assigned!"), or which takes longer than --timeout seconds, counts as a
failure and all its labels as disagreeing. A stated valence that is not an
integer (YBCO's Cu 2.332) is judged as tests/valences/check_assigned.py judges
Tarnell: the labels of one element that state the same average agree when the
mean of the valences given to their sites, weighted by occupancy, lies within
0.1 of it.

  /usr/bin/python3 tools/bvanalyzer_figures.py [--verbose] [--json OUT]
      [--dir DIR --stated JSON ...]     (default: the corpus's valences set)
"""

import argparse
import json
import os
import signal
import sys
import time
import warnings

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import corpus_valences as cv  # noqa: E402

from pymatgen.analysis.bond_valence import BVAnalyzer  # noqa: E402
from pymatgen.io.cif import CifParser  # noqa: E402


class Timeout(Exception):
    pass


def _alarm(signum, frame):
    raise Timeout()


def z_ordered_elements(species):
    # The order in which BVAnalyzer lists the valences of a disordered site.
    from pymatgen.analysis.bond_valence import get_z_ordered_elmap

    return [sp.symbol for sp, _ in get_z_ordered_elmap(species)]


def label_orbits(path):
    """{label: (element, [fractional positions in the cell])} as our reader sees it."""
    block = cv.structure_block(cv.read_cif(path))
    lattice = cv.cell_matrix(block)
    # A file without operators (pymatgen then builds them from the space-group
    # symbol) is matched through the listed positions only; the other images
    # of its sites stay unmatched, which leaves each label's first site.
    ops = cv.symops(block) or [(np.eye(3), np.zeros(3))]
    out = {}
    for s in cv.sites(block):
        if s["dummy"]:
            continue
        pts = cv.orbit(ops, np.array(s["xyz"], float) % 1.0, lattice)
        out[s["label"]] = (s["element"], pts)
    return out, lattice


def site_labels(structure, orbits, lattice, tol=0.05):
    """For each pymatgen site, the labels whose images lie on it."""
    result = []
    for site in structure:
        f = np.array(site.frac_coords) % 1.0
        labs = []
        for lab, (el, pts) in orbits.items():
            for p in pts:
                d = f - p
                d -= np.round(d)
                if np.linalg.norm(d @ lattice) < tol:
                    labs.append(lab)
                    break
        result.append(labs)
    return result


def analyse(path, stated, timeout):
    """One file: dict with status, per-label comparison."""
    res = {"file": os.path.basename(path), "status": "ok", "labels": {}}
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            structures = CifParser(path).get_structures(primitive=False)
        structure = structures[0]
    except Exception as e:  # noqa: BLE001 - any refusal is a figure
        res["status"] = "unreadable"
        res["error"] = "%s: %s" % (type(e).__name__, e)
        return res
    structure.remove_oxidation_states()
    res["ordered"] = structure.is_ordered
    res["nsites"] = len(structure)
    signal.signal(signal.SIGALRM, _alarm)
    signal.alarm(timeout)
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            valences = BVAnalyzer().get_valences(structure)
    except Timeout:
        res["status"] = "failed"
        res["error"] = "no answer within %d s" % timeout
        return res
    except Exception as e:  # noqa: BLE001
        res["status"] = "failed"
        res["error"] = "%s: %s" % (type(e).__name__, e)
        return res
    finally:
        signal.alarm(0)

    orbits, lattice = label_orbits(path)
    owners = site_labels(structure, orbits, lattice)
    got = {}  # label -> [(valence BVAnalyzer gave one of its sites, occupancy)]
    for site, labs, val in zip(structure, owners, valences):
        if structure.is_ordered:
            per_el = {site.specie.symbol: val}
        else:
            per_el = dict(zip(z_ordered_elements(site.species), val))
        for lab in labs:
            el = orbits[lab][0]
            v = per_el.get(el)
            if v is None and len(per_el) == 1:
                v = next(iter(per_el.values()))
            occupancy = sum(amount for sp, amount in site.species.items() if sp.symbol == el) or 1.0
            got.setdefault(lab, []).append((v, occupancy))

    def average_agrees(lab, want):
        same = [other for other, w in stated.items()
                if abs(w - want) < 1e-6 and orbits.get(other, ("",))[0] == orbits[lab][0]]
        pairs = [p for other in same for p in got.get(other, [])]
        if not pairs or any(v is None for v, _ in pairs):
            return False
        mean = sum(v * o for v, o in pairs) / sum(o for _, o in pairs)
        return abs(mean - want) <= 0.1 + 1e-9

    for lab, want in stated.items():
        vals = got.get(lab)
        whole = abs(want - round(want)) < 1e-6
        res["labels"][lab] = {
            "stated": want,
            "bvanalyzer": sorted({v for v, _ in vals if v is not None}) if vals else None,
            "agrees": bool(vals) and (
                all(v is not None and abs(v - want) < 1e-6 for v, _ in vals) if whole
                else lab in orbits and average_agrees(lab, want)),
        }
    return res


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--dir", action="append")
    ap.add_argument("--stated", action="append")
    ap.add_argument("--timeout", type=int, default=120)
    ap.add_argument("--json", help="write the per-file results here")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()

    dirs = args.dir or [os.path.join(cv.CORPUS, "valences")]
    stated_files = args.stated or [os.path.join(cv.CORPUS, "stated_valences.json")]
    if len(dirs) != len(stated_files):
        ap.error("give one --dir per --stated")
    stated, folder = {}, {}
    for directory, path in zip(dirs, stated_files):
        with open(path, encoding="utf-8") as f:
            for name, labels in json.load(f).items():
                stated[name] = labels
                folder[name] = directory
    t0 = time.time()
    results = []
    for f in sorted(stated):
        t = time.time()
        r = analyse(os.path.join(folder[f], f), stated[f], args.timeout)
        r["seconds"] = round(time.time() - t, 2)
        results.append(r)
        if args.verbose:
            bad = [lab for lab, c in r["labels"].items() if not c["agrees"]]
            print(
                "%-55s %-10s %5.1fs %s"
                % (f, r["status"], r["seconds"], r.get("error", "") or ("disagree: " + ", ".join(
                    "%s %s->%s" % (lab, r["labels"][lab]["stated"], r["labels"][lab]["bvanalyzer"]) for lab in bad)
                    if bad else "all agree"))
            )
    elapsed = time.time() - t0

    read = [r for r in results if r["status"] != "unreadable"]
    failed = [r for r in read if r["status"] == "failed"]
    labels_total = sum(len(stated[r["file"]]) for r in read)
    labels_ok = sum(sum(1 for c in r["labels"].values() if c["agrees"]) for r in read)
    files_ok = [r for r in read if r["status"] == "ok" and r["labels"] and all(c["agrees"] for c in r["labels"].values())]
    nonint = sorted(
        "%s:%s" % (f, lab) for f, labs in stated.items() for lab, v in labs.items() if abs(v - round(v)) > 1e-6
    )
    print("files in the set:        %d" % len(results))
    print("files read by pymatgen:  %d" % len(read))
    for r in results:
        if r["status"] == "unreadable":
            print("  unreadable: %s (%s)" % (r["file"], r["error"][:100]))
    print("BVAnalyzer failures:     %d" % len(failed))
    for r in failed:
        print("  failed: %s (%s)" % (r["file"], r["error"][:100]))
    print("sites (labels) agreeing: %d / %d (%.1f %%)" % (labels_ok, labels_total, 100.0 * labels_ok / max(labels_total, 1)))
    answered = [r for r in read if r["status"] == "ok"]
    a_total = sum(len(stated[r["file"]]) for r in answered)
    a_ok = sum(sum(1 for c in r["labels"].values() if c["agrees"]) for r in answered)
    print("  of them in files it answered: %d / %d" % (a_ok, a_total))
    print("files wholly right:      %d / %d (%.1f %%)" % (len(files_ok), len(read), 100.0 * len(files_ok) / max(len(read), 1)))
    print("labels stated with a non-integer valence (judged by the mean): %d %s" % (len(nonint), ", ".join(nonint)))
    print("time: %.1f s" % elapsed)
    if args.json:
        with open(args.json, "w") as out:
            json.dump(results, out, indent=1, default=list)
            out.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
