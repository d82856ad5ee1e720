#!/usr/bin/env python3
"""Rules of tools/check_report.py on small structures whose answers are known by hand.

    check_report_test.py path/to/check_report.py
"""
import itertools
import math
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), "..", "..", "tools", "check_report.py")
sys.path.insert(0, os.path.dirname(os.path.abspath(CHECKER)))
import check_report as check  # noqa: E402

REPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "reports")

P63MC = ["x,y,z", "-y,x-y,z", "-x+y,-x,z", "-x,-y,z+1/2", "y,-x+y,z+1/2", "x-y,x,z+1/2",
         "-y,-x,z", "-x+y,y,z", "x,x-y,z", "y,x,z+1/2", "x-y,-y,z+1/2", "-x,-x+y,z+1/2"]


def site(name, charge, pos, g=1.0, sigma=(0.0, 0.0, 0.0)):
    return {"name": name, "charge": charge, "pos": list(pos), "sigma": list(sigma), "g": g}


def ops(texts):
    return [check.parse_operator(t) for t in texts]


def bonds_of(cell, atoms, operators, table, dmax, dmin=0.5):
    return check.search(cell, [0.0] * 6, atoms, ops(operators), table, dmin, lambda _: dmax)


class Neighbours(unittest.TestCase):
    def test_rounded_special_positions_are_one_atom(self):
        # Wurtzite ZnO written with 0.3333/0.6667: three operators reach each basal O a few
        # 1e-4 Å apart; they must count once.
        cell = [3.2498, 3.2498, 5.2066, 90, 90, 120]
        atoms = [site("Zn1", 2, (0.3333, 0.6667, 0.0)), site("O1", -2, (0.3333, 0.6667, 0.3819))]
        found = bonds_of(cell, atoms, P63MC, {("Zn", "O"): [1.704]}, 3.0)
        for name in ("Zn1", "O1"):
            self.assertEqual(len(found[name]), 4)
            self.assertEqual(check.positions(found[name]), 4)
            self.assertAlmostEqual(check.sums_of(found[name], 0.37)[1][0], 1.9080, places=3)

    def test_every_neighbour_within_the_limit_whatever_its_cell(self):
        # Sites far from the origin in a skew cell smaller than the limit: every image within
        # D-max, found by an exhaustive search over many cells, is found once.
        cell = [2.2, 2.9, 5.3, 75.0, 80.0, 110.0]
        atoms = [site("Na1", 1, (2.71, -1.32, 0.43)), site("Cl1", -1, (-0.88, 3.27, -2.14))]
        operators = ["x,y,z", "-x,-y,-z"]
        found = bonds_of(cell, atoms, operators, {("Na", "Cl"): [2.15]}, 3.5)
        m = check.metric(cell)
        for centre, other in ((atoms[0], atoms[1]), (atoms[1], atoms[0])):
            expected = []
            for op in ops(operators):
                image = check.apply(op, other["pos"])
                for t in itertools.product(range(-8, 9), repeat=3):
                    d = math.dist(check.cartesian(m, centre["pos"]),
                                  check.cartesian(m, [v + s for v, s in zip(image, t)]))
                    if 0.5 <= d <= 3.5:
                        expected.append(round(d, 6))
            self.assertGreater(len(expected), 4)
            self.assertEqual(sorted(round(b["d"], 6) for b in found[centre["name"]]),
                             sorted(expected))

    def test_sites_sharing_a_position_each_count_with_their_occupancy(self):
        # Mg 0.6 / Fe 0.4 on one position of a primitive rock-salt-like cell: both are centres,
        # each O sees both, and the O's CN counts the shared position once.
        cell = [4.2, 4.2, 4.2, 90, 90, 90]
        atoms = [site("Mg1", 1.2, (0, 0, 0), g=0.6), site("Fe1", 0.8, (0, 0, 0), g=0.4),
                 site("O1", -2, (0.5, 0, 0)), site("O2", -2, (0, 0.5, 0)),
                 site("O3", -2, (0, 0, 0.5))]
        table = {("Mg", "O"): [1.693], ("Fe", "O"): [1.734]}
        found = bonds_of(cell, atoms, ["x,y,z"], table, 2.5)
        s_mg, s_fe = (math.exp((r0 - 2.1) / 0.37) for r0 in (1.693, 1.734))
        for name, s in (("Mg1", s_mg), ("Fe1", s_fe)):
            self.assertEqual(check.positions(found[name]), 6)
            self.assertAlmostEqual(check.sums_of(found[name], 0.37)[1][0], 6 * s, places=9)
        o1 = found["O1"]
        self.assertEqual(sorted(b["neighbour"] for b in o1), ["Fe1", "Fe1", "Mg1", "Mg1"])
        self.assertEqual(check.positions(o1), 2)
        bvs, sigma = check.sums_of(o1, 0.37)[1]
        self.assertAlmostEqual(bvs, 2 * (0.6 * s_mg + 0.4 * s_fe), places=9)
        self.assertEqual(sigma, 0.0)


