"""The Python module against the built engine on the real files of tests/data/realworld/, and the
adapters against the module's own reading of the same files.

Run by CTest with Debian's interpreter: PYTHONPATH names build/python, TARNELL_EXE the engine,
TARNELL_WORK its working directory, TARNELL_SOURCE_DIR the sources.
"""
import json
import math
import os
import shutil
import subprocess

import numpy as np
import pytest

import tarnell

SOURCE = os.environ.get("TARNELL_SOURCE_DIR",
                        os.path.join(os.path.dirname(__file__), "..", ".."))
REALWORLD = os.path.join(SOURCE, "tests", "data", "realworld")
ENGINE = os.environ.get("TARNELL_EXE")
WORK = os.environ.get("TARNELL_WORK")


def checked_files():
    names = []
    with open(os.path.join(REALWORLD, "checked.txt")) as f:
        for line in f:
            words = line.split()
            if words and not words[0].startswith("#") and len(words) == 1:
                names.append(words[0])
    return names


def engine_json(path, tmp_path, option="-c"):
    """The engine's JSON of `path`, run in a private copy of the working directory."""
    if not ENGINE or not WORK:
        pytest.skip("TARNELL_EXE and TARNELL_WORK name the built engine")
    for name in ("Tarnell.ini", "BVTable", "spgra.dat", "sgtrans.dat"):
        shutil.copy(os.path.join(WORK, name), tmp_path)
    run = subprocess.run([ENGINE, option, path, str(tmp_path / "out.txt"), "-j",
                          str(tmp_path / "out.json")], cwd=tmp_path, stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stdout + run.stderr
    with open(tmp_path / "out.json") as f:
        return json.load(f)


def close(a, b):
    if a is None or (isinstance(a, float) and math.isnan(a)):
        return b is None or (isinstance(b, float) and math.isnan(b))
    return b is not None and abs(float(a) - float(b)) <= 1e-12 * max(1.0, abs(float(b)))


def assert_same(a, b, where="result"):
    """Equal to the last bit and of the same types: dicts in the same key order, numpy columns of
    the same dtype (NaN equal to NaN)."""
    assert type(a) is type(b), where
    if isinstance(a, dict):
        assert list(a) == list(b), where
        for key in a:
            assert_same(a[key], b[key], where + "." + key)
    elif isinstance(a, list):
        assert len(a) == len(b), where
        for i, (x, y) in enumerate(zip(a, b)):
            assert_same(x, y, "%s[%d]" % (where, i))
    elif isinstance(a, np.ndarray):
        assert a.dtype == b.dtype and a.shape == b.shape, where
        assert np.array_equal(a, b, equal_nan=a.dtype.kind == "f"), where
    elif isinstance(a, float) and math.isnan(a):
        assert math.isnan(b), where
    else:
        assert a == b, where


@pytest.mark.parametrize("name", checked_files())
def test_module_gives_the_engines_numbers(name, tmp_path):
    path = os.path.join(REALWORLD, name)
    expected = engine_json(path, tmp_path)
    result = tarnell.calculate(tarnell.read(path))
    # The dict is built from the result directly, not from the JSON text: exactly what the
    # engine's JSON makes.
    assert_same(result, tarnell.columns(expected))

    for key in ("format_version", "status", "message", "title", "cell", "settings", "references"):
        assert result[key] == expected[key], key
    assert result["input"]["path"] == path and result["input"]["format"] == "cif"

    distances = result["distances"]
    assert len(distances["d"]) == len(expected["distances"])
    for i, entry in enumerate(expected["distances"]):
        assert distances["number"][i] == entry["number"]
        assert distances["code"][i] == entry["code"]
        assert close(distances["d"][i], entry["d"])
        assert np.allclose(distances["xyz"][i], entry["xyz"], rtol=0, atol=1e-12)
        assert list(distances["alternatives"][i]["s"]) == pytest.approx(
            [a["s"] for a in entry["alternatives"]], rel=1e-12)

    sums = result["sums"]
    for i, entry in enumerate(expected["sums"]):
        assert sums["site"][i] == entry["site"] and sums["cn"][i] == entry["cn"]
        assert list(sums["alternatives"][i]["bvs"]) == pytest.approx(
            [a["bvs"] for a in entry["alternatives"]], rel=1e-12)

    summary, wanted = result["valence_summary"], expected["valence_summary"]
    assert close(summary["gii"], wanted["gii"])
    for i, entry in enumerate(wanted["sites"]):
        assert summary["sites"]["site"][i] == entry["site"]
        for key in ("bvs", "sigma", "delta_v", "valence"):
            assert close(summary["sites"][key][i], entry[key]), (entry["site"], key)


@pytest.mark.parametrize("name, option", [("NaCl.inp", "-b"), ("forsterite.lst", "-r"),
                                          ("monazite_structured.txt", "-i"),
                                          ("forsterite_pbnm_older.txt", "-i")])
def test_every_format_reads_as_the_engine_reads_it(name, option, tmp_path):
    path = os.path.join(SOURCE, "examples", name)
    expected = engine_json(path, tmp_path, option)
    result = tarnell.calculate(tarnell.read(path))
    assert result["status"] == expected["status"] == "ok"
    assert result["sites"]["label"] == [s["label"] for s in expected["sites"]]
    assert list(result["distances"]["d"]) == [d["d"] for d in expected["distances"]]
    assert result["valence_summary"]["gii"] == expected["valence_summary"]["gii"]


def test_numeric_columns_are_numpy_arrays_and_text_columns_lists():
    result = tarnell.calculate(tarnell.read(os.path.join(REALWORLD, "PdO.cif")))
    sites = result["sites"]
    assert sites["occupancy"].dtype == float and sites["xyz"].shape == (len(sites["label"]), 3)
    assert isinstance(sites["label"], list)
    assert result["distances"]["number"].dtype == np.int64
    assert result["valence_summary"]["sites"]["bvs"].dtype == float


def test_the_table_is_read_once_per_process():
    assert tarnell.default_table() is tarnell.default_table()
    own = tarnell.Table()
    assert own.lines == tarnell.default_table().lines > 0 and own.bv_b == pytest.approx(0.37)


@pytest.mark.parametrize("path, words", [
    ("no/such/file.cif", "file.cif"),
    (os.path.join(REALWORLD, "SOURCES.md"), "Unknown structure file format"),
])
def test_a_file_that_cannot_be_read_raises_the_engines_message(path, words):
    with pytest.raises(tarnell.Error, match=words):
        tarnell.read(path)


def test_a_failed_calculation_returns_its_message():
    structure = tarnell.Structure()
    structure.title = "no cell"
    structure.space_group, structure.space_group_number = "P 1", 1
    site = tarnell.Site()
    site.label, site.element = "Na1", "Na"
    structure.sites = [site]
    result = tarnell.calculate(structure)
    assert result["status"] == "failed" and result["message"]


def valence_totals(result):
    """The bond valence sums of a cell, per element and valence: P 1 and the space group's own
    record must give the same totals."""
    totals = {}
    summary = result["valence_summary"]["sites"]
    labels = result["sites"]["label"]
    elements = result["sites"]["element"]
    for i, site in enumerate(summary["site"]):
        key = (elements[labels.index(site)], summary["valence"][i])
        totals[key] = totals.get(key, 0.0) + summary["bvs"][i] * summary["multiplicity"][i]
    return totals


def pymatgen_structure(name):
    pymatgen = pytest.importorskip("pymatgen.io.cif")
    return pymatgen.CifParser(os.path.join(REALWORLD, name)).get_structures(primitive=False)[0]


@pytest.mark.parametrize("name", ["PdO.cif", "NaCaNb2O6F-pyrochlore.cif", "PMN-PT.cif",
                                  "Ca3Al2O6.cif", "La2Zr2O7.cif"])
def test_pymatgen_adapter_keeps_valences_and_occupancies(name):
    own = tarnell.calculate(tarnell.read(os.path.join(REALWORLD, name)))
    structure = pymatgen_structure(name)
    adapted = tarnell.from_pymatgen(structure)
    occupancies = sorted(round(s.occupancy, 6) for s in adapted.sites)
    assert occupancies == sorted(round(o, 6) for site in structure
                                 for o in site.species.values())
    result = tarnell.calculate(structure)
    assert result["status"] == "ok", result["message"]
    assert result["valence_summary"]["gii"] == pytest.approx(own["valence_summary"]["gii"],
                                                             abs=1e-6)
    mine, theirs = valence_totals(result), valence_totals(own)
    assert mine.keys() == theirs.keys()
    for key in mine:
        assert mine[key] == pytest.approx(theirs[key], abs=1e-6), key


def test_ase_adapter_takes_initial_charges_as_valences():
    pytest.importorskip("ase")
    from ase import Atoms

    structure = pymatgen_structure("PdO.cif")
    atoms = Atoms([site.specie.symbol for site in structure],
                  scaled_positions=[site.frac_coords for site in structure],
                  cell=structure.lattice.matrix, pbc=True)
    atoms.set_initial_charges([site.specie.oxi_state for site in structure])
    result = tarnell.calculate(atoms)
    own = tarnell.calculate(tarnell.read(os.path.join(REALWORLD, "PdO.cif")))
    assert result["valence_summary"]["gii"] == pytest.approx(own["valence_summary"]["gii"],
                                                             abs=1e-6)


@pytest.mark.parametrize("name, scale, sites", [
    ("PdO.cif", (10, 5, 5), 1000),           # 4 atoms a cell
    ("Ca3Al2O6.cif", (2, 2, 2), 2112),
    ("PdO.cif", (25, 10, 10), 10000),
])
def test_supercells_give_the_sums_of_their_cell(name, scale, sites):
    structure = pymatgen_structure(name)
    small = tarnell.calculate(structure)
    big = tarnell.calculate(structure * scale)
    assert len(big["sites"]["label"]) == sites and big["status"] == "ok", big["message"]
    per_site = dict(zip(small["valence_summary"]["sites"]["site"],
                        small["valence_summary"]["sites"]["bvs"]))
    cells = scale[0] * scale[1] * scale[2]
    # A supercell from pymatgen lists each site's copies one after another.
    for i, (site, bvs) in enumerate(zip(big["valence_summary"]["sites"]["site"],
                                        big["valence_summary"]["sites"]["bvs"])):
        original = small["sites"]["label"][i // cells]
        assert bvs == pytest.approx(per_site[original], abs=1e-9), site
    assert big["valence_summary"]["gii"] == pytest.approx(small["valence_summary"]["gii"],
                                                          abs=1e-9)


@pytest.mark.parametrize("name", ["PdO.cif", "PMN-PT.cif", "augite-Kakanui.cif", "KCl.cif"])
def test_sums_are_the_summary_of_a_whole_calculation(name):
    structure = tarnell.read(os.path.join(REALWORLD, name))
    whole = tarnell.calculate(structure)["valence_summary"]
    quick = tarnell.sums(structure)
    if not whole["sites"]:  # no valences: no summary either way
        assert quick["gii"] is None and len(quick["bvs"]) == 0
        return
    assert quick["site"] == whole["sites"]["site"]
    for key in ("valence", "multiplicity", "bvs", "sigma", "cn", "delta_v"):
        assert np.array_equal(quick[key], whole["sites"][key], equal_nan=True), key
    assert quick["gii"] == whole["gii"]
