#include "structure/cif_file.h"

#include <gtest/gtest.h>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::TempDir;
using test::writeFile;

const std::filesystem::path Source(TARNELL_SOURCE_DIR);

int read(ReaderMode mode, const std::filesystem::path& path, CrystalStructure& s,
         std::string& message, const Wording& wording = EngineWording) {
    return readStructure(mode, path, s, ReaderContext{wording, 2.75, Source / "data" / "sgtrans.dat"},
                         message);
}

TEST(CifFile, NonStandardOrthorhombicSettingReadsAsTheNativeFileInStandardAxes) {
    CrystalStructure cif;
    CrystalStructure native;
    std::string message;
    ASSERT_EQ(read(ReaderMode::CifFile, Source / "examples" / "forsterite.cif", cif, message), 0)
        << message;
    ASSERT_EQ(read(ReaderMode::NativeFile, Source / "examples" / "forsterite.inp", native, message),
              0);
    EXPECT_EQ(cif.title, "Forsterite");  // the second block: the first has no atom sites
    EXPECT_EQ(cif.sgName, "P n m a");
    EXPECT_EQ(cif.sgNumber, 62);
    EXPECT_EQ(cif.sgSetting, 1);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(cif.cell[i], native.cell[i], 1e-6);
        EXPECT_NEAR(cif.cellSigma[i], native.cellSigma[i], 1e-12);
    }
    ASSERT_EQ(cif.siteCount(), native.siteCount());
    for (int i = 0; i < cif.siteCount(); ++i) {
        const Site& a = cif.sites[i];
        const Site& b = native.sites[i];
        EXPECT_EQ(a.name, b.name);
        for (const auto& [x, y] : {std::pair{a.x, b.x}, {a.y, b.y}, {a.z, b.z}, {a.sx, b.sx},
                                   {a.sy, b.sy}, {a.sz, b.sz}, {a.charge, b.charge}}) {
            EXPECT_NEAR(x, y, 1e-12) << a.name;
        }
        EXPECT_EQ(a.dLimit, 2.75);
    }
}

TEST(CifFile, OperatorsAloneGiveTheCellChoice) {
    CrystalStructure s;
    std::string message;
    ASSERT_EQ(read(ReaderMode::CifFile, Source / "tests/data/cif/monazite_operators_only.cif", s,
                   message),
              0)
        << message;
    EXPECT_EQ(s.title, "Ce O4 P");
    EXPECT_EQ(s.sgNumber, 14);
    EXPECT_EQ(s.sgSetting, 2);
    EXPECT_EQ(s.uniqueAxis, "b");
    EXPECT_DOUBLE_EQ(s.cellSigma[4], 0.01);
    ASSERT_EQ(s.siteCount(), 6);
    EXPECT_EQ(s.sites[0].charge, 3.0);  // from the type symbol Ce3+
    EXPECT_EQ(s.sites[2].charge, -2.0);
    EXPECT_DOUBLE_EQ(s.sites[1].sx, 0.0001);
}

TEST(CifFile, PartialOccupancyScalesTheCharge) {
    CrystalStructure s;
    std::string message;
    ASSERT_EQ(read(ReaderMode::CifFile, Source / "tests/data/cif/rutile_partial.cif", s, message),
              0)
        << message;
    EXPECT_EQ(s.title, "Titanium dioxide, 95 % Ti");
    EXPECT_EQ(s.sgNumber, 136);
    EXPECT_DOUBLE_EQ(s.sites[0].g, 0.95);
    EXPECT_DOUBLE_EQ(s.sites[0].charge, 0.95 * 4);
    EXPECT_DOUBLE_EQ(s.sites[1].g, 1.0);  // "." is full occupancy
    EXPECT_DOUBLE_EQ(s.sites[1].charge, -2.0);
}

TEST(CifFile, WhatCannotBeReadWholeIsRefusedWithOneLine) {
    TempDir dir;
    const std::string cell =
        "_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n"
        "_cell_angle_beta 90\n_cell_angle_gamma 90\n";
    const auto withSites = [&](const std::string& group, const std::string& sites) {
        return "data_x\n" + cell + group +
               "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n"
               "_atom_site_fract_z\n" +
               sites;
    };
    std::string eightyOne;
    for (int i = 1; i <= 81; ++i) eightyOne += formatText("O%d 0.1 0.2 0.3\n", i);
    struct Case {
        std::string text;
        std::string engine;
    };
    const std::string path = (dir / "in.cif").string();
    const Case cases[] = {
        {"data_x\n_cell_length_a 4\nloop_\n_atom_site_label\n'Ti1 0\n",
         "  Error !!!  " + path + " is not a CIF file.\n"},
        {"data_x\n" + cell + "_symmetry_space_group_name_H-M 'P 1'\n",
         "  Error !!!  " + path + " has no block with atom sites.\n"},
        {withSites("_space_group_IT_number 1\n", "O1 0.1 ? 0.3\n"),
         "  Error !!!  Species O1 has no fractional coordinates.\n"},
        {withSites("_space_group_IT_number 1\n", "O1 0.1 0.2 0.3\nO1 0.2 0.2 0.3\n"),
         "  Error !!!  Species label O1 is used twice.\n"},
        {withSites("_space_group_IT_number 1\n", eightyOne),
         "  Error !!!  Number of species exceeds over 80."},
        {withSites("_space_group_IT_number 1\n", "O1 0.1(2 0.2 0.3\n"),
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
    for (const Case& c : cases) {
        writeFile(dir / "in.cif", c.text);
        CrystalStructure s;
        std::string message;
        EXPECT_EQ(read(ReaderMode::CifFile, dir / "in.cif", s, message), -1) << c.engine;
        EXPECT_EQ(message, c.engine);
    }
    writeFile(dir / "in.cif", cases[3].text);
    CrystalStructure s;
    std::string message;
    EXPECT_EQ(read(ReaderMode::CifFile, dir / "in.cif", s, message, FrontEndWording), -1);
    EXPECT_EQ(message, "  Species label O1 is used twice !!!\n");
}

}  // namespace
}  // namespace tarnell
