#!/usr/bin/env python3
"""Independent check of a Tarnell report.

Recomputes every distance, sigma(d) and bond valence sum of a report from its own crystal data
and symmetry operators, by brute force in Cartesian coordinates with exact fractions for the
operators and numerical derivatives for the uncertainties, and compares with what the report
says. It shares no code with the engine.

    tools/check_report.py REPORT BVTABLE [--b 0.37] [--dmin 0.5] [--h 1]
"""
import argparse
import math
import re
import sys
from fractions import Fraction


def parse_operator(text):
    rows = []
    for part in text.split(","):
        coeff = [0, 0, 0]
        tran = Fraction(0)
        for sign, term in re.findall(r"([+-]?)([xyz]|\d/\d|\d)", part):
            s = -1 if sign == "-" else 1
            if term in "xyz":
                coeff["xyz".index(term)] = s
            else:
                tran += s * Fraction(term)
        rows.append((coeff, tran))
    return rows


def parse_report(path):
    lines = open(path).read().split("\n")
    i = lines.index("  Lattice parameters:")
    cell = [float(v) for v in lines[i + 1].split()]
    sigma = [float(v) for v in lines[i + 2].split()]
    atoms = []
    j = lines.index("  Atom      charge      x           y           z") + 1
    while lines[j].strip():
        name, charge, x, y, z = lines[j].split()
        sx, sy, sz = (float(v) for v in lines[j + 1].split())
        atoms.append((name, [float(x), float(y), float(z)], [sx, sy, sz]))
        j += 2
    k = lines.index("  Symmetry code:") + 1
    ops = []
    while lines[k].strip():
        ops.append(parse_operator(lines[k].split()[1]))
        k += 1
    entries = []
    s = lines.index("  Searched distance:") + 2
    while lines[s].strip():
        f = lines[s].split()
        entries.append((f[1], f[5], float(f[10]), float(f[11])))
        s += 1
    sums = {}
    b = lines.index("  Bond valence sum:") + 2
    current = None
    while not lines[b].startswith("  Reference list:"):
        m = re.match(r"  (\S+)\s*:$", lines[b])
        if m:
            current = m.group(1)
        m = re.match(r"    (\d+)  BVS =\s*([\d.]+)\(\s*([\d.]+)\)  CN =\s*(\d+)", lines[b])
        if m:
            sums[(current, int(m.group(1)))] = (float(m.group(2)), float(m.group(3)), int(m.group(4)))
        b += 1
    return cell, sigma, atoms, ops, entries, sums


def cartesian(cell, frac):
    a, b, c, al, be, ga = cell
    al, be, ga = (math.radians(v) for v in (al, be, ga))
    v = math.sqrt(1 - math.cos(al) ** 2 - math.cos(be) ** 2 - math.cos(ga) ** 2
                  + 2 * math.cos(al) * math.cos(be) * math.cos(ga))
    x, y, z = frac
    return (a * x + b * math.cos(ga) * y + c * math.cos(be) * z,
            b * math.sin(ga) * y + c * (math.cos(al) - math.cos(be) * math.cos(ga)) / math.sin(ga) * z,
            c * v / math.sin(ga) * z)


def apply(op, pos):
    return [sum(c * p for c, p in zip(coeff, pos)) + float(t) for coeff, t in op]


def distance(cell, p1, p2):
    c1, c2 = cartesian(cell, p1), cartesian(cell, p2)
    return math.dist(c1, c2)


def sigma_of(cell, csig, p1, s1, site2, s2, op, shift):
    def d_of(params):
        cl = params[:6]
        q1 = params[6:9]
        q2 = params[9:12]
        img = [v + t for v, t in zip(apply(op, q2), shift)]
        return distance(cl, q1, img)
    base = list(cell) + list(p1) + list(site2)
    sig = list(csig) + list(s1) + list(s2)
    total = 0.0
    for n, s in enumerate(sig):
        if s == 0:
            continue
        h = 1e-6 if n >= 6 else 1e-6 * max(1.0, abs(base[n]))
        up, down = list(base), list(base)
        up[n] += h
        down[n] -= h
        total += ((d_of(up) - d_of(down)) / (2 * h) * s) ** 2
    return math.sqrt(total)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("report")
    ap.add_argument("bvtable")
    ap.add_argument("--b", type=float, default=0.37)
    ap.add_argument("--dmin", type=float, default=0.5)
    ap.add_argument("--h", type=int, default=1)
    ap.add_argument("--dmax", type=float, default=None, help="distance limit of every site")
    args = ap.parse_args()
    cell, csig, atoms, ops, entries, sums = parse_report(args.report)
    table = {}
    for line in open(args.bvtable):
        f = line.split()
        if len(f) >= 6 and not line[0].isspace() and not line.startswith(";"):
            table.setdefault((f[0], f[2]), []).append(float(f[4]))

    def element(label):
        return label[:2] if len(label) > 1 and label[1].islower() else label[:1]

    limits = {}
    for e in entries:
        limits[e[0]] = max(limits.get(e[0], 0), e[2])
    found = {}
    rng = range(-args.h, args.h + 1)
    for name1, p1, s1 in atoms:
        dmax = args.dmax if args.dmax else limits.get(name1, 0) + 1e-9
        seen = []
        bonds = []
        for name2, p2, s2 in atoms:
            for op in ops:
                img0 = apply(op, p2)
                for t1 in rng:
                    for t2 in rng:
                        for t3 in rng:
                            img = [img0[0] + t1, img0[1] + t2, img0[2] + t3]
                            d = distance(cell, p1, img)
                            if not (args.dmin <= d <= dmax):
                                continue
                            if any(max(abs(u - v) for u, v in zip(img, q)) < 1e-5 for q in seen):
                                continue
                            seen.append(img)
                            pairs = [(element(name1), element(name2)), (element(name2), element(name1))]
                            for pair in pairs:
                                if pair in table:
                                    sd = sigma_of(cell, csig, p1, s1, p2, s2, op, (t1, t2, t3))
                                    bonds.append((d, sd, table[pair]))
        found[name1] = bonds
    bad = 0
    for name, bonds in found.items():
        alts = max((len(r) for _, _, r in bonds), default=0)
        for e in range(alts):
            s = [math.exp((r[min(e, len(r) - 1)] - d) / args.b) for d, _, r in bonds]
            bvs = sum(s)
            sg = math.sqrt(sum((v * sd / args.b) ** 2 for v, (d, sd, _) in zip(s, bonds)))
            reported = sums.get((name, e + 1))
            ok = reported and abs(reported[0] - bvs) < 1e-3 and abs(reported[1] - sg) < 1e-4 \
                and reported[2] == len(bonds)
            bad += not ok
            print("%-4s alt %d: BVS %.4f(%.4f) CN %d   report %s   %s"
                  % (name, e + 1, bvs, sg, len(bonds), reported, "ok" if ok else "DIFFERS"))
    ds = sorted((round(d, 5), round(sd, 5)) for bonds in found.values() for d, sd, _ in bonds)
    rs = sorted((d, sd) for _, _, d, sd in entries)
    same = len(ds) == len(rs) and all(abs(a[0] - b[0]) < 2e-5 and abs(a[1] - b[1]) < 2e-5
                                      for a, b in zip(ds, rs))
    print("distances and sigma(d): %s (%d entries)" % ("ok" if same else "DIFFER", len(rs)))
    return 0 if bad == 0 and same else 1


if __name__ == "__main__":
    sys.exit(main())
