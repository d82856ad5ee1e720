// The landscape layer: percolation on grids made for the case, the frame's removal of the
// mobile ion, the grid against a plain sum over every image, the cube file, and real structures
// whose conduction paths the literature knows.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "engine/landscape_run.h"
#include "landscape/cube_file.h"
#include "landscape/landscape_frame.h"
#include "landscape/landscape_grid.h"
#include "landscape/percolation.h"
#include "tests/engine_runs.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

using Grid = std::array<int, 3>;

// A grid of `fill` with `low` where `inside` says so. The fill is the grid's largest value, which
// never percolates, so only the low region can.
template <typename Inside>
std::vector<float> gridOf(const Grid& n, float fill, float low, Inside inside) {
    std::vector<float> values(static_cast<std::size_t>(n[0]) * n[1] * n[2], fill);
    for (int i = 0; i < n[0]; ++i)
        for (int j = 0; j < n[1]; ++j)
            for (int k = 0; k < n[2]; ++k)
                if (inside(i, j, k))
                    values[(static_cast<std::size_t>(i) * n[1] + j) * n[2] + k] = low;
    return values;
}

struct SyntheticCase {
    const char* name;
    std::vector<float> values;
    std::array<std::optional<double>, 3> thresholds;
    LatticeVector direction;
    std::array<LatticeVector, 2> plane;
};

TEST(Percolation, DimensionDirectionAndPlaneOfGridsMadeForTheCase) {
    const Grid n{6, 7, 8};
    const std::vector<SyntheticCase> cases = {
        // Channels that sit on the cell's faces only connect across them.
        {"channel along a on the b and c faces",
         gridOf(n, 10, 1, [](int, int j, int k) { return j == 0 && k == 7; }),
         {1.0, std::nullopt, std::nullopt},
         {1, 0, 0},
         {}},
        {"channel along c straddling the a face",
         gridOf(n, 10, 2, [](int i, int j, int) { return (i == 5 || i == 0) && j == 3; }),
         {2.0, std::nullopt, std::nullopt},
         {0, 0, 1},
         {}},
        // A staircase through face neighbours: wraps along a and b together, one cell each.
        {"diagonal channel [1 1 0]",
         gridOf(Grid{6, 6, 5}, 10, 1,
                [](int i, int j, int k) { return k == 2 && (j == i || j == (i + 1) % 6); }),
         {1.0, std::nullopt, std::nullopt},
         {1, 1, 0},
         {}},
        {"diagonal channel [1 -1 0]",
         gridOf(
             Grid{6, 6, 5}, 10, 1,
             [](int i, int j, int k) { return k == 2 && (j == (6 - i) % 6 || j == (11 - i) % 6); }),
         {1.0, std::nullopt, std::nullopt},
         {1, -1, 0},
         {}},
        {"plane bc at the a face",
         gridOf(n, 10, 3, [](int i, int, int) { return i == 0; }),
         {3.0, 3.0, std::nullopt},
         {0, 1, 0},
         {LatticeVector{0, 1, 0}, LatticeVector{0, 0, 1}}},
        {"everything but one point",
         gridOf(n, 10, 4, [](int i, int j, int k) { return i + j + k > 0; }),
         {4.0, 4.0, 4.0},
         {0, 0, 1},
         {LatticeVector{0, 1, 0}, LatticeVector{0, 0, 1}}},
        {"isolated pockets only",
         gridOf(n, 10, 1,
                [](int i, int j, int k) { return i % 3 == 1 && j % 3 == 1 && k % 3 == 1; }),
         {},
         {},
         {}},
    };
    for (const SyntheticCase& c : cases) {
        SCOPED_TRACE(c.name);
        Grid points = n;
        if (std::string(c.name).rfind("diagonal", 0) == 0) points = {6, 6, 5};
        const Percolation p = findPercolation(points, c.values);
        for (int d = 0; d < 3; ++d) EXPECT_EQ(p.thresholds[d], c.thresholds[d]) << d + 1 << "D";
        // Where 1D and 2D come at once, any direction of the plane is the path's.
        if (c.thresholds[0] && c.thresholds[0] != c.thresholds[1]) {
            EXPECT_EQ(p.direction1d, c.direction);
        }
        if (c.thresholds[1]) {
            EXPECT_EQ(p.plane2d, c.plane);
        }
    }
}

