// The neighbour search against the plainest search there is: every image of every site with
// every translation tried, around every centre in turn. Both must hand over the same neighbours
// in the same order with the same numbers, on real structures, on random ones and on cells so
// small that a window holds tens of thousands of images; and inputs built to make a search run
// for minutes must end as soon as the visitor has had enough.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "crystal/distance.h"
#include "crystal/operator_expansion.h"
#include "engine/calculation.h"
#include "search/neighbour_search.h"
#include "structure/space_group_lookup.h"
#include "structure/structure_reader.h"
#include "tests/test_files.h"
#include "valence/calculation.h"

namespace tarnell {
namespace {

const std::filesystem::path Source = TARNELL_SOURCE_DIR;
using Position = std::array<double, 3>;

struct Found {
    int centre, neighbour, op;
    std::array<int, 3> translation;
    Position position;
    double d, sigma;

    bool operator==(const Found&) const = default;
};

std::string describe(const Found& f) {
    std::ostringstream text;
    text.precision(17);
    text << "centre " << f.centre << " neighbour " << f.neighbour << " "
         << symmetryCode({f.op, f.translation}) << " d " << f.d << " sigma " << f.sigma;
    return text.str();
}

// Empty when both lists are equal, else where they part.
std::string firstDifference(const std::vector<Found>& got, const std::vector<Found>& expected) {
    const std::size_t common = std::min(got.size(), expected.size());
    for (std::size_t n = 0; n < common; ++n) {
        if (!(got[n] == expected[n])) {
            std::string text = "entry ";
            text += std::to_string(n) + ": got " + describe(got[n]);
            return text + ", expected " + describe(expected[n]);
        }
    }
    if (got.size() != expected.size()) {
        return std::to_string(got.size()) + " neighbours, expected " +
               std::to_string(expected.size());
    }
    return "";
}

std::vector<Found> search(const CrystalStructure& s, const OperatorTable& ops,
                          const Settings& settings) {
    std::vector<Found> found;
    forEachNeighbour(s, ops, settings, [&](const Neighbour& n) {
        found.push_back({n.centre, n.neighbour, n.image.operatorIndex, n.image.translation,
                         n.position, n.d, n.sigma});
        return true;
    });
    return found;
}

// Cartesian coordinates, only to find the images handed over already that lie near a new one
// without comparing it with each of them.
struct Orthogonal {
    std::array<std::array<double, 3>, 3> m{};
    explicit Orthogonal(const CellGeometry& g) {
        const auto [ca, cb, cg] = g.cosines;
        const double sg = g.sines[2];
        const double a = g.cell[0], b = g.cell[1], c = g.cell[2];
        const double cy = (ca - cb * cg) / sg;
        m = {{{a, b * cg, c * cb},
              {0, b * sg, c * cy},
              {0, 0, c * std::sqrt(std::max(0.0, 1 - cb * cb - cy * cy))}}};
    }
    std::array<long long, 3> bucket(const Position& p) const {
        std::array<long long, 3> key{};
        for (int r = 0; r < 3; ++r) {
            const double x = m[r][0] * p[0] + m[r][1] * p[1] + m[r][2] * p[2];
            key[r] = static_cast<long long>(std::floor(x / (2.5 * SamePositionTolerance)));
        }
        return key;
    }
};

// Around each centre in turn, each site, each operator and each translation: the image brought
// next to the centre (every fractional difference in [-0.5, 0.5)) and moved by hMin..hMax cells,
// kept when within the window and not at the position of an image of its site kept already.
std::vector<Found> everyImageInTurn(const CrystalStructure& s, const OperatorTable& ops,
                                    const Settings& settings) {
    const CellGeometry g = makeCellGeometry(s.cell, s.cellSigma);
    const Orthogonal orthogonal(g);
    std::vector<Found> all;
    for (std::size_t i = 0; i < s.sites.size(); ++i) {
        const Site& centre = s.sites[i];
        const Position a{centre.x, centre.y, centre.z};
        for (std::size_t j = 0; j < s.sites.size(); ++j) {
            const Site& site = s.sites[j];
            std::map<std::array<long long, 3>, std::vector<Position>> kept;
            for (std::size_t k = 0; k < ops.size(); ++k) {
                const SymmetryOperator& op = ops[k];
                Position raw{};
                std::array<int, 3> shift{};
                bool reachable = true;
                for (int c = 0; c < 3; ++c) {
                    raw[c] =
                        op.r[c][0] * site.x + op.r[c][1] * site.y + op.r[c][2] * site.z + op.t[c];
                    // A million cells away, or nowhere: no image is within reach.
                    const double difference = raw[c] + 0.5 - a[c];
                    reachable = reachable && std::fabs(difference) < 1e6;
                    if (reachable) shift[c] = -static_cast<int>(std::floor(difference));
                }
                if (!reachable) continue;
                for (int t0 = settings.hMin; t0 <= settings.hMax; ++t0) {
                    for (int t1 = settings.hMin; t1 <= settings.hMax; ++t1) {
                        for (int t2 = settings.hMin; t2 <= settings.hMax; ++t2) {
                            const std::array<int, 3> whole{shift[0] + t0, shift[1] + t1,
                                                           shift[2] + t2};
                            const Position b{raw[0] + whole[0], raw[1] + whole[1],
                                             raw[2] + whole[2]};
                            const double d = distanceIn(g, a, b);
                            if (!(settings.dMin <= d && d <= centre.dLimit)) continue;
                            const auto key = orthogonal.bucket(b);
                            bool seen = false;
                            for (long long u = -1; u <= 1 && !seen; ++u) {
                                for (long long v = -1; v <= 1 && !seen; ++v) {
                                    for (long long w = -1; w <= 1 && !seen; ++w) {
                                        const auto at =
                                            kept.find({key[0] + u, key[1] + v, key[2] + w});
                                        if (at == kept.end()) continue;
                                        for (const Position& q : at->second) {
                                            seen = seen || samePosition(g, b, q);
                                        }
                                    }
                                }
                            }
                            if (seen) continue;
                            kept[key].push_back(b);
                            const double sigma =
                                distanceSigma(g, a, b, {centre.sx, centre.sy, centre.sz},
                                              {site.sx, site.sy, site.sz}, d, &op.r);
                            all.push_back({static_cast<int>(i), static_cast<int>(j),
                                           static_cast<int>(k), whole, b, d, sigma});
                        }
                    }
                }
            }
        }
    }
    return all;
}

OperatorTable groupOperators(CrystalStructure& s) {
    OperatorTable ops;
    std::vector<std::string> texts;
    std::string message;
    EXPECT_EQ(
        test::codeOf(expandSymmetry(s, readSpaceGroupData(Source / "data/spgra.dat"), ops, texts),
                     message),
        0)
        << message;
    return ops;
}

OperatorTable groupOperators(int number) {
    CrystalStructure s;
    s.sgNumber = number;
    return groupOperators(s);
}

Settings window(double dMax, double dMin, int hMin, int hMax) {
    Settings settings;
    settings.dMax = dMax;
    settings.dMin = dMin;
    settings.hMin = hMin;
    settings.hMax = hMax;
    return settings;
}

// "Na" and 3 give "Na3".
std::string label(const char* prefix, int n) {
    std::string text = prefix;
    text += std::to_string(n);
    return text;
}

Site siteAt(const std::string& name, Position p, double dLimit, double sigma = 0.0002) {
    Site site;
    site.name = name;
    site.x = p[0];
    site.y = p[1];
    site.z = p[2];
    site.sx = site.sy = site.sz = sigma;
    site.charge = 1;
    site.dLimit = dLimit;
    return site;
}

TEST(NeighbourSearchScale, RealStructuresGiveWhatTryingEveryImageGives) {
    std::ifstream list(Source / "tests/data/realworld/checked.txt");
    std::vector<std::string> files;
    for (std::string line; std::getline(list, line);) {
        std::istringstream words(line);
        std::string file;
        if (words >> file && file[0] != '#') files.push_back(file);
    }
    ASSERT_GE(files.size(), 30u);
    struct Variant {
        Settings settings;
        bool limitsBySite;
    };
    const Variant variants[] = {{window(3.5, 0.5, -1, 1), false},
                                {window(6.0, 0.5, -2, 2), false},
                                {window(3.5, 0.0, 0, 1), false},
                                {window(4.0, 1.0, -1, 0), true}};
    for (const std::string& file : files) {
        CrystalStructure s;
        std::string message;
        ASSERT_EQ(
            test::codeOf(readStructure(ReaderMode::CifFile, Source / "tests/data/realworld" / file,
                                       s, ReaderContext{3.5, Source / "data/sgtrans.dat"}),
                         message),
            0)
            << file << message;
        copyCellUncertainties(s);
        const OperatorTable ops = groupOperators(s);
        for (const Variant& v : variants) {
            for (std::size_t i = 0; i < s.sites.size(); ++i) {
                s.sites[i].dLimit =
                    v.limitsBySite ? 2.0 + 0.5 * static_cast<double>(i % 4) : v.settings.dMax;
            }
            const std::vector<Found> expected = everyImageInTurn(s, ops, v.settings);
            EXPECT_EQ(firstDifference(search(s, ops, v.settings), expected), "")
                << file << ", D-max " << v.settings.dMax << ", H " << v.settings.hMin << ".."
                << v.settings.hMax;
            if (&v == variants) {
                EXPECT_FALSE(expected.empty()) << file;
            }
        }
    }
}

TEST(NeighbourSearchScale, RandomStructuresGiveWhatTryingEveryImageGives) {
    std::mt19937 random(20261207);
    const auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const int groups[] = {1, 2, 14, 15, 62, 148, 166, 191, 205, 225, 227};
    const double special[] = {0.0, 0.25, 0.5, 0.75, 0.125, 0.3333, 0.6667, 1.0 / 3, -0.5, 1.0};
    const std::array<int, 2> ranges[] = {{-1, 1},  {-2, 2}, {0, 1}, {1, 2},
                                         {-2, -1}, {0, 0},  {-3, 3}};
    const double lowerLimits[] = {0.0, 0.5, 1.2};
    for (int round = 0; round < 60; ++round) {
        CrystalStructure s;
        s.cell = {uniform(2.5, 9),  uniform(2.5, 9),  uniform(2.5, 9),
                  uniform(70, 110), uniform(70, 110), uniform(70, 110)};
        s.cellSigma = {uniform(0, 0.002), uniform(0, 0.002), uniform(0, 0.002),
                       uniform(0, 0.05),  uniform(0, 0.05),  uniform(0, 0.05)};
        const int group = groups[random() % std::size(groups)];
        const OperatorTable ops = groupOperators(group);
        const int siteCount = 1 + static_cast<int>(random() % 6);
        for (int n = 0; n < siteCount; ++n) {
            Position p{};
            for (double& x : p) {
                // Special positions give images that coincide, exactly or within rounding; some
                // sites lie outside the cell, as files give them.
                x = random() % 2 == 0 ? special[random() % std::size(special)] : uniform(-1.2, 2.2);
            }
            s.sites.push_back(siteAt(label("X", n), p, uniform(1.0, 6.0), uniform(0, 0.001)));
        }
        const auto [hMin, hMax] = ranges[random() % std::size(ranges)];
        const Settings settings =
            window(6.0, lowerLimits[random() % std::size(lowerLimits)], hMin, hMax);
        EXPECT_EQ(firstDifference(search(s, ops, settings), everyImageInTurn(s, ops, settings)), "")
            << "round " << round << ", group " << group << ", H " << hMin << ".." << hMax;
    }
}

// Cells below one Å under windows of several cells: each centre has up to some 100 000 images
// within reach, sorted a batch at a time; the images of a site on a special position fall onto
// one atom 24 or 48 at a time, and those of a general position now and then come within the
// tolerance of each other. The last cell is too small for the tolerance itself.
TEST(NeighbourSearchScale, TinyCellsGiveWhatTryingEveryImageGives) {
    struct Case {
        double edge;
        int group;
        std::vector<Site> sites;
        Settings settings;
    };
    const Case cases[] = {
        {0.8,
         227,
         {siteAt("Na1", {0.0123, 0.2345, 0.3879}, 3.0), siteAt("Na2", {0, 0, 0}, 3.0)},
         window(3.0, 0.5, -3, 3)},
        {0.9,
         225,
         {siteAt("Na1", {0, 0, 0}, 2.5), siteAt("Cl1", {0.1234, 0.4321, 0.2468}, 2.5)},
         window(2.5, 0.5, -3, 3)},
        {0.05,
         221,
         {siteAt("Na1", {0.01, 0.02, 0.03}, 0.12), siteAt("Cl1", {0.5, 0.5, 0.5}, 0.12)},
         window(0.12, 0.0, -2, 2)}};
    for (const Case& c : cases) {
        CrystalStructure s;
        s.cell = {c.edge, c.edge, c.edge, 90, 90, 90};
        s.cellSigma = {0.0005, 0, 0, 0, 0, 0};
        s.sites = c.sites;
        const OperatorTable ops = groupOperators(c.group);
        const std::vector<Found> expected = everyImageInTurn(s, ops, c.settings);
        EXPECT_GT(expected.size(), 200u) << "a = " << c.edge;
        EXPECT_EQ(firstDifference(search(s, ops, c.settings), expected), "") << "a = " << c.edge;
    }
}

// The structures that once made the search run for minutes. Each stops where its count runs out
// or its visitor stops, and no centre has more neighbours than images within the translations
// tried.
TEST(NeighbourSearchScale, HostileStructuresEndWithinTheirCounts) {
    std::mt19937 random(80);
    const auto general = [&] {
        return Position{std::uniform_real_distribution<double>(0, 1)(random),
                        std::uniform_real_distribution<double>(0, 1)(random),
                        std::uniform_real_distribution<double>(0, 1)(random)};
    };
    struct Case {
        std::string label;
        CrystalStructure structure;
        int group;
        Settings settings;
        long long stopAt;  // the visitor stops after this many, as the bond search would
        int centres;       // or when the search reaches this centre
    };
    std::vector<Case> cases;
    {
        // 80 Na+ at general positions of F d -3 m in a cell of 1 Å: no pair has a bond, so the
        // bond search never stops it; some 370 000 neighbours around each centre, of which the
        // first four centres make the test (all 80 take seconds, a minute under the sanitizers).
        Case c{"80 Na+ in F d -3 m, a = 1 A", {}, 227, window(3.5, 0.5, -1, 1), -1, 4};
        c.structure.cell = {1, 1, 1, 90, 90, 90};
        for (int n = 0; n < 80; ++n) {
            c.structure.sites.push_back(siteAt(label("Na", n + 1), general(), 3.5));
        }
        cases.push_back(c);
    }
    for (bool generalSodium : {false, true}) {
        // Rock salt in a cell of 0.5 Å with D-max 10 and H -10..10: millions of images around
        // each centre, and the visitor stops at 20 000.
        Case c{std::string("rock salt, a = 0.5 A, H -10..10") +
                   (generalSodium ? ", Na at a general position" : ""),
               {},
               225,
               window(10, 0.5, -10, 10),
               20000,
               80};
        c.structure.cell = {0.5, 0.5, 0.5, 90, 90, 90};
        c.structure.sites = {siteAt("Na1", generalSodium ? general() : Position{0, 0, 0}, 10),
                             siteAt("Cl1", {0.5, 0.5, 0.5}, 10)};
        cases.push_back(c);
    }
    {
        // 80 sites with a limit of 1e9 Å: the window is the 27 cells tried.
        Case c{
            "80 sites with d-limit 1e9 in F m -3 m", {}, 225, window(3.5, 0.5, -1, 1), 20000, 80};
        c.structure.cell = {20, 20, 20, 90, 90, 90};
        for (int n = 0; n < 80; ++n) {
            c.structure.sites.push_back(siteAt(label("X", n + 1), general(), 1e9));
        }
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        const OperatorTable ops = groupOperators(c.group);
        const long long images = static_cast<long long>(c.structure.sites.size() * ops.size());
        const long long cells = 1LL + c.settings.hMax - c.settings.hMin;
        const long long reachable = images * cells * cells * cells;
        long long visits = 0;
        std::vector<long long> byCentre(c.structure.sites.size(), 0);
        forEachNeighbour(c.structure, ops, c.settings, [&](const Neighbour& n) {
            if (n.centre == c.centres) return false;
            ++byCentre[static_cast<std::size_t>(n.centre)];
            return ++visits != c.stopAt;
        });
        if (c.stopAt > 0) {
            EXPECT_EQ(visits, c.stopAt) << c.label;
        } else {
            for (int centre = 0; centre < c.centres; ++centre) {
                EXPECT_GT(byCentre[static_cast<std::size_t>(centre)], 100000) << c.label;
            }
        }
        for (long long count : byCentre) EXPECT_LE(count, reachable) << c.label;
    }
}

// Coordinates far beyond any cell, as a file may give them, and a coordinate that is no number:
// sites out there still find each other, and nothing else.
TEST(NeighbourSearchScale, SitesFarOutFindOnlyEachOther) {
    CrystalStructure s;
    s.cell = {5, 6, 7, 90, 100, 90};
    const double nowhere = std::nan("");
    s.sites = {siteAt("Na1", {0.1, 0.2, 0.3}, 3.5),         siteAt("Cl1", {3e12, 0.5, 0.5}, 3.5),
               siteAt("Na2", {3e12 + 0.25, 0.5, 0.5}, 3.5), siteAt("Cl2", {nowhere, 0.5, 0.5}, 3.5),
               siteAt("Na3", {0.6, 0.2, 0.3}, 3.5),         siteAt("Cl3", {-5e11, 2e12, 0.5}, 3.5)};
    const OperatorTable ops = groupOperators(2);
    const Settings settings = window(3.5, 0.5, -1, 1);
    const std::vector<Found> expected = everyImageInTurn(s, ops, settings);
    const auto between = [&](int centre, int neighbour) {
        return std::count_if(expected.begin(), expected.end(), [&](const Found& f) {
            return f.centre == centre && f.neighbour == neighbour;
        });
    };
    EXPECT_GT(between(1, 2), 0);
    EXPECT_GT(between(0, 4), 0);
    EXPECT_EQ(between(0, 1) + between(1, 0) + between(3, 3) + between(0, 5), 0);
    EXPECT_EQ(firstDifference(search(s, ops, settings), expected), "");
}

// Sites with a limit of 1e9 Å in P 1: every image in the 27 cells tried is a neighbour, each
// once, and the plain search agrees to the last digit.
TEST(NeighbourSearchScale, ALimitFarBeyondTheCellFindsEachCellTriedOnce) {
    std::mt19937 random(1000000000u);
    CrystalStructure s;
    s.cell = {7, 8, 9, 80, 95, 105};
    for (int n = 0; n < 40; ++n) {
        Position p{};
        for (double& x : p) x = std::uniform_real_distribution<double>(-0.5, 1.5)(random);
        s.sites.push_back(siteAt(label("X", n + 1), p, 1e9));
    }
    const OperatorTable ops = groupOperators(1);
    const Settings settings = window(3.5, 0.0, -1, 1);
    const std::vector<Found> found = search(s, ops, settings);
    EXPECT_EQ(found.size(), 40u * 40u * 27u);
    EXPECT_EQ(firstDifference(found, everyImageInTurn(s, ops, settings)), "");
}

}  // namespace
}  // namespace tarnell
