// The structure of a calculation as the structure view draws it: the atoms of the unit cell and
// the neighbours outside it that complete each cation's polyhedron, the bonds of the valence
// summary, and the polyhedra with the faces of their convex hulls. Positions are Cartesian, in Å,
// with a along x and b in the xy plane; nothing here knows how it is drawn.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/matrix.h"
#include "frontend/engine_result.h"

namespace tarnell {

struct ModelAtom {
    int site = 0;  // index into EngineResult::sites
    Vector3 position{};
    bool inCell = true;  // within the cell (edges included), or a neighbour outside it
};

struct ModelBond {
    int from = 0, to = 0;  // atoms; `from` the cation
};

struct ModelPolyhedron {
    int centre = 0;                       // the cation's atom
    std::vector<int> corners;             // atoms
    std::vector<std::vector<int>> faces;  // each face as atoms in order round it
    std::optional<double> relative;       // ΔV/V of the centre's site, when summed
};

struct StructureModel {
    std::array<Vector3, 3> axes{};  // the cell edges a, b, c
    std::vector<ModelAtom> atoms;
    std::vector<ModelBond> bonds;
    std::vector<ModelPolyhedron> polyhedra;
};

// The model of `result`: every site placed by every operator into the cell, and the bonds of
// each cation (those of its site's summary, carried along by the same operator).
StructureModel buildStructureModel(const EngineResult& result);

// What the view draws of a structure before it is calculated: its cell, its sites and the
// operators of its group (its own, or those of the space-group data file's record), with no
// bonds. False when the group's operators cannot be had; the atoms are then those of the sites.
bool uncalculatedResult(const CrystalStructure& structure, const std::filesystem::path& spgraFile,
                        EngineResult& result);

// The Cartesian edges of a cell of a, b, c (Å) and alpha, beta, gamma (°).
std::array<Vector3, 3> cellAxes(const std::array<double, 6>& cell);

// The faces of the convex hull of `points`, each as indices into `points` in order round it;
// points within `tolerance` (Å) of a face's plane belong to that face. Empty for fewer than four
// points or points that span no volume.
std::vector<std::vector<int>> hullFaces(const std::vector<Vector3>& points,
                                        double tolerance = 0.02);

}  // namespace tarnell
