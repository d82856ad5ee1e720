#include "valence/site_overlaps.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/engine_runs.h"

namespace tarnell {
namespace {

// The threefold axis of quartz's group: x,y,z; -y,x-y,z; -x+y,-x,z.
OperatorTable threefold() {
    SymmetryOperator rotation, twice;
    rotation.r[0][1] = -1;
    rotation.r[1][0] = 1;
    rotation.r[1][1] = -1;
    rotation.r[2][2] = 1;
    twice.r[0][0] = -1;
    twice.r[0][1] = 1;
    twice.r[1][0] = -1;
    twice.r[2][2] = 1;
    return {test::identity(), rotation, twice};
}

Site site(const char* label, const char* element, double g, double x, double y, double z) {
    Site s;
    s.name = label;
    s.element = element;
    s.g = g;
    s.x = x;
    s.y = y;
    s.z = z;
    return s;
}

TEST(SiteOverlaps, AnAtomListedTwiceIsMergedAndOtherOverfilledPositionsAreDoubtful) {
    // (0.47, 0, 0) turned by -y,x-y,z lies at (0, 0.47, 0): a file that lists the whole cell
    // gives Si2 there as well as the operators, and Si1 would have twice its bonds.
    const struct {
        const char* what;
        std::vector<Site> sites;
        std::vector<std::string> labelsLeft;
        bool doubtful;
        std::vector<std::string> notes;
    } cases[] = {
        {"one atom listed at an image of itself",
         {site("Si1", "Si", 1, 0.47, 0, 0), site("Si2", "Si", 1, 0, 0.47, 0),
          site("O1", "O", 1, 0.41, 0.27, 0.12)},
         {"Si1", "O1"},
         false,
         {"  Note !!!  Sites listed twice (one atom on one position, occupancies adding above 1) "
          "merged: Si2 (as Si1).\n"}},
        {"split site and mixed site of a position filled once",
         {site("Si1", "Si", 0.5, 0.47, 0, 0), site("Si2", "Si", 0.5, 0.47, 0, 0.001),
          site("Al1", "Al", 0.6, 0.2, 0.3, 0.4), site("Si3", "Si", 0.404, 0.2, 0.3, 0.4)},
         {"Si1", "Si2", "Al1", "Si3"},
         false,
         {}},
        {"two elements on one position, each full",
         {site("Al1", "Al", 1, 0.2, 0.3, 0.4), site("Si1", "Si", 1, 0.2, 0.3, 0.4)},
         {"Al1", "Si1"},
         true,
         {"  Note !!!  Sites Al1 and Si1 share one position with occupancies adding to 2: the "
          "sums and the GII are doubtful.\n"}},
        {"unequal occupancies of one element",
         {site("Fe1", "Fe", 1, 0.2, 0.3, 0.4), site("Fe2", "Fe", 0.3, 0.2, 0.3, 0.4)},
         {"Fe1", "Fe2"},
         true,
         {"  Note !!!  Sites Fe1 and Fe2 share one position with occupancies adding to 1.3: the "
          "sums and the GII are doubtful.\n"}},
        {"occupancies outside 0 to 1",
         {site("Na1", "Na", 1.2, 0.2, 0.3, 0.4), site("K1", "K", -0.1, 0.1, 0.1, 0.1)},
         {"Na1", "K1"},
         true,
         {"  Note !!!  Site Na1 has the occupancy 1.2, outside 0 to 1: the sums and the GII are "
          "doubtful.\n",
          "  Note !!!  Site K1 has the occupancy -0.1, outside 0 to 1: the sums and the GII are "
          "doubtful.\n"}},
        {"one atom on either side of the cell's edge",
         {site("Na1", "Na", 1, 0.99995, 0.5, 0.5), site("Na2", "Na", 1, 0.00005, 0.5, 1.5)},
         {"Na1"},
         false,
         {"  Note !!!  Sites listed twice (one atom on one position, occupancies adding above 1) "
          "merged: Na2 (as Na1).\n"}},
        {"a site merged away takes no further part",
         {site("Si1", "Si", 1, 0.47, 0, 0), site("Si2", "Si", 1, 0, 0.47, 0),
          site("Si3", "Si", 1, 0.47, 0, 0.0001)},
         {"Si1"},
         false,
         {"  Note !!!  Sites listed twice (one atom on one position, occupancies adding above 1) "
          "merged: Si2 (as Si1), Si3 (as Si1).\n"}},
    };
    for (const auto& c : cases) {
        CrystalStructure structure;
        structure.cell = {4.91, 4.91, 5.40, 90, 90, 120};
        structure.sites = c.sites;
        EXPECT_EQ(resolveSiteOverlaps(structure, threefold()), c.doubtful) << c.what;
        std::vector<std::string> left;
        for (const Site& s : structure.sites) left.push_back(s.name);
        EXPECT_EQ(left, c.labelsLeft) << c.what;
        EXPECT_EQ(test::notesOf(structure), c.notes) << c.what;
    }
}

// Thousands of sites are found through bins, not pair by pair: the one atom listed twice among
// 4000 is still found, across the cell's edge, and nothing else is.
TEST(SiteOverlaps, OneAtomListedTwiceAmongThousands) {
    CrystalStructure structure;
    structure.cell = {40, 40, 40, 90, 90, 90};
    const std::string element = "O";
    const auto oxygen = [&](int number, double x, double y, double z) {
        Site s;
        s.name = formatText("O%d", number);
        s.element = element;
        s.g = 1;
        s.x = x;
        s.y = y;
        s.z = z;
        structure.sites.push_back(std::move(s));
    };
    for (int i = 0; i < 4000; ++i)
        oxygen(i + 1, (i % 16) / 16.0, (i / 16 % 16) / 16.0, (i / 256) / 16.0 + 0.01);
    oxygen(4001, 0.99999, 0.9375, 0.885);
    EXPECT_FALSE(resolveSiteOverlaps(structure, {test::identity()}));
    EXPECT_EQ(structure.sites.size(), 4000u);
    EXPECT_EQ(test::notesOf(structure),
              (std::vector<std::string>{
                  "  Note !!!  Sites listed twice (one atom on one position, occupancies adding "
                  "above 1) merged: O4001 (as O3825).\n"}));
}

// COD 5910314 (CoSO4, tests/data/corpus/SOURCES.md) lists the whole cell together with the
// operators of P n m a: it ended in "Number of distance entry exceed over 60" and now reads as its
// five sites with a note naming the merged ones.
TEST(SiteOverlaps, ACodFileListingTheWholeCellIsCalculatedOnItsOwnSites) {
    const EngineInputs inputs = test::builtInputs();
    const std::filesystem::path file = std::filesystem::path(TARNELL_SOURCE_DIR) /
                                       "tests/data/corpus/general/cod-5910314-CoO4S.cif";
    const CalculationResult result = calculateFile(ReaderMode::CifFile, file, inputs);
    EXPECT_TRUE(result.status.ok()) << result.status.text(Program::Engine);
    std::vector<std::string> left;
    for (const Site& s : result.structure.sites) left.push_back(s.name);
    EXPECT_EQ(left, (std::vector<std::string>{"Co1", "S1", "O1", "O5", "O9"}));
    EXPECT_FALSE(result.overfilled);
    const std::vector<std::string> notes = test::notesOf(result.structure);
    ASSERT_FALSE(notes.empty());
    EXPECT_TRUE(notes.back().starts_with("  Note !!!  Sites listed twice") &&
                notes.back().find("Co4 (as Co1)") != std::string::npos)
        << notes.back();
}

}  // namespace
}  // namespace tarnell
