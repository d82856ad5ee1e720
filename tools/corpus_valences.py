#!/usr/bin/python3
"""Oxidation states that real CIFs state, per atom-site label.

Writes tests/data/corpus/stated_valences.json ({file: {label: valence}}) from
the files of tests/data/corpus/valences/, the ground truth that an assignment
of valences by bond valence is compared with. A site's valence comes from the
_atom_type_oxidation_number loop (matched through the site's type symbol) or
from a charged type symbol itself (Fe3+, O2-); a label such as FeT2+ is not
taken as a statement.

Each file is checked for charge neutrality: the cell is built from the
symmetry operators (so site multiplicities and occupancies count), and
sum(m * g * V) / Z must lie within 0.1 of zero.

  /usr/bin/python3 tools/corpus_valences.py            # write the JSON, print checks
  /usr/bin/python3 tools/corpus_valences.py --only-stated --dir tests/data/realworld \
      --out tests/data/corpus/stated_valences_realworld.json
  /usr/bin/python3 tools/corpus_valences.py --survey F...  # one line of features per file

Only the standard library and numpy: gemmi's Python module is not at hand,
so the CIF reader below is a small one of our own, enough for database files
(loops, quoted values, text fields, several data blocks).
"""

import argparse
import json
import math
import os
import re
import sys

import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORPUS = os.path.join(ROOT, "tests", "data", "corpus")

ELEMENTS = (
    "H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca Sc Ti V Cr Mn Fe Co Ni Cu Zn "
    "Ga Ge As Se Br Kr Rb Sr Y Zr Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe Cs Ba La Ce "
    "Pr Nd Pm Sm Eu Gd Tb Dy Ho Er Tm Yb Lu Hf Ta W Re Os Ir Pt Au Hg Tl Pb Bi Po At Rn "
    "Fr Ra Ac Th Pa U Np Pu Am Cm Bk Cf Es Fm Md No Lr D"
).split()
ELEMENT_SET = set(ELEMENTS)


# --------------------------------------------------------------------------
# CIF reading


def _tokens(text):
    """Yield the CIF tokens of text: values keep no quotes; '\\0;' marks none."""
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if line.startswith(";"):
            # A text field runs to the next line that starts with ';'.
            parts = [line[1:]]
            i += 1
            while i < len(lines) and not lines[i].startswith(";"):
                parts.append(lines[i])
                i += 1
            yield ("value", "\n".join(parts).strip())
            i += 1
            continue
        pos = 0
        n = len(line)
        while pos < n:
            c = line[pos]
            if c.isspace():
                pos += 1
                continue
            if c == "#":
                break
            if c in "'\"":
                # A quote ends only where whitespace or the line's end follows.
                end = pos + 1
                while True:
                    end = line.find(c, end)
                    if end < 0:
                        end = n
                        break
                    if end + 1 >= n or line[end + 1].isspace():
                        break
                    end += 1
                yield ("value", line[pos + 1 : end])
                pos = end + 1
                continue
            end = pos
            while end < n and not line[end].isspace():
                end += 1
            word = line[pos:end]
            pos = end
            low = word.lower()
            if word.startswith("_"):
                yield ("tag", word)
            elif low == "loop_":
                yield ("loop", word)
            elif low.startswith("data_"):
                yield ("data", word[5:])
            elif low.startswith("save_"):
                yield ("save", word[5:])
            else:
                yield ("bare", word)
        i += 1


class Block:
    def __init__(self, name):
        self.name = name
        self.items = {}  # lower-case tag -> value
        self.loops = []  # (tags, rows)
        self.repeated = []  # tags given more than once

    def _put(self, tag, value):
        key = tag.lower()
        if key in self.items or any(key in tags for tags, _ in self.loops):
            self.repeated.append(tag)
            return
        self.items[key] = value

    def find(self, tag):
        return self.items.get(tag.lower())

    def loop_with(self, tag):
        """Columns of the loop holding tag, as {tag: [values]}; None if none."""
        key = tag.lower()
        for tags, rows in self.loops:
            if key in tags:
                return {t: [r[k] for r in rows] for k, t in enumerate(tags)}
        value = self.items.get(key)
        if value is None:
            return None
        # A one-row table written as plain items: its category's items.
        prefix = "_".join(key.split("_")[:3]) + "_"
        return {t: [v] for t, v in self.items.items() if t.startswith(prefix)}


