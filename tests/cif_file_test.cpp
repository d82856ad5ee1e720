#include "structure/cif_file.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Source(TARNELL_SOURCE_DIR);

int read(const std::filesystem::path& path, CrystalStructure& s, std::string& message,
         const Wording& wording = EngineWording) {
    return readStructure(ReaderMode::CifFile, path, s,
                         ReaderContext{wording, 2.75, Source / "data" / "sgtrans.dat"}, message);
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
TEST(CifFile, TitleAndGroupOfEachWayOfGivingThem) {
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
}

TEST(CifFile, PartialOccupancyScalesTheCharge) {
    const CrystalStructure s = readOk(Source / "tests/data/cif/rutile_partial.cif");
    ASSERT_EQ(s.siteCount(), 2);  // O1's "." is full occupancy
    EXPECT_EQ((std::array{s.sites[0].g, s.sites[0].charge, s.sites[1].g, s.sites[1].charge}),
              (std::array{0.95, 0.95 * 4, 1.0, -2.0}));
}

TEST(CifFile, WhatCannotBeReadWholeIsRefusedWithOneLine) {
    test::TempDir dir;
    const auto withSites = [](const std::string& group, const std::string& sites) {
        return "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n"
               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n" + group +
               "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
               "_atom_site_fract_z\n" + sites;
    };
    const std::string p1 = "_space_group_IT_number 1\n", path = (dir / "in.cif").string();
    std::string eightyOne;
    for (int i = 1; i <= 81; ++i) eightyOne += formatText("O%d 0.1 0.2 0.3\n", i);
    const std::pair<std::string, std::string> cases[] = {
        {"data_x\n_cell_length_a 4\nloop_\n_atom_site_label\n'Ti1 0\n",
         "  Error !!!  " + path + " is not a CIF file.\n"},
        {"data_x\n_cell_length_a 5\n_symmetry_space_group_name_H-M 'P 1'\n",
         "  Error !!!  " + path + " has no block with atom sites.\n"},
        {withSites(p1, "O1 0.1 ? 0.3\n"),
         "  Error !!!  Species O1 has no fractional coordinates.\n"},
        {withSites(p1, "O1 0.1 0.2 0.3\nO1 0.2 0.2 0.3\n"),
         "  Error !!!  Species label O1 is used twice.\n"},
        {withSites(p1, eightyOne), "  Error !!!  Number of species exceeds over 80."},
        {withSites(p1, "O1 0.1(2 0.2 0.3\n"),
         "  Error !!!  \"0.1(2\" of species O1 is not a number.\n"},
        {withSites("_space_group_name_H-M_alt 'A 1 a 1'\n", "O1 0.1 0.2 0.3\n"),
         "  Error !!!  Space group A 1 a 1 is in a setting that the space-group file does not "
         "hold.\n"},
        {withSites("_space_group_name_H-M_alt 'P 4/m'\n_space_group_IT_number 83\n"
                   "loop_\n_space_group_symop_operation_xyz\nx,y,z\n-x,-y,-z\n",
                   "O1 0.1 0.2 0.3\n"),
         "  Error !!!  Space group P 4/m is not known.\n"},
        {withSites("_space_group_name_H-M_alt 'Q 1'\n", "O1 0.1 0.2 0.3\n"),
         "  Error !!!  Space group Q 1 is not known.\n"},
    };
    const auto refusal = [&](const std::string& text, const Wording& wording) {
        test::writeFile(dir / "in.cif", text);
        CrystalStructure s;
        std::string message;
        EXPECT_EQ(read(dir / "in.cif", s, message, wording), -1);
        return message;
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(refusal(text, EngineWording), expected);
    EXPECT_EQ(refusal(cases[3].first, FrontEndWording), "  Species label O1 is used twice !!!\n");
}

}  // namespace
}  // namespace tarnell
