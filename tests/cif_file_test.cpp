#include "structure/cif_file.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Source(TARNELL_SOURCE_DIR);

int read(const std::filesystem::path& path, CrystalStructure& s, std::string& message,
         Program wording = Program::Engine) {
    return test::codeOf(readStructure(ReaderMode::CifFile, path, s,
                                      ReaderContext{2.75, Source / "data" / "sgtrans.dat"}),
                        message, wording);
}

CrystalStructure readOk(const std::filesystem::path& path) {
    CrystalStructure s;
    std::string message;
    EXPECT_EQ(read(path, s, message), 0) << message;
    return s;
}

// The group from a P b n m symbol (converted to the standard axes), from operators alone (cell
// choice 2), and from a symbol with its number; the title from the chemical name or formula of
// the first block with atom sites. The first two give the sums of their native files (end to end).
TEST(CifFile, TitleGroupAndOccupancyOfEachWayOfGivingThem) {
    const std::tuple<const char*, const char*, const char*, int, int, const char*> cases[] = {
        {"examples/forsterite.cif", "Forsterite", "P n m a", 62, 1, ""},
        {"tests/data/cif/monazite_operators_only.cif", "Ce O4 P", "P 1 21/n 1", 14, 2, "b"},
        {"tests/data/cif/rutile_partial.cif", "Titanium dioxide, 95 % Ti", "P 42/m n m", 136, 1,
         ""}};
    for (const auto& [file, title, symbol, number, setting, axis] : cases) {
        const CrystalStructure s = readOk(Source / file);
        EXPECT_EQ(s.title, title);
        EXPECT_EQ(std::tie(s.sgName, s.sgNumber, s.sgSetting, s.uniqueAxis),
                  std::tuple(symbol, number, setting, axis));
        EXPECT_EQ(s.sites.back().dLimit, 2.75);
    }
    // A partial occupancy scales the charge.
    const CrystalStructure s = readOk(Source / "tests/data/cif/rutile_partial.cif");
    ASSERT_EQ(s.siteCount(), 2);  // O1's "." is full occupancy
    EXPECT_EQ((std::array{s.sites[0].g, s.sites[0].charge, s.sites[1].g, s.sites[1].charge}),
              (std::array{0.95, 0.95 * 4, 1.0, -2.0}));
}

// A file in P 1 with one block: `group` items before the site loop.
std::string withSites(const std::string& group, const std::string& sites,
                      const std::string& cellB = "5") {
    return "data_x\n_cell_length_a 5\n_cell_length_b " + cellB +
           "\n_cell_length_c 5\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
           "_cell_angle_gamma 90\n" +
           group +
           "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n"
           "_atom_site_fract_y\n_atom_site_fract_z\n" +
           sites;
}

struct Outcome {
    int status = 0;
    CrystalStructure structure;
    std::string message;
};

Outcome readText(const std::string& text, Program wording = Program::Engine) {
    test::TempDir dir;
    test::writeFile(dir / "in.cif", text);
    Outcome o;
    o.status = read(dir / "in.cif", o.structure, o.message, wording);
    return o;
}

// A charge of hundreds of digits in a type symbol is no charge; reading it must not throw.
TEST(CifFile, TypeSymbolChargesReadWholeOrNotAtAll) {
    const Outcome o =
        readText(withSites("_space_group_name_H-M_alt 'P 1'\n",
                           "Fe1 Fe" + std::string(400, '9') + "+ 0 0 0\nO1 O2- 0.5 0.5 0.5\n"));
    ASSERT_EQ(o.status, 0) << o.message;
    ASSERT_EQ(o.structure.siteCount(), 2);
    EXPECT_EQ(o.structure.sites[0].charge, 0.0);
    EXPECT_EQ(o.structure.sites[1].charge, -2.0);
}