TEST(Percolation, ThresholdsRiseWithTheChannelsThatJoinInOrder) {
    // A channel along a at 1, one along b at 2 crossing it, the plane they span at 3.
    const Grid n{8, 8, 8};
    std::vector<float> values = gridOf(n, 10, 3, [](int, int, int k) { return k == 4; });
    for (int i = 0; i < 8; ++i) values[(static_cast<std::size_t>(i) * 8 + 2) * 8 + 4] = 1;
    for (int j = 0; j < 8; ++j) {
        if (j != 2) values[(static_cast<std::size_t>(6) * 8 + j) * 8 + 4] = 2;
    }
    const Percolation p = findPercolation(n, values);
    EXPECT_EQ(p.thresholds[0], 1.0);
    EXPECT_EQ(p.direction1d, (LatticeVector{1, 0, 0}));
    EXPECT_EQ(p.thresholds[1], 2.0);
    EXPECT_EQ(p.plane2d,
              (std::array<LatticeVector, 2>{LatticeVector{1, 0, 0}, LatticeVector{0, 1, 0}}));
    EXPECT_FALSE(p.thresholds[2]);
}

// A table with the lines the frames below need.
ParameterTable smallTable() {
    ParameterTable table;
    table.lines.push_back({"Li", 1, "O", 2, 1.466, "a", 0.0});
    table.lines.push_back({"Li", 1, "F", 1, 1.360, "a", 0.0});
    table.lines.push_back({"Mg", 2, "O", 2, 1.693, "a", 0.0});
    return table;
}

Site siteOf(const std::string& name, double x, double y, double z, double valence, double g = 1.0) {
    Site site;
    site.name = name;
    site.x = x;
    site.y = y;
    site.z = z;
    site.g = g;
    site.charge = valence;
    site.element = elementSymbol(name);
    return site;
}

CrystalStructure smallStructure() {
    CrystalStructure s;
    s.cell = {5.0, 6.0, 7.0, 90.0, 100.0, 90.0};
    s.sites = {siteOf("Li1", 0.1, 0.2, 0.3, 1), siteOf("Li2", 0.0, 0.0, 0.0, 1),
               siteOf("Mg1", 0.5, 0.5, 0.5, 2), siteOf("O1", 0.25, 0.4, 0.1, -2),
               siteOf("O2", 0.7, 0.1, 0.8, -2, 0.5)};
    return s;
}

// Identity and inversion through the origin.
std::vector<SymmetryOperator> inversionGroup() {
    SymmetryOperator inversion;
    for (int i = 0; i < 3; ++i) inversion.r[i][i] = -1.0;
    return {test::identity(), inversion};
}

