// Times the neighbour search alone, without reading or writing anything, on structures larger
// than a run of the engine allows today:
//   fm3m-80     80 sites at scattered general positions of F m -3 m (192 operators), the
//               largest structure of engine_bench;
//   fd3m-1000   1000 sites at seeded random general positions of F d -3 m (192 operators) in a
//               cell of a real structure's density;
//   p1-10000    a P1 supercell of fayalite (a real structure), 10 080 sites;
//   fd3m-tiny   (only when named) 80 sites of F d -3 m in a cell of 1 Å, the hostile case.
// Prints the fastest and the median time of each, and how many neighbours the search handed over.
//
//     build/bench/search_bench [case] [runs]
//
// Under callgrind count only the search itself:
//     valgrind --tool=callgrind --toggle-collect='tarnell::forEachNeighbour*'
//              build/bench/search_bench fd3m-1000 1
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "crystal/operator_expansion.h"
#include "engine/calculation.h"
#include "search/neighbour_search.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "valence/calculation.h"

namespace {

using namespace tarnell;
namespace fs = std::filesystem;

struct Input {
    CrystalStructure structure;
    OperatorTable operators;
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "search_bench: %s\n", what.c_str());
    std::exit(1);
}

OperatorTable operatorsOf(CrystalStructure& structure) {
    OperatorTable operators;
    std::vector<std::string> texts;
    const Status status = expandSymmetry(
        structure, readSpaceGroupData(fs::path(TARNELL_SOURCE_DIR) / "data" / "spgra.dat"),
        operators, texts);
    if (!status.ok()) fail(status.text(Program::Engine));
    return operators;
}

// A fixed linear congruential sequence in [0, 1): the same structures on every machine.
struct Sequence {
    unsigned seed;
    double next() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) % 100000) / 100000.0;
    }
};

Input generalPositions(int number, int sites, double edge, double dLimit, unsigned seed,
                       double spread) {
    Input input;
    CrystalStructure& s = input.structure;
    s.sgNumber = number;
    s.sgSetting = 1;
    s.cell = {edge, edge, edge, 90, 90, 90};
    s.cellSigma = {0.001, 0.001, 0.001, 0, 0, 0};
    Sequence random{seed};
    for (int i = 0; i < sites; ++i) {
        const bool cation = i % 2 == 0;
        Site site;
        site.name = (cation ? "Na" : "Cl") + std::to_string(i / 2 + 1);
        site.x = random.next() * spread;
        site.y = random.next() * spread;
        site.z = random.next() * spread;
        site.sx = site.sy = site.sz = 0.0001;
        site.charge = cation ? 1 : -1;
        site.dLimit = dLimit;
        s.sites.push_back(site);
    }
    input.operators = operatorsOf(s);
    return input;
}