TEST(CifFile, WhatCannotBeReadWholeIsRefusedWithOneLineThatTellsTheCause) {
    const std::string p1 = "_space_group_IT_number 1\n";
    // One site past the guard; a thousand, past the old capacity of 80, read (test below).
    std::string tooMany;
    for (int i = 1; i <= MaxSites + 1; ++i) tooMany += formatText("O%d O 0.1 0.2 0.3\n", i);
    const std::string ops = "loop_\n_space_group_symop_operation_xyz\nx,y,z\n-x,-y,-z\n";
    const std::pair<std::string, std::string> cases[] = {
        // gemmi's own words, with the line
        {"data_x\n_cell_length_a 4\nloop_\n_atom_site_label\n'Ti1 0\n",
         "in.cif:5:7: unterminated 'string'."},
        // An item the calculation reads, given twice, leaves the file ambiguous.
        {"data_x\n_cell_length_a 4\n_cell_length_a 5\n",
         "CIF file cannot be read: item _cell_length_a given twice in block x."},
        {"data_x\n_cell_length_a 5\n_symmetry_space_group_name_H-M 'P 1'\n",
         "in.cif has no block with atom sites."},
        {withSites(p1, "O1 O 0.1 0.2 0.3\n", "?"),
         "Block x gives no complete unit cell: _cell_length_b is missing."},
        {withSites(p1, "O1 O 0.1 ? 0.3\n"), "Species O1 has no fractional coordinates."},
        {withSites(p1, "Q1 Du 0.1 0.2 0.3\n"), "in.cif has no block with atom sites."},
        {withSites(p1, "O1 O 0.1(2 0.2 0.3\n"), "\"0.1(2\" of species O1 is not a number."},
        {withSites("_space_group_name_H-M_alt 'P 21/c'\n_space_group_IT_number 15\n",
                   "O1 O 0.1 0.2 0.3\n"),
         "Space group symbol P 21/c and number 15 contradict each other."},
        {withSites("_space_group_name_H-M_alt 'P 4/m'\n" + ops, "O1 O 0.1 0.2 0.3\n"),
         "Space group symbol P 4/m and operators of P -1 contradict each other."},
        {withSites("_space_group_IT_number 83\n" + ops, "O1 O 0.1 0.2 0.3\n"),
         "Space group operators of P -1 and number 83 contradict each other."},
        {withSites("_space_group_name_H-M_alt 'Q 1'\n", "O1 O 0.1 0.2 0.3\n"),
         "Space group Q 1 is not known."},
        {withSites("", "O1 O 0.1 0.2 0.3\n"),
         "Block x gives no space group: no usable symmetry operators, symbol or number."},
    };
    for (const auto& [text, expected] : cases) {
        const Outcome o = readText(text);
        EXPECT_EQ(o.status, -1) << expected;
        // Both wordings around the same text; the path of the temporary file is left out.
        EXPECT_TRUE(o.message.starts_with("  Error !!!  ") && o.message.ends_with(expected + "\n"))
            << o.message;
        const std::string frontEnd = readText(text, Program::FrontEnd).message;
        EXPECT_TRUE(frontEnd.ends_with(expected.substr(0, expected.size() - 1) + " !!!\n"))
            << frontEnd;
    }
    EXPECT_EQ(readText(withSites(p1, tooMany)).message,
              "  Error !!!  Number of species exceeds over 100000.");
    std::string thousand;
    for (int i = 1; i <= 1000; ++i) thousand += formatText("O%d O 0.1 0.2 0.3\n", i);
    EXPECT_EQ(readText(withSites(p1, thousand)).structure.siteCount(), 1000);
}

// Current AMCSD downloads repeat `_chemical_formula_sum ''`, an item no calculation reads: the
// file reads with its first value and a note (AMCSD 0002895, tests/data/corpus/SOURCES.md).
TEST(CifFile, ARepeatedItemThatIsNotUsedReadsWithANote) {
    const CrystalStructure s =
        readOk(Source / "tests/data/corpus/general/amcsd-0002895-SrTiO3-repeated-formula.cif");
    EXPECT_EQ(s.sites.size(), 4u);
    EXPECT_EQ(test::notesOf(s),
              std::vector<std::string>{"  Note !!!  Items given twice, of which the first value is "
                                       "taken (they are not used here): _chemical_formula_sum.\n"});
}

// Operators that cannot give the group hand it to the Hall symbol, then the H-M symbol, then the
// number, and the structure says which one served.
TEST(CifFile, UnusableOperatorsFallBackInOrderAndSaySo) {
    const std::string sites = "Ce1 Ce3+ 0.28 0.16 0.10\n";
    const std::string noIdentity = "loop_\n_symmetry_equiv_pos_as_xyz\n-x,-y,-z\n";
    const std::string noGroup = "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,y+1/2,-z\n-x,-y,-z\n";
    // As many operators as a centred group would have, but one shifted by the wrong vector.
    const std::string centredNoGroup =
        "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx+1/2,y+1/2,z\n-x,-y,-z\n-x+1/2,-y,-z\n";
    const std::tuple<std::string, int, int, std::string> cases[] = {
        {noIdentity + "_symmetry_space_group_name_Hall '-P 2yn'\n_symmetry_space_group_name_H-M "
                      "'P 21/c'\n",
         14, 2, "no x,y,z); the space group is taken from the Hall symbol -P 2yn."},
        {noGroup + "_symmetry_space_group_name_H-M 'P 21/n'\n", 14, 2,
         "not a group); the space group is taken from the H-M symbol P 21/n."},
        {centredNoGroup + "_symmetry_space_group_name_H-M 'P 21/n'\n", 14, 2,
         "not a group); the space group is taken from the H-M symbol P 21/n."},
    };
    for (const auto& [group, number, setting, note] : cases) {
        const Outcome o = readText(withSites(group, sites, "7"));
        ASSERT_EQ(o.status, 0) << o.message;
        EXPECT_EQ(std::tie(o.structure.sgNumber, o.structure.sgSetting), std::tie(number, setting));
        const std::vector<std::string> notes = test::notesOf(o.structure);
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_TRUE(
            notes[0].starts_with("  Note !!!  The listed symmetry operators are unusable ("))
            << notes[0];
        EXPECT_TRUE(notes[0].ends_with(note + "\n")) << notes[0];
        EXPECT_TRUE(o.structure.symmetryOperators.empty());
    }
    // An operator that does not read is no fallback case: the file says something unreadable.
    const Outcome unreadable = readText(withSites(
        "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx+y+,q\n_symmetry_Int_Tables_number 14\n", sites,
        "7"));
    EXPECT_EQ(unreadable.status, -1);
    EXPECT_EQ(unreadable.message,
              "  Error !!!  Symmetry operator \"x+y+,q\" cannot be read: it has 2 "
              "components instead of 3.\n");
    EXPECT_EQ(
        readText(withSites("loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx+y+,q\n", sites, "7"),
                 Program::FrontEnd)
            .message,
        "  Symmetry operator \"x+y+,q\" cannot be read: it has 2 components instead of 3 !!!\n");
}

