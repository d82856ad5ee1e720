"""Bond valence sums of crystal structures, in-process.

    import tarnell
    structure = tarnell.read("NaCl.cif")            # .inp, .lst, .txt or .cif
    result = tarnell.calculate(structure)           # a dict with the fields of Tarnell's JSON
    result["valence_summary"]["sites"]["bvs"]       # a numpy array, one value per site

A result mirrors the engine's JSON document (`Tarnell ... -j out.json`): the same fields, the same
`format_version`. A list of records (sites, distances, sums, the summary's sites) becomes a dict of
columns, in the records' order: a column of numbers is a numpy array (null becomes NaN), a column
of coordinate triplets an n x 3 array, any other column a list. An empty list of records stays an
empty list.

The parameter table, the settings and the space-group data are read once per process from the
working directory that ships inside the package (`tarnell/data/`, made by the build from the
same files as the engine's `build/work/`), or once per `tarnell.Table(directory)` for a working
directory of one's own.
"""

import json
import math
import os

from . import _tarnell
from ._tarnell import Error, Site, Structure
from .adapters import from_ase, from_pymatgen
# Importing the screen costs nothing: it imports Dask only when a screen starts.
from .screening import screen

__all__ = ["Error", "Site", "Structure", "Table", "calculate", "default_table", "from_ase",
           "from_pymatgen", "landscape", "read", "screen", "sums", "version"]

version = _tarnell.version
DATA_DIRECTORY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")

_default = None


def Table(directory=DATA_DIRECTORY):
    """The settings (Tarnell.ini), BVTable and space-group files of a working directory, read
    now and once; pass it to read() and calculate() as `table`."""
    return _tarnell.Table(os.fspath(directory))


def default_table():
    """The shipped working directory's table, read on first use and kept for the process."""
    global _default
    if _default is None:
        _default = Table()
    return _default


def read(path, table=None):
    """Reads a structure file by its extension (.inp, .lst, .txt, .cif), as the engine does;
    raises tarnell.Error with the engine's message when it cannot."""
    path = os.fspath(path)
    structure = _tarnell.read(path, table or default_table())
    structure.source_path = path
    structure.source_format = os.path.splitext(path)[1][1:].lower()
    return structure


def calculate(structure, table=None, dmax=None, dmin=None, hmax=None, hmin=None):
    """The bond valence calculation of `structure` (a tarnell.Structure, a pymatgen Structure or
    an ASE Atoms) as a dict of the engine's JSON fields.

    dmax, dmin, hmax, hmin override the settings' D-max, D-min, H-max, H-min (Å, cells). Without
    dmax every site keeps its own distance limit: the settings' D-max (3.5 Å) for a CIF, an
    ICSD text, a listing or a structure from an adapter, the file's for a native .inp file; with
    it, every site takes it. A calculation that fails returns its result too, with `status`
    "failed" and the engine's `message`."""
    if not isinstance(structure, Structure):
        structure = _adapt(structure)
    document = _tarnell.calculate_document(
        structure, table or default_table(), dmax=dmax, dmin=dmin, hmax=hmax, hmin=hmin,
        path=getattr(structure, "source_path", ""), format=getattr(structure, "source_format", ""))
    return columns(document)


def sums(structure, table=None, dmax=None, dmin=None, hmax=None, hmin=None):
    """The valence summary of `structure` alone, the same numbers as calculate()'s
    `valence_summary`, without rendering the rest: `status`, `message`, `gii` (None without
    valences) and the columns `site`, `valence`, `multiplicity`, `bvs`, `sigma`, `cn`, `delta_v`
    (numpy arrays; NaN where a pair has no parameters). For screening many structures."""
    if not isinstance(structure, Structure):
        structure = _adapt(structure)
    return _tarnell.sums(structure, table or default_table(), dmax=dmax, dmin=dmin, hmax=hmax,
                         hmin=hmin)


def landscape(structure, ion, table=None, step=0.1, cutoff=6.0, mobile=(), reference="",
              threads=0):
    """The bond valence landscape of the mobile ion `ion` ("Li+", "Mg2+", "O2-") in `structure`:
    the engine's JSON object `landscape` as a dict (`thresholds` {"1d", "2d", "3d"} in v.u.,
    `direction_1d`, `plane_2d`, `grid`, the parameters used). The ion's own sites are taken out
    first (those labelled in `mobile`, or every site of its element)."""
    if not isinstance(structure, Structure):
        structure = _adapt(structure)
    return json.loads(_tarnell.landscape_json(structure, table or default_table(), ion, step=step,
                                              cutoff=cutoff, mobile=list(mobile),
                                              reference=reference, threads=threads))


def _adapt(structure):
    module = type(structure).__module__
    if module.startswith("pymatgen"):
        return from_pymatgen(structure)
    if module.startswith("ase"):
        return from_ase(structure)
    raise TypeError("tarnell.calculate takes a tarnell.Structure, a pymatgen Structure or an "
                    "ASE Atoms, not %s" % type(structure).__name__)


def _is_number(value):
    return value is None or (isinstance(value, (int, float)) and not isinstance(value, bool))


def _column(values):
    import numpy as np

    if any(v is not None for v in values) and all(_is_number(v) for v in values):
        if any(v is None for v in values):
            return np.array([math.nan if v is None else v for v in values], dtype=float)
        if all(isinstance(v, int) for v in values):
            return np.array(values, dtype=np.int64)
        return np.array(values, dtype=float)
    if (values and all(isinstance(v, list) and len(v) == 3 and all(_is_number(x) for x in v)
                       for v in values)):
        return np.array([[math.nan if x is None else x for x in v] for v in values], dtype=float)
    return [columns(v) for v in values]


def columns(value):
    """A JSON value with every list of records made a dict of columns (see the module's text)."""
    if isinstance(value, dict):
        return {key: columns(item) for key, item in value.items()}
    if isinstance(value, list):
        if value and all(isinstance(item, dict) for item in value):
            keys = list(value[0].keys())
            if all(list(item.keys()) == keys for item in value):
                return {key: _column([item[key] for item in value]) for key in keys}
        return [columns(item) for item in value]
    return value
