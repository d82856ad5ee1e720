"""Structures of pymatgen and ASE as tarnell structures, in space group P 1.

A site holding several species (a mixed or partly filled position) becomes one tarnell site per
species at the same position, each with its occupancy, as a CIF with such a site reads: the
charge is the oxidation state times the occupancy, the valence the oxidation state. A species
without an oxidation state gets valence 0: it forms no bond of the valence summary, and no bond of
the distance list unless the table pairs its element without charges. Neither library is imported
until its adapter is called.
"""

from . import _tarnell


def _structure(title, cellpar):
    structure = _tarnell.Structure()
    structure.title = title
    structure.space_group = "P 1"
    structure.space_group_number = 1
    structure.space_group_setting = 1
    structure.cell = [float(v) for v in cellpar]
    return structure


class _Labels:
    """Labels as a CIF writes them: the element and a running number per element."""

    def __init__(self):
        self.counts = {}

    def next(self, element):
        self.counts[element] = self.counts.get(element, 0) + 1
        return "%s%d" % (element, self.counts[element])


def _site(labels, element, occupancy, xyz, oxidation):
    site = _tarnell.Site()
    site.label = labels.next(element)
    site.element = element
    site.occupancy = float(occupancy)
    site.x, site.y, site.z = (float(v) for v in xyz)
    site.valence = float(oxidation)
    site.charge = float(oxidation) * float(occupancy)
    return site


def from_pymatgen(structure, title=None):
    """A pymatgen Structure (ordered or disordered) as a P 1 tarnell structure; oxidation states
    come from the species (Species("Fe", 3)), occupancies from the site's composition."""
    lattice = structure.lattice
    result = _structure(title or structure.composition.reduced_formula,
                        list(lattice.abc) + list(lattice.angles))
    labels = _Labels()
    sites = []
    for site in structure:
        for species, occupancy in site.species.items():
            element = getattr(species, "symbol", None) or str(species)
            oxidation = getattr(species, "oxi_state", None) or 0.0
            sites.append(_site(labels, element, occupancy, site.frac_coords, oxidation))
    result.sites = sites
    return result


def from_ase(atoms, title=None):
    """An ASE Atoms as a P 1 tarnell structure. Oxidation states are the initial charges
    (atoms.set_initial_charges); occupancies those that ASE's CIF reader keeps in
    atoms.info["occupancy"] under each atom's tag, else 1."""
    result = _structure(title or atoms.get_chemical_formula(), atoms.cell.cellpar())
    occupancies = atoms.info.get("occupancy") or {}
    tags = atoms.get_tags()
    charges = atoms.get_initial_charges()
    labels = _Labels()
    sites = []
    for index, (element, xyz) in enumerate(zip(atoms.get_chemical_symbols(),
                                                atoms.get_scaled_positions(wrap=False))):
        occupancy = occupancies.get(str(tags[index]), {}).get(element, 1.0)
        sites.append(_site(labels, element, occupancy, xyz, charges[index]))
    result.sites = sites
    return result