TEST(LandscapeFrame, RemovesTheMobileIonsSitesAndKeepsEveryOtherImageOnce) {
    struct Case {
        const char* name;
        std::vector<std::string> mobile;
        std::vector<std::string> removed;  // labels of the removed images, in order
        std::size_t kept;
    };
    // Li2 and Mg1 sit on inversion centres: one image each; Li1, O1, O2 two each.
    const std::vector<Case> cases = {
        {"every site of the element", {}, {"Li1", "Li1", "Li2"}, 5},
        {"the named site only", {"Li2"}, {"Li2"}, 7},
        {"two named sites", {"Li1", "Mg1"}, {"Li1", "Li1", "Mg1"}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LandscapeFrame frame;
        ASSERT_TRUE(buildLandscapeFrame(smallStructure(), inversionGroup(), smallTable(),
                                        TestIon{"Li", 1}, c.mobile, 0.37, frame)
                        .ok());
        std::vector<std::string> removed;
        for (const FrameIon& ion : frame.removed) removed.push_back(ion.label);
        EXPECT_EQ(removed, c.removed);
        EXPECT_EQ(frame.ions.size(), c.kept);
        for (const FrameIon& ion : frame.ions) {
            EXPECT_EQ(ion.counterIon, ion.element == "O") << ion.label;
            if (ion.counterIon) {
                EXPECT_DOUBLE_EQ(ion.r0, 1.466);
                EXPECT_DOUBLE_EQ(ion.b, 0.37);
            }
        }
    }
}

TEST(LandscapeFrame, APreferredReferenceGivesItsOwnLineWhereTheTableHasOne) {
    ParameterTable table = smallTable();
    table.lines.push_back({"Li", 1, "O", 2, 1.1745, "c", 0.514});
    struct Case {
        const char* reference;
        double r0, b;
        const char* used;
    };
    // Mg-O has no line of "c": that pair would fall back, but Mg is no counter-ion of Li+.
    for (const Case& c : {Case{"", 1.466, 0.37, "a"}, Case{"c", 1.1745, 0.514, "c"},
                          Case{"zz", 1.466, 0.37, "a"}}) {
        SCOPED_TRACE(c.reference);
        LandscapeFrame frame;
        ASSERT_TRUE(buildLandscapeFrame(smallStructure(), inversionGroup(), table, TestIon{"Li", 1},
                                        {}, 0.37, frame, c.reference)
                        .ok());
        ASSERT_EQ(frame.pairs.size(), 1u);
        EXPECT_EQ(frame.pairs[0].reference, c.used);
        for (const FrameIon& ion : frame.ions) {
            if (!ion.counterIon) continue;
            EXPECT_DOUBLE_EQ(ion.r0, c.r0);
            EXPECT_DOUBLE_EQ(ion.b, c.b);
        }
    }
}

TEST(LandscapeFrame, RefusesWhatWouldGiveAWrongLandscape) {
    LandscapeFrame frame;
    const auto build = [&](const TestIon& ion, const std::vector<std::string>& mobile) {
        return buildLandscapeFrame(smallStructure(), inversionGroup(), smallTable(), ion, mobile,
                                   0.37, frame);
    };
    EXPECT_NE(build({"Li", 1}, {"Li9"}).text(Program::Engine).find("No site is labelled Li9"),
              std::string::npos);
    // Na+ has no line with O2- in this table: a landscape without its bonds would be all wrong.
    EXPECT_NE(build({"Na", 1}, {}).text(Program::Engine).find("Na+ \u2013 O2-"), std::string::npos);
    EXPECT_NE(
        build({"F", -1}, {"O1", "O2"}).text(Program::Engine).find("No bond valence parameters"),
        std::string::npos);
}

TEST(LandscapeFrame, TestIonsAreReadAsTheChemistWritesThem) {
    struct Case {
        const char* text;
        std::optional<std::pair<std::string, int>> ion;
        const char* name = "";
    };
    const std::vector<Case> cases = {{"Li+", {{"Li", 1}}, "Li+"},  {"Mg2+", {{"Mg", 2}}, "Mg2+"},
                                     {"O2-", {{"O", -2}}, "O2-"},  {"F-", {{"F", -1}}, "F-"},
                                     {"Li1+", {{"Li", 1}}, "Li+"}, {"Li", std::nullopt},
                                     {"li+", std::nullopt},        {"Mg0+", std::nullopt},
                                     {"Mg2+x", std::nullopt},      {"", std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<TestIon> ion = parseTestIon(c.text);
        ASSERT_EQ(ion.has_value(), c.ion.has_value());
        if (ion) {
            EXPECT_EQ(ion->element, c.ion->first);
            EXPECT_EQ(ion->valence, c.ion->second);
            EXPECT_EQ(testIonName(*ion), c.name);
        }
    }
}

// The square of a fractional difference's length, from the metric tensor of `c`.
double squaredLength(const std::array<double, 6>& c, const std::array<double, 3>& d) {
    const double rad = 3.14159265358979323846 / 180.0;
    const double g[3][3] = {
        {c[0] * c[0], c[0] * c[1] * std::cos(c[5] * rad), c[0] * c[2] * std::cos(c[4] * rad)},
        {c[0] * c[1] * std::cos(c[5] * rad), c[1] * c[1], c[1] * c[2] * std::cos(c[3] * rad)},
        {c[0] * c[2] * std::cos(c[4] * rad), c[1] * c[2] * std::cos(c[3] * rad), c[2] * c[2]}};
    double sq = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sq += d[i] * g[i][j] * d[j];
    return sq;
}

// The mismatch at a fractional position from every image within five cells: no Cartesian axes,
// no blocks, no cell list.
double plainMismatch(const LandscapeFrame& frame, const std::array<double, 3>& x, double cutoff) {
    double bvs = 0.0;
    for (const FrameIon& ion : frame.ions) {
        if (!ion.counterIon) continue;
        for (int u = -5; u <= 5; ++u)
            for (int v = -5; v <= 5; ++v)
                for (int w = -5; w <= 5; ++w) {
                    const double sq = squaredLength(
                        frame.cell, {ion.position[0] + u - x[0], ion.position[1] + v - x[1],
                                     ion.position[2] + w - x[2]});
                    if (sq < cutoff * cutoff)
                        bvs += ion.occupancy * std::exp((ion.r0 - std::sqrt(sq)) / ion.b);
                }
    }
    return std::fabs(bvs - std::abs(frame.ion.valence));
}

TEST(LandscapeGrid, AgreesWithThePlainSumOverEveryImageAtEveryPoint) {
    LandscapeFrame frame;
    CrystalStructure s = smallStructure();
    s.cell = {4.1, 5.3, 4.7, 80.0, 104.0, 113.0};  // triclinic, so that a transposed axis shows
    ASSERT_TRUE(
        buildLandscapeFrame(s, inversionGroup(), smallTable(), TestIon{"Li", 1}, {}, 0.37, frame)
            .ok());
    Landscape landscape;
    const LandscapeOptions options{0.4, 5.0, 2};
    ASSERT_TRUE(computeLandscape(frame, options, landscape).ok());
    const Grid& n = landscape.points;
    ASSERT_EQ(n, (Grid{11, 14, 12}));
    const float largest = *std::max_element(landscape.values.begin(), landscape.values.end());
    int blocked = 0;
    for (int i = 0; i < n[0]; ++i)
        for (int j = 0; j < n[1]; ++j)
            for (int k = 0; k < n[2]; ++k) {
                const std::array<double, 3> x{double(i) / n[0], double(j) / n[1], double(k) / n[2]};
                const float got = landscape.values[(std::size_t(i) * n[1] + j) * n[2] + k];
                // Within 2 Å of Mg1 (at the cell's centre) or an image of it the point is no
                // place for Li+.
                double sq = 1e9;
                for (int u = -1; u <= 1; ++u)
                    for (int v = -1; v <= 1; ++v)
                        for (int w = -1; w <= 1; ++w)
                            sq = std::min(sq, squaredLength(s.cell, {x[0] - 0.5 + u, x[1] - 0.5 + v,
                                                                     x[2] - 0.5 + w}));
                if (sq < 4.0) {
                    ++blocked;
                    EXPECT_EQ(got, largest);
                    continue;
                }
                const double want = plainMismatch(frame, x, options.cutoff);
                ASSERT_NEAR(got, want, 1e-5 * std::max(1.0, want)) << i << " " << j << " " << k;
            }
    EXPECT_GT(blocked, 20);
}

TEST(LandscapeGrid, RefusesStepsAndCutoffsThatMakeNoGrid) {
    LandscapeFrame frame;
    frame.cell = {10, 10, 10, 90, 90, 90};
    Landscape landscape;
    for (const auto& [step, cutoff] : std::vector<std::pair<double, double>>{{0.0, 6.0},
                                                                             {-0.1, 6.0},
                                                                             {NAN, 6.0},
                                                                             {0.1, 0.0},
                                                                             {0.1, 25.0},
                                                                             {0.001, 6.0},
                                                                             {1e-12, 6.0}}) {
        EXPECT_FALSE(computeLandscape(frame, {step, cutoff, 1}, landscape).ok()) << step << cutoff;
    }
}

TEST(CubeFile, HeaderInBohrAlongTheCellsAxesAndOneValuePerPoint) {
    LandscapeFrame frame;
    frame.cell = {3.0, 4.0, 5.0, 90.0, 90.0, 120.0};
    frame.ions.push_back({{0.5, 0.0, 0.0}, "O1", "O", -2, 1, true, 1.4, 0.37});
    frame.removed.push_back({{0.0, 0.0, 0.0}, "Li1", "Li", 1, 1, false, 0, 0});
    Landscape landscape;
    landscape.points = {2, 3, 7};
    for (int v = 0; v < 42; ++v) landscape.values.push_back(static_cast<float>(v) / 8.0f);
    std::istringstream in(cubeText(frame, landscape, "title"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "title");
    std::getline(in, line);
    int count = 0;
    double x = 0, y = 0, z = 0;
    in >> count >> x >> y >> z;
    EXPECT_EQ(count, 2);
    const double bohr = 0.529177210903;
    const double expected[3][3] = {{3.0 / 2 / bohr, 0, 0},
                                   {-4.0 * 0.5 / 3 / bohr, 4.0 * std::sqrt(3.0) / 2 / 3 / bohr, 0},
                                   {0, 0, 5.0 / 7 / bohr}};
    const int points[3] = {2, 3, 7};
    for (int i = 0; i < 3; ++i) {
        in >> count >> x >> y >> z;
        EXPECT_EQ(count, points[i]);
        EXPECT_NEAR(x, expected[i][0], 1e-5);
        EXPECT_NEAR(y, expected[i][1], 1e-5);
        EXPECT_NEAR(z, expected[i][2], 1e-5);
    }
    double charge = 0;
    in >> count >> charge >> x >> y >> z;
    EXPECT_EQ(count, 8);
    EXPECT_NEAR(x, 1.5 / bohr, 1e-5);
    in >> count >> charge >> x >> y >> z;
    EXPECT_EQ(count, 3);
    std::vector<double> values;
    for (double v; in >> v;) values.push_back(v);
    ASSERT_EQ(values.size(), 42u);
    for (int v = 0; v < 42; ++v) EXPECT_NEAR(values[v], v / 8.0, 1e-5);
}

// Real structures through the whole command: the built working directory's table and
// space-group files, the file's own symmetry. The 1D threshold must lie between `above` and
// `below`; the thresholds beyond `dimensions` must be none or, where `closedBelow` is set, no
// lower than it: walls that only an absurd mismatch crosses. `allAtOnce`: a cubic structure
// whose path along one axis is, by its symmetry, a path along all three.
struct RealCase {
    const char* file;
    const char* ion;
    std::vector<std::string> options;
    int dimensions;
    nlohmann::json direction;
    nlohmann::json plane;
    double above;
    double below;
    const char* why;
    double closedBelow = 0.0;
    bool allAtOnce = false;
};

TEST(LandscapeRun, RealStructuresConductInTheDimensionsTheLiteratureKnows) {
    const std::filesystem::path work = test::builtWorkDir();
    const std::filesystem::path data = std::filesystem::path(TARNELL_SOURCE_DIR) / "tests/data";
    using nlohmann::json;
    const std::vector<RealCase> cases = {
        // clang-format off
        {"landscape/LiFePO4-triphylite.inp", "Li+", {}, 1, {0, 1, 0}, nullptr, 0.0, 0.3,
         "olivine: Li along the b channels of Pnma only"},
        {"landscape/LiFePO4-triphylite.inp", "Li+", {"--reference", "c"}, 1, {0, 1, 0}, nullptr,
         0.0, 0.1, "the same with the softness-sensitive lines, fitted for this cutoff"},
        {"landscape/LiCoO2.cif", "Li+", {}, 2, nullptr, {{1, 0, 0}, {0, 1, 0}}, 0.0, 1.5,
         "layered: Li in the ab layers between the CoO2 sheets, never across them"},
        {"realworld/SiO2-quartz.cif", "K+", {}, 3, nullptr, nullptr, 3.0, 10.0,
         "K+ (r0 2.13 \u00c5 to O) is overbonded several times over in quartz's narrow channels"},
        {"realworld/Fe2SiO4-fayalite.cif", "Li+", {}, 0, nullptr, nullptr, 0.0, 0.0,
         "olivine without Li: Fe2+ fills the channels Li+ would take, and stays in the frame"},
        {"landscape/cod-2003005-Ag7PSe6.cif", "Ag+", {}, 3, nullptr, nullptr, 0.1, 0.5,
         "argyrodite: Ag+ moves in three dimensions through the Se framework", 0.0, true},
        {"landscape/cod-8103385-Ag0.26V6S8.cif", "Ag+", {}, 1, {0, 0, 1}, nullptr, 0.0, 0.1,
         "Ag+ along the hexagonal tunnels of V6S8 (c), walled off from one another by V and S",
         50.0},
        {"landscape/cod-2019542-NaYS2.cif", "Na+", {}, 2, nullptr, {{1, 0, 0}, {0, 1, 0}}, 1.0,
         2.0, "alpha-NaFeO2 type like LiCoO2: Na+ in the ab layers between the YS2 sheets",
         10.0},
        // clang-format on
    };
    for (const RealCase& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.why);
        test::TempDir dir;
        std::vector<std::string> args = {"Tarnell",
                                         "--landscape",
                                         c.ion,
                                         (data / c.file).string(),
                                         (dir / "out.cube").string(),
                                         "--step",
                                         "0.2",
                                         "-j",
                                         (dir / "out.json").string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        std::ostringstream console;
        ASSERT_EQ(runLandscape(args, work, console), 0) << console.str();
        const json landscape = json::parse(test::readFile(dir / "out.json"))["landscape"];
        const json& thresholds = landscape["thresholds"];
        const char* keys[] = {"1d", "2d", "3d"};
        for (int d = 0; d < 3; ++d) {
            const json& t = thresholds[keys[d]];
            if (d < c.dimensions) {
                EXPECT_FALSE(t.is_null()) << keys[d] << ": " << console.str();
            } else if (c.closedBelow > 0.0 && !t.is_null()) {
                EXPECT_GT(t.get<double>(), c.closedBelow) << keys[d] << ": " << console.str();
            } else {
                EXPECT_TRUE(t.is_null()) << keys[d] << ": " << console.str();
            }
        }
        if (c.allAtOnce) {
            EXPECT_EQ(thresholds["3d"], thresholds["1d"]) << console.str();
        }
        if (c.dimensions > 0) {
            ASSERT_FALSE(thresholds["1d"].is_null());
            EXPECT_GT(thresholds["1d"].get<double>(), c.above);
            EXPECT_LT(thresholds["1d"].get<double>(), c.below);
        }
        if (!c.direction.is_null()) {
            EXPECT_EQ(landscape["direction_1d"], c.direction);
        }
        if (!c.plane.is_null()) {
            EXPECT_EQ(landscape["plane_2d"], c.plane);
        }
        EXPECT_NE(test::readFile(dir / "out.cube").find("Tarnell landscape of"), std::string::npos);
    }
}

TEST(LandscapeRun, CommandLinesThatMakeNoLandscapeSayWhy) {
    const std::filesystem::path work = test::builtWorkDir();
    const std::string input =
        (std::filesystem::path(TARNELL_SOURCE_DIR) / "tests/data/landscape/LiFePO4-triphylite.inp")
            .string();
    test::TempDir dir;
    const std::string cube = (dir / "out.cube").string();
    struct Case {
        std::vector<std::string> tail;  // after "Tarnell --landscape"
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"Li+", input}, -1, "Invalid usage"},
        {{"Li", input, cube}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--step", "x"}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--threads", "0"}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--mobile"}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--mobile", "-j", "x.json"}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--sideways"}, -1, "Invalid usage"},
        // An output over the structure or the table would destroy what the run reads.
        {{"Li+", input, input}, -1, "Invalid usage"},
        {{"Li+", input, cube, "-j", input}, -1, "Invalid usage"},
        {{"Li+", input, (work / "BVTable").string()}, -1, "Invalid usage"},
        {{"Li+", input, cube, "-j", cube}, -1, "Invalid usage"},
        {{"Li+", input, cube, "--mobile", "Li7"}, 1, "No site is labelled Li7"},
        {{"Li+", input, cube, "--step", "0.00001"}, 1, "take a larger step"},
        {{"Li+", input, (dir / "no/such/folder/out.cube").string()}, 1, "cannot be written"},
        {{"Li+", (dir / "missing.inp").string(), cube}, 1, "not found"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"Tarnell", "--landscape"};
        args.insert(args.end(), c.tail.begin(), c.tail.end());
        SCOPED_TRACE(args.back());
        std::ostringstream console;
        EXPECT_EQ(runLandscape(args, work, console), c.status);
        EXPECT_NE(console.str().find(c.says), std::string::npos) << console.str();
    }
    // None of them left a cube, whole or partial, or touched the structure.
    EXPECT_NE(test::readFile(input).find("Triphylite"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(cube));
    EXPECT_FALSE(std::filesystem::exists(cube + ".part"));
}

// At a removed site the landscape is that site's own mismatch: with the cutoff at the file's
// distance limit (3 Å) it must match the valence summary of a calculation, which finds Li1 of
// triphylite at BVS 0.9542 (the report of Tarnell -b on the same file, by its own neighbour
// search and bond rule).
TEST(LandscapeRun, AtARemovedSiteTheMismatchIsTheValenceSummarys) {
    const std::filesystem::path work = test::builtWorkDir();
    test::TempDir dir;
    const std::vector<std::string> args = {
        "Tarnell",
        "--landscape",
        "Li+",
        (std::filesystem::path(TARNELL_SOURCE_DIR) / "tests/data/landscape/LiFePO4-triphylite.inp")
            .string(),
        (dir / "out.cube").string(),
        "--cutoff",
        "3",
        "--step",
        "0.5"};
    std::ostringstream console;
    ASSERT_EQ(runLandscape(args, work, console), 0) << console.str();
    std::istringstream cube(test::readFile(dir / "out.cube"));
    std::string line;
    int atoms = 0;
    std::getline(cube, line);
    std::getline(cube, line);
    cube >> atoms;
    std::getline(cube, line);
    for (int skip = 0; skip < 3 + atoms; ++skip) std::getline(cube, line);
    double first = 0.0;  // the point (0, 0, 0), where Li1 stood
    cube >> first;
    EXPECT_NEAR(first, 1.0 - 0.9542, 0.00006);
}

}  // namespace
}  // namespace tarnell
