#include "frontend/structure_model.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "crystal/operator_text.h"
#include "structure/space_group_lookup.h"

namespace tarnell {
namespace {

// Coordinates that differ by less than this fraction of an edge are one place.
constexpr double SamePlace = 5e-4;
// A polyhedron with more corners than this is drawn as its bonds only: its hull would hide more
// than it shows.
constexpr std::size_t MaxCorners = 16;

Vector3 add(const Vector3& a, const Vector3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vector3 sub(const Vector3& a, const Vector3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Vector3& a, const Vector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

using PlaceKey = std::tuple<int, long long, long long, long long>;

PlaceKey keyOf(int site, const Vector3& frac) {
    auto step = [](double v) { return std::llround(v / SamePlace); };
    return {site, step(frac[0]), step(frac[1]), step(frac[2])};
}

class ModelBuilder {
public:
    explicit ModelBuilder(const EngineResult& result) : m_result(result) {
        m_model.axes = cellAxes(result.cell);
    }

    Vector3 cartesian(const Vector3& f) const {
        Vector3 p{};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k) p[k] += f[i] * m_model.axes[i][k];
        return p;
    }

    int atomAt(int site, const Vector3& frac, bool inCell) {
        const PlaceKey key = keyOf(site, frac);
        const auto found = m_places.find(key);
        if (found != m_places.end()) return found->second;
        const int index = static_cast<int>(m_model.atoms.size());
        m_model.atoms.push_back({site, cartesian(frac), inCell});
        m_places.emplace(key, index);
        return index;
    }

    StructureModel build() {
        std::vector<SymmetryOperator> operators;
        for (const std::string& text : m_result.operators) {
            std::string reason;
            if (const std::optional<SymmetryOperator> op = readOperatorText(text, reason))
                operators.push_back(*op);
        }
        if (operators.empty()) {
            SymmetryOperator identity;
            for (int i = 0; i < 3; ++i) identity.r[i][i] = 1.0;
            operators.push_back(identity);
        }
        // The summary's bonds of each site, with the neighbour's place.
        std::vector<std::vector<const ResultDistance*>> bondsOf(m_result.sites.size());
        for (const ResultDistance& distance : m_result.distances) {
            const int centre = m_result.siteIndex(distance.centre);
            if (centre >= 0 && distance.s)
                bondsOf[static_cast<std::size_t>(centre)].push_back(&distance);
        }

        for (std::size_t s = 0; s < m_result.sites.size(); ++s) {
            const ResultSite& site = m_result.sites[s];
            const bool cation = site.valence > 0.0 || (site.valence == 0.0 && site.charge > 0.0);
            const ResultSummarySite* summary = m_result.summaryOf(site.label);
            std::set<PlaceKey> done;
            for (const SymmetryOperator& op : operators) {
                const Vector3 image = add(multiply(op.r, site.xyz), op.t);
                for (const Vector3& shift : cellShifts(image)) {
                    const Vector3 frac = add(image, shift);
                    if (!done.insert(keyOf(0, frac)).second) continue;
                    const int centre = atomAt(static_cast<int>(s), frac, true);
                    if (!cation || bondsOf[s].empty()) continue;
                    ModelPolyhedron polyhedron;
                    polyhedron.centre = centre;
                    if (summary) polyhedron.relative = summary->relative;
                    for (const ResultDistance* bond : bondsOf[s]) {
                        const int neighbour = m_result.siteIndex(bond->neighbour);
                        if (neighbour < 0) continue;
                        const Vector3 at = add(add(multiply(op.r, bond->xyz), op.t), shift);
                        const bool inside = std::all_of(at.begin(), at.end(), [](double v) {
                            return v > -SamePlace && v < 1.0 + SamePlace;
                        });
                        const int corner = atomAt(neighbour, at, inside);
                        m_model.bonds.push_back({centre, corner});
                        polyhedron.corners.push_back(corner);
                    }
                    addFaces(polyhedron);
                    m_model.polyhedra.push_back(std::move(polyhedron));
                }
            }
        }
        return std::move(m_model);
    }

private:
    // The translations that bring an image into the cell, and onto every face, edge and corner
    // that it lies on, as a drawing of a cell shows them.
    static std::vector<Vector3> cellShifts(const Vector3& image) {
        std::vector<Vector3> shifts{{}};
        for (int i = 0; i < 3; ++i) {
            double reduced = image[i] - std::floor(image[i]);
            if (reduced > 1.0 - SamePlace) reduced = 0.0;
            const double base = reduced - image[i];
            const bool onFace = reduced < SamePlace;
            std::vector<Vector3> next;
            for (Vector3 shift : shifts) {
                shift[i] = base;
                next.push_back(shift);
                if (onFace) {
                    shift[i] = base + 1.0;
                    next.push_back(shift);
                }
            }
            shifts = std::move(next);
        }
        return shifts;
    }

    void addFaces(ModelPolyhedron& polyhedron) const {
        std::sort(polyhedron.corners.begin(), polyhedron.corners.end());
        polyhedron.corners.erase(std::unique(polyhedron.corners.begin(), polyhedron.corners.end()),
                                 polyhedron.corners.end());
        if (polyhedron.corners.size() < 3 || polyhedron.corners.size() > MaxCorners) return;
        std::vector<Vector3> points;
        for (const int corner : polyhedron.corners)
            points.push_back(m_model.atoms[static_cast<std::size_t>(corner)].position);
        std::vector<std::vector<int>> faces = hullFaces(points);
        // Three corners, or corners in one plane: the polygon itself.
        if (faces.empty() && points.size() <= 4) {
            std::vector<int> all(points.size());
            for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
            faces.push_back(all);
        }
        for (std::vector<int>& face : faces) {
            for (int& corner : face) corner = polyhedron.corners[static_cast<std::size_t>(corner)];
            polyhedron.faces.push_back(std::move(face));
        }
    }

    const EngineResult& m_result;
    StructureModel m_model;
    std::map<PlaceKey, int> m_places;
};

}  // namespace

StructureModel buildStructureModel(const EngineResult& result) {
    return ModelBuilder(result).build();
}

bool uncalculatedResult(const CrystalStructure& structure, const std::filesystem::path& spgraFile,
                        EngineResult& result) {
    result = EngineResult();
    result.ok = true;
    result.structureRead = true;
    result.title = structure.title;
    result.cell = structure.cell;
    result.sgNumber = structure.sgNumber;
    for (const Site& site : structure.sites) {
        result.sites.push_back({site.name,
                                elementSymbol(site.name),
                                site.g,
                                site.charge,
                                formalValence(site),
                                {site.x, site.y, site.z},
                                site.dLimit});
    }
    if (!structure.symmetryOperators.empty()) {
        result.operators = structure.symmetryOperators;
        return true;
    }
    CrystalStructure copy = structure;
    SpaceGroupRecord record;
    if (!findSpaceGroupRecord(readSpaceGroupData(spgraFile), copy, record).ok()) return false;
    std::vector<std::string> texts = record.operatorTexts;
    OperatorTable table;
    expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag, texts,
                            record.groupCodes, table);
    result.operators = std::move(texts);
    return true;
}

std::array<Vector3, 3> cellAxes(const std::array<double, 6>& cell) {
    const double degree = std::acos(-1.0) / 180.0;
    const double ca = std::cos(cell[3] * degree), cb = std::cos(cell[4] * degree);
    const double cg = std::cos(cell[5] * degree), sg = std::sin(cell[5] * degree);
    const double cy = sg != 0.0 ? (ca - cb * cg) / sg : 0.0;
    const double cz = std::sqrt(std::max(0.0, 1.0 - cb * cb - cy * cy));
    return {Vector3{cell[0], 0.0, 0.0}, Vector3{cell[1] * cg, cell[1] * sg, 0.0},
            Vector3{cell[2] * cb, cell[2] * cy, cell[2] * cz}};
}

std::vector<std::vector<int>> hullFaces(const std::vector<Vector3>& points, double tolerance) {
    std::vector<std::vector<int>> faces;
    const int n = static_cast<int>(points.size());
    if (n < 4) return faces;
    std::set<std::vector<int>> seen;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            for (int k = j + 1; k < n; ++k) {
                Vector3 normal = cross(sub(points[j], points[i]), sub(points[k], points[i]));
                const double length = std::sqrt(dot(normal, normal));
                if (length < 1e-9) continue;
                for (double& v : normal) v /= length;
                std::vector<int> on;
                bool above = false, below = false;
                for (int m = 0; m < n; ++m) {
                    const double side = dot(normal, sub(points[m], points[i]));
                    if (std::fabs(side) <= tolerance) {
                        on.push_back(m);
                    } else {
                        (side > 0 ? above : below) = true;
                    }
                }
                if ((above && below) || (!above && !below) || !seen.insert(on).second) continue;
                // Round the face's centre, by the angle in its plane.
                Vector3 centre{};
                for (const int m : on)
                    for (int c = 0; c < 3; ++c) centre[c] += points[m][c] / on.size();
                const Vector3 u = sub(points[on[0]], centre);
                const Vector3 w = cross(normal, u);
                std::sort(on.begin(), on.end(), [&](int p, int q) {
                    const Vector3 dp = sub(points[p], centre), dq = sub(points[q], centre);
                    return std::atan2(dot(dp, w), dot(dp, u)) < std::atan2(dot(dq, w), dot(dq, u));
                });
                faces.push_back(std::move(on));
            }
        }
    }
    return faces;
}

}  // namespace tarnell