class Bonding(unittest.TestCase):
    TABLE = {("As", "S"): [2.272], ("S", "As"): [2.25], ("S", "S"): [2.03],
             ("O", "O"): [1.406], ("Mg", "H"): [1.53], ("Mg", "O"): [1.693]}

    def test_charges_and_table_decide(self):
        cases = [
            # centre, its charge, neighbour, its charge, expected r0 list or None
            ("As", 3, "S", -1, [2.272]),   # cation first
            ("S", -1, "As", 3, [2.272]),   # the neighbour is the cation
            ("As", 0, "S", 0, [2.272]),    # nothing decides: centre first
            ("S", 0, "As", 0, [2.25]),
            ("S", 0, "As", 3, [2.272]),    # one charge decides
            ("S", -1, "As", 0, [2.272]),
            ("S", -1, "S", -1, None),      # same sign: no bond, whatever the table says
            ("O", -2, "O", -2, None),
            ("Mg", 2, "H", 1, None),       # hydroxyl H is no hydride
            ("Mg", 0, "H", 1, [1.53]),     # a zero charge leaves it to the table
            ("S", 0, "S", 0, [2.03]),
            ("Mg", 2, "Si", -4, None),     # no line in either order
        ]
        for c, qc, n, qn, expected in cases:
            with self.subTest(centre=c, neighbour=n, charges=(qc, qn)):
                got = check.parameters(self.TABLE, site(c + "1", qc, (0, 0, 0)),
                                       site(n + "2", qn, (0, 0, 0)))
                self.assertEqual(got, expected)


FORSTERITE = ["x,y,z", "-x+1/2,-y,z+1/2", "x+1/2,-y+1/2,-z+1/2", "-x,y+1/2,-z", "-x,-y,-z",
              "x+1/2,y,-z+1/2", "-x+1/2,y+1/2,z+1/2", "x,-y+1/2,z"]


class Multiplicity(unittest.TestCase):
    def test_images_in_one_cell(self):
        cases = [
            # operators, position, distinct images in one cell
            (FORSTERITE, (0, 0, 0), 4),                    # inversion centre
            (FORSTERITE, (0.2774, 0.25, 0.9915), 4),       # mirror plane
            (FORSTERITE, (0.16296, 0.03315, 0.27751), 8),  # general
            (P63MC, (0.3333, 0.6667, 0.0), 2),             # rounded thirds on the 3-fold axis
            (P63MC, (0.1, 0.25, 0.3), 12),
            # images a hair either side of a cell face are one atom
            (["x,y,z", "-x,-y,-z"], (1e-7, 0.5, 0.5 - 1e-7), 1),
        ]
        cell = [10.1943, 5.9807, 4.7535, 90, 90, 90]
        for operators, pos, count in cases:
            with self.subTest(pos=pos, operators=len(operators)):
                use = [3.25, 3.25, 5.2, 90, 90, 120] if operators is P63MC else cell
                self.assertEqual(check.multiplicity(use, ops(operators), list(pos)), count)