// Operators of an origin or cell that the space-group data file does not hold stay as listed;
// the group keeps the number and symbol that the file gives.
TEST(CifFile, OperatorsOfAnOwnOriginOrCellAreKept) {
    const CrystalStructure moved = readOk(Source / "tests/data/cif/monazite_moved_origin.cif");
    EXPECT_EQ(std::tie(moved.sgName, moved.sgNumber), std::tuple("P 21/n", 14));
    EXPECT_EQ(moved.symmetryOperators,
              (std::vector<std::string>{"x,y,z", "-x,y+1/2,-z", "-x+1/2,-y,-z+1/2",
                                        "x+1/2,-y+1/2,z+1/2"}));
    // A centred triclinic cell named by its symbol alone brings gemmi's operators.
    const Outcome centred =
        readText(withSites("_symmetry_space_group_name_H-M 'C -1'\n", "O1 O 0.1 0.2 0.3\n"));
    ASSERT_EQ(centred.status, 0) << centred.message;
    EXPECT_EQ(centred.structure.sgNumber, 2);
    EXPECT_EQ(centred.structure.symmetryOperators.size(), 4u);
    // Operators that are a held setting are computed from its record, as before.
    EXPECT_TRUE(readOk(Source / "examples/forsterite.cif").symmetryOperators.empty());
}

// Type symbols fix the element of a label; dummy sites are left out and repeated labels made
// unique, each with a note.
TEST(CifFile, LabelsTellTheElementOfTheirTypeSymbol) {
    const Outcome o = readText(
        withSites("_symmetry_space_group_name_H-M 'P 1'\n",
                  "BA1 Ba2+ 0 0 0\nM1 Cu2+ 0.5 0 0\nO O2- 0.1 0.2 0.3\nO O2- 0.2 0.2 0.3\n"
                  "O O2- 0.3 0.2 0.3\nQ1 Du 0.5 0.5 0.5\nH1 H . . .\nWat Wat 0.7 0.7 0.7\n"));
    ASSERT_EQ(o.status, 0) << o.message;
    std::vector<std::string> labels;
    for (const Site& site : o.structure.sites) labels.push_back(site.name);
    EXPECT_EQ(labels, (std::vector<std::string>{"Ba1", "CuM1", "O", "O_2", "O_3", "Wat"}));
    // A label that names no element keeps it, and the note says its site forms no bond.
    EXPECT_EQ(test::notesOf(o.structure),
              (std::vector<std::string>{
                  "  Note !!!  Dummy sites skipped: Q1, H1.\n",
                  "  Note !!!  Repeated species labels made unique: O_2, O_3.\n",
                  "  Note !!!  Species labels that name no element, whose sites form no bond: "
                  "Wat.\n"}));

    // COD's dummy rows, flagged "dum" at -1, -1, -1 with a count for occupancy, hold no atom:
    // read as one, an H of weight 5 at the origin gave its neighbours whole valence units.
    std::string flagged = withSites("_symmetry_space_group_name_H-M 'P 1'\n", "");
    flagged.replace(flagged.find("_atom_site_fract_z\n"), 19,
                    "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_calc_flag\n");
    const Outcome dummy = readText(flagged +
                                   "Na1 Na+ 0 0 0 1 d\nCl1 Cl- 0.5 0.5 0.5 1 d\n"
                                   "H8 H+ -1. -1. -1. 5. dum\n");
    ASSERT_EQ(dummy.status, 0) << dummy.message;
    EXPECT_EQ(dummy.structure.siteCount(), 2);
    EXPECT_EQ(test::notesOf(dummy.structure),
              std::vector<std::string>{"  Note !!!  Dummy sites skipped: H8.\n"});
}

}  // namespace
}  // namespace tarnell