def read_cif(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    blocks = []
    block = None
    toks = list(_tokens(text))
    i = 0
    while i < len(toks):
        kind, word = toks[i]
        if kind == "data":
            block = Block(word)
            blocks.append(block)
            i += 1
        elif kind == "save":
            i += 1
        elif kind == "tag":
            if block is None:
                block = Block("")
                blocks.append(block)
            if i + 1 < len(toks) and toks[i + 1][0] in ("value", "bare"):
                block._put(word, toks[i + 1][1])
                i += 2
            else:
                block._put(word, "?")
                i += 1
        elif kind == "loop":
            i += 1
            tags = []
            while i < len(toks) and toks[i][0] == "tag":
                tags.append(toks[i][1].lower())
                i += 1
            values = []
            while i < len(toks) and toks[i][0] in ("value", "bare"):
                values.append(toks[i][1])
                i += 1
            if block is None:
                block = Block("")
                blocks.append(block)
            for t in tags:
                if t in block.items or any(t in ts for ts, _ in block.loops):
                    block.repeated.append(t)
            if tags:
                rows = [values[k : k + len(tags)] for k in range(0, len(values) - len(tags) + 1, len(tags))]
                block.loops.append((tags, rows))
        else:
            i += 1
    return blocks


def structure_block(blocks):
    """The first data block with atom-site coordinates."""
    for b in blocks:
        if b.loop_with("_atom_site_fract_x") is not None:
            return b
    return None


# --------------------------------------------------------------------------
# numbers, symbols, symmetry


def number(text):
    """A CIF number without its standard uncertainty; None for '.', '?'."""
    if text is None:
        return None
    t = text.strip()
    if t in ("", ".", "?"):
        return None
    t = re.sub(r"\(\d+\)$", "", t)
    try:
        return float(t)
    except ValueError:
        try:
            if "/" in t:
                a, b = t.split("/")
                return float(a) / float(b)
        except ValueError:
            pass
        return None


_CHARGED = re.compile(r"^([A-Z][a-z]?)(\d*)([+-])(\d*)(.*)$")


def element_of(symbol):
    """Element spelt at the start of a type symbol or label, or None."""
    if not symbol:
        return None
    m = re.match(r"^([A-Za-z]{1,2})", symbol)
    if not m:
        return None
    s = m.group(1)
    cand = [s[:1].upper() + s[1:2].lower(), s[:1].upper()]
    for c in cand:
        if c in ELEMENT_SET and (c == cand[0] or len(s) == 1 or not s[1:2].islower() or cand[0] not in ELEMENT_SET):
            return c
    for c in cand:
        if c in ELEMENT_SET:
            return c
    return None


def charge_of_symbol(symbol):
    """(element, charge, qualifier) of a charged type symbol such as Fe3+,
    O2-, O-2, OH-, O2-(H2O); charge None when the symbol carries none."""
    if not symbol:
        return None, None, ""
    m = _CHARGED.match(symbol)
    if not m:
        return element_of(symbol), None, ""
    el, before, sign, after, rest = m.groups()
    if before and after:
        return el, None, symbol
    digits = before or after or "1"
    q = int(digits) * (1 if sign == "+" else -1)
    return el, q, rest


def parse_symop(op):
    """Rotation matrix and translation of an operator like 'x,y+1/2,-z'."""
    parts = op.replace(" ", "").lower().split(",")
    if len(parts) != 3:
        raise ValueError("bad operator " + op)
    rot = np.zeros((3, 3))
    tr = np.zeros(3)
    for r, p in enumerate(parts):
        for sign, term in re.findall(r"([+-]?)([^+-]+)", p):
            s = -1.0 if sign == "-" else 1.0
            m = re.match(r"^(\d*\.?\d*)(?:/(\d+))?\*?([xyz])$", term)
            if m and (m.group(1) or m.group(3)):
                coef = 1.0
                if m.group(1):
                    coef = float(m.group(1))
                    if m.group(2):
                        coef /= float(m.group(2))
                rot[r, "xyz".index(m.group(3))] += s * coef
                continue
            m = re.match(r"^([xyz])(?:/(\d+))?$", term)
            if m:
                rot[r, "xyz".index(m.group(1))] += s / (float(m.group(2)) if m.group(2) else 1.0)
                continue
            if "/" in term:
                a, b = term.split("/")
                tr[r] += s * float(a) / float(b)
            else:
                tr[r] += s * float(term)
    return rot, tr


def symops(block):
    for tag in (
        "_space_group_symop_operation_xyz",
        "_symmetry_equiv_pos_as_xyz",
        "_space_group_symop.operation_xyz",
    ):
        cols = block.loop_with(tag)
        if cols is not None and tag in cols:
            return [parse_symop(o) for o in cols[tag]]
    return None


def cell_matrix(block):
    a, b, c = (number(block.find("_cell_length_" + k)) for k in "abc")
    al, be, ga = (math.radians(number(block.find("_cell_angle_" + k)) or 90.0) for k in ("alpha", "beta", "gamma"))
    va = np.array([a, 0, 0])
    vb = np.array([b * math.cos(ga), b * math.sin(ga), 0])
    cx = c * math.cos(be)
    cy = c * (math.cos(al) - math.cos(be) * math.cos(ga)) / math.sin(ga)
    cz = math.sqrt(max(c * c - cx * cx - cy * cy, 0.0))
    return np.array([va, vb, [cx, cy, cz]])


def orbit(ops, xyz, lattice, tol=0.02):
    """Distinct images of xyz in the cell (fractional, wrapped to [0,1))."""
    pts = []
    for rot, tr in ops:
        p = (rot @ xyz + tr) % 1.0
        p[np.isclose(p, 1.0, atol=1e-6)] = 0.0
        new = True
        for q in pts:
            d = p - q
            d -= np.round(d)
            if np.linalg.norm(d @ lattice) < tol:
                new = False
                break
        if new:
            pts.append(p)
    return pts


# --------------------------------------------------------------------------
# sites and stated valences


def sites(block):
    """Atom-site rows: dicts with label, type, element, occ, xyz, dummy."""
    cols = block.loop_with("_atom_site_fract_x")
    if cols is None:
        return []
    labels = cols.get("_atom_site_label")
    n = len(cols["_atom_site_fract_x"])
    out = []
    for k in range(n):
        label = labels[k] if labels else cols.get("_atom_site_type_symbol", ["?"] * n)[k]
        typ = cols.get("_atom_site_type_symbol", [None] * n)[k]
        if typ in (".", "?"):
            typ = None
        occ = number(cols.get("_atom_site_occupancy", ["1"] * n)[k])
        xyz = [number(cols[t][k]) for t in ("_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z")]
        flag = (cols.get("_atom_site_calc_flag", [""] * n)[k] or "").lower()
        dummy = flag == "dum" or any(v is None for v in xyz)
        out.append(
            {
                "label": label,
                "type": typ,
                "element": charge_of_symbol(typ)[0] if typ else element_of(label),
                "occ": 1.0 if occ is None else occ,
                "xyz": xyz,
                "dummy": dummy,
                "mult": number(cols.get("_atom_site_symmetry_multiplicity", ["?"] * n)[k]),
            }
        )
    return out


def atom_type_states(block):
    cols = block.loop_with("_atom_type_oxidation_number")
    if cols is None or "_atom_type_symbol" not in cols:
        return {}
    out = {}
    for sym, ox in zip(cols["_atom_type_symbol"], cols["_atom_type_oxidation_number"]):
        v = number(ox)
        if v is not None:
            out[sym] = v
    return out


def stated_valences(block, site_rows=None):
    """{label: valence} for every non-dummy site whose valence the file states;
    also the qualified type symbols met."""
    site_rows = sites(block) if site_rows is None else site_rows
    types = atom_type_states(block)
    out = {}
    qualified = []
    for s in site_rows:
        if s["dummy"]:
            continue
        typ = s["type"]
        v = None
        if typ is not None and typ in types:
            v = types[typ]
        elif typ is not None:
            _, q, rest = charge_of_symbol(typ)
            if rest:
                qualified.append(typ)
            if q is not None:
                v = float(q)
        if v is not None:
            out[s["label"]] = v
    return out, sorted(set(qualified))


def formula_counts(text):
    if not text:
        return {}
    out = {}
    for el, n in re.findall(r"([A-Z][a-z]?)\s*([0-9.]*)", text):
        try:
            out[el] = out.get(el, 0.0) + (float(n) if n else 1.0)
        except ValueError:
            pass
    return out


def analyse(path):
    """Everything the corpus needs to know of one file."""
    blocks = read_cif(path)
    b = structure_block(blocks)
    info = {"file": os.path.basename(path), "blocks": len(blocks)}
    if b is None:
        info["error"] = "no atom sites"
        return info
    info["repeated"] = sorted(set(t.lower() for t in b.repeated))
    rows = sites(b)
    info["sites"] = len([s for s in rows if not s["dummy"]])
    info["formula"] = (b.find("_chemical_formula_sum") or "").strip()
    info["amcsd"] = b.find("_database_code_amcsd")
    info["cod"] = b.find("_cod_database_code")
    info["name"] = b.find("_chemical_name_mineral") or b.find("_chemical_name_systematic") or ""
    valences, qualified = stated_valences(b, rows)
    info["valences"] = valences
    info["qualified"] = qualified
    real = [s for s in rows if not s["dummy"]]
    info["all_stated"] = bool(real) and all(s["label"] in valences for s in real)
    info["has_pos"] = any(v > 0 for v in valences.values())
    info["has_neg"] = any(v < 0 for v in valences.values())
    info["labels_unique"] = len(set(s["label"] for s in real)) == len(real)
    try:
        lattice = cell_matrix(b)
        ops = symops(b)
        info["no_operators"] = ops is None
        cell = []  # (label, element, occ, frac)
        for s in real:
            if ops is None:
                # Without operators the file's own multiplicity is all there is;
                # the positions then stand for the whole orbit.
                m = int(s["mult"]) if s["mult"] else 1
                cell.extend([(s["label"], s["element"], s["occ"], np.array(s["xyz"], float) % 1.0)] * m)
                continue
            for p in orbit(ops, np.array(s["xyz"], float) % 1.0, lattice):
                cell.append((s["label"], s["element"], s["occ"], p))
        info["natoms"] = len(cell)
        z = number(b.find("_cell_formula_units_z")) or 1.0
        info["z"] = z
        if info["all_stated"]:
            q = sum(occ * valences[lab] for lab, _, occ, _ in cell)
            info["charge_per_fu"] = q / z
        # One atom listed twice: same element, same place, occupancies above 1.
        dup = []
        # Operator-less files repeat each site in place, so they are not checked.
        for i in range(len(cell) if ops is not None else 0):
            for j in range(i + 1, len(cell)):
                li, ei, oi, pi = cell[i]
                lj, ej, oj, pj = cell[j]
                d = pi - pj
                d -= np.round(d)
                if np.linalg.norm(d @ lattice) < 0.02 and oi + oj > 1.01:
                    dup.append((li, lj, ei == ej))
        info["duplicates"] = sorted(set(dup))
        comp = {}
        for _, el, occ, _ in cell:
            comp[el] = comp.get(el, 0.0) + occ / z
        info["cell_formula"] = comp
    except Exception as e:  # noqa: BLE001 - a survey reports, it does not stop
        info["error"] = "cell: %s" % e
    return info


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--survey", nargs="*", help="print one line of features per file instead")
    ap.add_argument("--dir", default=os.path.join(CORPUS, "valences"))
    ap.add_argument("--out", default=os.path.join(CORPUS, "stated_valences.json"))
    ap.add_argument(
        "--only-stated",
        action="store_true",
        help="keep only files that state a valence for every site, cations and anions",
    )
    args = ap.parse_args()
    if args.survey is not None:
        for p in args.survey:
            try:
                i = analyse(p)
            except Exception as e:  # noqa: BLE001
                print("%s\tERROR %s" % (p, e))
                continue
            print(
                "\t".join(
                    str(x)
                    for x in (
                        p,
                        i.get("sites"),
                        i.get("natoms"),
                        "stated" if i.get("all_stated") else ("partial" if i.get("valences") else "none"),
                        int(bool(i.get("has_pos") and i.get("has_neg"))),
                        "%.3f" % i["charge_per_fu"] if "charge_per_fu" in i else "-",
                        i.get("formula"),
                        i.get("cod") or "",
                        i.get("amcsd") or "",
                        ";".join(i.get("qualified") or []),
                        ";".join(i.get("repeated") or []),
                        len(i.get("duplicates") or []),
                        i.get("error", ""),
                        i.get("name", ""),
                    )
                )
            )
        return 0
    files = sorted(f for f in os.listdir(args.dir) if f.endswith(".cif"))
    result = {}
    bad = 0
    for f in files:
        i = analyse(os.path.join(args.dir, f))
        if args.only_stated and not (i.get("all_stated") and i.get("has_pos") and i.get("has_neg")):
            continue
        result[f] = i["valences"]
        q = i.get("charge_per_fu")
        flags = []
        if not i.get("all_stated"):
            flags.append("not every site states a valence")
        if q is None or abs(q) > 0.1:
            flags.append("charge per formula unit %s" % ("?" if q is None else "%+.3f" % q))
        if i.get("duplicates"):
            flags.append("atoms listed twice: %s" % i["duplicates"][:3])
        if i.get("no_operators"):
            flags.append("no symmetry operators: multiplicities taken from the file")
        if i.get("qualified"):
            flags.append("qualified type symbols %s" % i["qualified"])
        if i.get("repeated"):
            flags.append("repeated items %s" % i["repeated"])
        if flags:
            bad += 1
            print("%s: %s" % (f, "; ".join(flags)))
    with open(args.out, "w") as out:
        json.dump(result, out, indent=1, sort_keys=True)
        out.write("\n")
    print("%d files, %d labels, %d with remarks; written %s" % (len(result), sum(len(v) for v in result.values()), bad, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