class ValenceSummary(unittest.TestCase):
    # Cubic cell of 4 Å, one operator: every bond along an axis is 2 Å, the next atoms are
    # 2.83 Å away, outside the 2.5 Å limit.
    #   Fe1 +3 (0,0,0): O1 along x, O2 along z; Fe2 along y is a cation and no bond.
    #   O1 -2 (.5,0,0): Fe1 along x, Mn1 along y.
    #   Fe2 +2 (0,.5,0): Fe1 and Mn1 (cations), P1 along z, for which the table has nothing.
    #   O2 -2 (0,0,.5): Fe1 along z; P1 along y is an anion and no bond.
    #   Mn1 +4, g 0.5 (.5,.5,0): O1 along y; Fe2 along x is no bond.
    #   P1 -3 (0,.5,.5): Fe2 along z, O2 along y.
    TABLE = """; comment
Fe 2 O 2 1.734 a
Fe 3 O 2 1.759 h 0.40
Mn 2 O 2 1.790 a 0.37
Mn 4 O 1 1.500 x 0.37
Mn 9 O 2 1.750 b 0.35
Mn 9 O 2 1.700 c 0.37
   a  the reference section, not a line
"""
    CELL = [4.0, 4.0, 4.0, 90, 90, 90]

    def summary(self):
        atoms = [site("Fe1", 3, (0, 0, 0)), site("O1", -2, (0.5, 0, 0), sigma=(0.001, 0, 0)),
                 site("Fe2", 2, (0, 0.5, 0)), site("O2", -2, (0, 0, 0.5)),
                 site("Mn1", 2.0, (0.5, 0.5, 0), g=0.5), site("P1", -3, (0, 0.5, 0.5))]
        for atom in atoms:
            atom["V"] = check.formal_valence(atom["charge"], atom["g"], True)
        with tempfile.NamedTemporaryFile("w", delete=False) as f:
            f.write(self.TABLE)
        try:
            lines = check.table_lines(f.name, 0.37)
        finally:
            os.unlink(f.name)
        near = check.images_near(self.CELL, atoms, ops(["x,y,z"]), 0.5, lambda _: 2.5)
        return check.valence_summary(self.CELL, [0.0] * 6, atoms, ops(["x,y,z"]), lines, near)

    def expected(self):
        s_fe = math.exp((1.759 - 2.0) / 0.40)   # Fe3+ line, not the earlier Fe2+ one
        s_mn = math.exp((1.750 - 2.0) / 0.35)   # first line of any Mn valence for O2-
        # sigma(d) of the Fe1–O1 bonds along x: 4 Å times 0.001; the line's b divides.
        sigma_fe = s_fe * 0.004 / 0.40
        sites = {
            "Fe1": (3.0, 4 * s_fe, math.sqrt(2) * sigma_fe, 4, "h"),
            "O1": (-2.0, -(2 * s_fe + 2 * 0.5 * s_mn), math.sqrt(2) * sigma_fe, 4, "h,b"),
            "O2": (-2.0, -2 * s_fe, 0.0, 2, "h"),
            "Mn1": (4.0, 2 * s_mn, 0.0, 2, "b"),
        }
        counted = [(1.0 if n != "Mn1" else 0.5, bvs - v) for n, (v, bvs, _, _, _) in sites.items()]
        gii = math.sqrt(sum(g * dv ** 2 for g, dv in counted) / 3.5)
        return sites, gii

    def test_sums_parameters_and_totals(self):
        summary = self.summary()
        sites, gii = self.expected()
        self.assertEqual([s["name"] for s in summary["sites"]],
                         ["Fe1", "O1", "Fe2", "O2", "Mn1", "P1"])
        for got in summary["sites"]:
            with self.subTest(site=got["name"]):
                if got["name"] in ("Fe2", "P1"):
                    self.assertEqual(got["missing"], "Fe2+ \u2013 P3-")
                    continue
                v, bvs, sigma, cn, refs = sites[got["name"]]
                self.assertAlmostEqual(got["V"], v)
                self.assertAlmostEqual(got["bvs"], bvs, places=9)
                self.assertAlmostEqual(got["sigma"], sigma, places=7)
                self.assertEqual((got["cn"], got["refs"]), (cn, refs))
                self.assertAlmostEqual(got["rel"], 100 * (bvs - v) / v, places=9)
        # Sites without parameters stay out of the GII and in the valences of the cell.
        self.assertAlmostEqual(summary["gii"], gii, places=9)
        self.assertAlmostEqual(summary["ions"], 3.5)
        self.assertAlmostEqual(summary["cations"], 3 + 2 + 0.5 * 4)
        self.assertAlmostEqual(summary["anions"], -7)