// Every atom of the real cell as a site of its own, then the cell repeated n[0]·n[1]·n[2] times.
Input p1Supercell(const fs::path& cif, std::array<int, 3> n, double dLimit) {
    Input real;
    const ReaderContext context{dLimit, fs::path(TARNELL_SOURCE_DIR) / "data" / "sgtrans.dat"};
    Status status = readStructure(ReaderMode::CifFile, cif, real.structure, context);
    if (!status.ok()) fail(status.text(Program::Engine));
    copyCellUncertainties(real.structure);
    real.operators = operatorsOf(real.structure);
    const CellGeometry geometry = makeCellGeometry(real.structure.cell, real.structure.cellSigma);

    std::vector<Site> atoms;
    for (const Site& site : real.structure.sites) {
        std::vector<std::array<double, 3>> seen;
        for (const SymmetryOperator& op : real.operators) {
            std::array<double, 3> p{};
            const double xyz[3] = {site.x, site.y, site.z};
            for (int c = 0; c < 3; ++c) {
                p[c] = op.r[c][0] * xyz[0] + op.r[c][1] * xyz[1] + op.r[c][2] * xyz[2] + op.t[c];
                p[c] -= std::floor(p[c]);
            }
            const bool again = std::any_of(seen.begin(), seen.end(), [&](const auto& q) {
                std::array<double, 3> d{};
                for (int c = 0; c < 3; ++c) d[c] = p[c] - q[c] - std::round(p[c] - q[c]);
                return samePosition(geometry, d, {0, 0, 0});
            });
            if (again) continue;
            seen.push_back(p);
            Site atom = site;
            atom.x = p[0];
            atom.y = p[1];
            atom.z = p[2];
            atoms.push_back(atom);
        }
    }

    Input input;
    CrystalStructure& s = input.structure;
    s.sgNumber = 1;
    s.cell = real.structure.cell;
    s.cellSigma = real.structure.cellSigma;
    for (int c = 0; c < 3; ++c) {
        s.cell[c] *= n[c];
        s.cellSigma[c] *= n[c];
    }
    for (int i = 0; i < n[0]; ++i) {
        for (int j = 0; j < n[1]; ++j) {
            for (int k = 0; k < n[2]; ++k) {
                for (const Site& atom : atoms) {
                    Site copy = atom;
                    copy.name = atom.name + "_" + std::to_string(s.sites.size());
                    copy.x = (atom.x + i) / n[0];
                    copy.y = (atom.y + j) / n[1];
                    copy.z = (atom.z + k) / n[2];
                    copy.sx /= n[0];
                    copy.sy /= n[1];
                    copy.sz /= n[2];
                    copy.dLimit = dLimit;
                    s.sites.push_back(copy);
                }
            }
        }
    }
    input.operators = {SymmetryOperator{{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}}};
    return input;
}

struct Case {
    std::string name;
    std::string label;
    Input input;
    double dMax;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    const fs::path realworld = fs::path(TARNELL_SOURCE_DIR) / "tests" / "data" / "realworld";

    std::vector<Case> cases;
    const auto wanted = [&](const std::string& name) { return only.empty() || only == name; };
    if (wanted("fm3m-80")) {
        cases.push_back({"fm3m-80", "80 sites, 192 operators (F m -3 m, a 60 A)",
                         generalPositions(225, 80, 60.0, 3.0, 12345u, 0.5), 3.0});
    }
    if (wanted("fd3m-1000")) {
        // 192 000 atoms at 12 cubic Å each.
        cases.push_back({"fd3m-1000", "1000 sites, 192 operators (F d -3 m, a 132 A)",
                         generalPositions(227, 1000, 132.0, 3.5, 4711u, 1.0), 3.5});
    }
    if (wanted("p1-10000")) {
        cases.push_back({"p1-10000", "10 080 sites in P 1 (fayalite 9x4x10)",
                         p1Supercell(realworld / "Fe2SiO4-fayalite.cif", {9, 4, 10}, 3.5), 3.5});
    }
    if (only == "fd3m-tiny") {
        // Not among the default cases: 80 sites of one sign at general positions of F d -3 m in
        // a cell of 1 Å, some 30 million neighbours that no bond search stops.
        cases.push_back({"fd3m-tiny", "80 sites, 192 operators (F d -3 m, a 1 A)",
                         generalPositions(227, 80, 1.0, 3.5, 80u, 1.0), 3.5});
    }
    if (cases.empty()) fail("no case named " + only);

    for (Case& c : cases) {
        Settings settings;
        settings.dMax = c.dMax;
        settings.dMin = 0.5;
        settings.hMin = -1;
        settings.hMax = 1;
        std::vector<double> times;
        long neighbours = 0;
        double sum = 0;
        for (int run = 0; run < runs; ++run) {
            neighbours = 0;
            const auto start = std::chrono::steady_clock::now();
            forEachNeighbour(c.input.structure, c.input.operators, settings,
                             [&](const Neighbour& found) {
                                 ++neighbours;
                                 sum += found.d + found.sigma;
                                 return true;
                             });
            const auto end = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf(
            "%-48s %6zu sites %4zu operators  %8ld neighbours  fastest %9.2f ms  "
            "median %9.2f ms  (checksum %.6g)\n",
            c.label.c_str(), c.input.structure.sites.size(), c.input.operators.size(), neighbours,
            times.front(), times[times.size() / 2], sum / runs);
    }
    return 0;
}