class OneSidedValences(unittest.TestCase):
    def test_valences_of_one_sign_give_no_sums(self):
        cell = [4.2, 4.2, 4.2, 90, 90, 90]
        atoms = [site("Mg1", 2, (0, 0, 0)), site("O1", 0, (0.5, 0, 0))]
        for atom in atoms:
            atom["V"] = check.formal_valence(atom["charge"], atom["g"], True)
        near = check.images_near(cell, atoms, ops(["x,y,z"]), 0.5, lambda _: 2.5)
        summary = check.valence_summary(cell, [0.0] * 6, atoms, ops(["x,y,z"]), [], near)
        self.assertEqual((summary["sites"], summary["one_sided"]), ([], "cations"))


class WholeReports(unittest.TestCase):
    def run_checker(self, text):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "report.txt")
            with open(path, "w") as f:
                f.write(text)
            return subprocess.run([sys.executable, CHECKER, path,
                                   os.path.join(REPORTS, "BVTable"), "--dmax", "3.0"],
                                  capture_output=True, text=True)

    def test_agreeing_reports_pass_and_any_change_fails(self):
        for name in ("NaCl", "TiO2-rutile", "Fe2O3-hematite"):
            with open(os.path.join(REPORTS, name + ".out")) as f:
                text = f.read()
            self.assertEqual(self.run_checker(text).returncode, 0, name)
            lines = text.split("\n")
            first_sum = next(n for n, line in enumerate(lines) if "BVS =" in line)
            first_entry = lines.index("  Searched distance:") + 2
            first_row = next(n for n, line in enumerate(lines)
                             if line.startswith("  Site        V")) + 1
            bvs = lines[first_row].split()[2]
            gii = next(n for n, line in enumerate(lines) if line.startswith("  GII = "))
            changed = {
                "a sum": lines[:first_sum] + [lines[first_sum].replace("BVS = ", "BVS = 1")]
                + lines[first_sum + 1:],
                "a lost entry": lines[:first_entry] + lines[first_entry + 1:],
                "a doubled entry": lines[:first_entry + 1] + lines[first_entry:],
                "a CN": lines[:first_sum] + [lines[first_sum].replace("CN = ", "CN =1")]
                + lines[first_sum + 1:],
                "a summary sum": lines[:first_row] + [lines[first_row].replace(
                    bvs, "%.4f" % (float(bvs) + 0.002))] + lines[first_row + 1:],
                "the GII": lines[:gii] + [lines[gii].replace("GII = 0.", "GII = 1.")]
                + lines[gii + 1:],
                "a lost summary row": lines[:first_row] + lines[first_row + 1:],
                "the references": lines[:first_row] + [lines[first_row] + "x"]
                + lines[first_row + 1:],
                "the valences per cell": [line.replace("anions -", "anions -1") for line in lines],
                "the ions in the cell": [line.replace("v.u. over ", "v.u. over 1")
                                         for line in lines],
            }
            for what, changed_lines in changed.items():
                with self.subTest(report=name, changed=what):
                    self.assertEqual(self.run_checker("\n".join(changed_lines)).returncode, 1)

    def test_an_error_report_fails(self):
        result = self.run_checker("  Error !!!   Number of distance entry more than 1200.\n\n")
        self.assertEqual(result.returncode, 1)
        self.assertIn("Number of distance entry more than 1200", result.stdout)


if __name__ == "__main__":
    unittest.main()
