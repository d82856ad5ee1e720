// The shipped space-group files are what make_space_group_files writes today, and they say what
// gemmi's tables say: each record expands to its group, and the setting-transformation file leads
// every symbol to its cell choice or to the conversion that turns its group into the standard one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <gemmi/symmetry.hpp>

#include "crystal/operator_expansion.h"
#include "structure/space_group_lookup.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

constexpr int Den = gemmi::Op::DEN;
using Vec3 = std::array<double, 3>;

const std::filesystem::path shipped = std::filesystem::path(TARNELL_SOURCE_DIR) / "data";

TEST(SpaceGroupFiles, RegeneratedFilesEqualTheShippedOnes) {
    test::TempDir dir;
    const std::string command =
        std::string("\"") + MAKE_SPACE_GROUP_FILES_EXE + "\" \"" + dir.path().string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"spgra.dat", "sgtrans.dat"})
        EXPECT_TRUE(test::readFile(dir / name) == test::readFile(shipped / name)) << name;
}

// Monoclinic b, c, a (cell choices 1-3 each where the group has them); origin choice 2 or
// rhombohedral axes as setting 2.
std::vector<int> expectedSettings(int number) {
    const auto in = [number](std::initializer_list<int> list) {
        return std::ranges::find(list, number) != list.end();
    };
    if (number >= 3 && number <= 15)
        return in({5, 7, 8, 9, 12, 13, 14, 15}) ? std::vector{1, 2, 3, 4, 5, 6, 7, 8, 9}
                                                : std::vector{1, 4, 7};
    return in({48,  50,  59,  68,  70,  85,  86,  88,  125, 126, 129, 130, 133, 134, 137, 138,
               141, 142, 201, 203, 222, 224, 227, 228, 146, 148, 155, 160, 161, 166, 167})
               ? std::vector{1, 2}
               : std::vector{1};
}

// An operator of the table in gemmi's integer form, its translation wrapped into the cell; the
// six-digit centring translations of R lie within 1e-4 of thirds.
gemmi::Op asGemmiOp(const SymmetryOperator& op) {
    gemmi::Op result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j)
            result.rot[i][j] = static_cast<int>(std::lround(op.r[i][j] * Den));
        const double scaled = op.t[i] * Den;
        EXPECT_NEAR(scaled, std::round(scaled), 1e-4 * Den);
        result.tran[i] = static_cast<int>(std::lround(scaled));
    }
    return result.wrap();
}

TEST(SpaceGroupFiles, EveryRecordExpandsToGemmisGroup) {
    const SpaceGroupData data = readSpaceGroupData(shipped / "spgra.dat");
    std::size_t recordLines = 0;
    for (int number = 1; number <= 230; ++number) {
        for (int setting : expectedSettings(number)) {
            SCOPED_TRACE(std::to_string(number) + " setting " + std::to_string(setting));
            CrystalStructure structure;
            structure.sgNumber = number;
            structure.sgSetting = setting;
            SpaceGroupRecord record;
            std::string message;
            ASSERT_EQ(test::codeOf(findSpaceGroupRecord(data, structure, record), message), 0)
                << message;
            recordLines += 2 + record.operatorTexts.size();
            std::string name = structure.sgName;
            if (setting == 2 && number >= 16) name += number >= 143 && number <= 167 ? ":R" : ":2";
            const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(name);
            ASSERT_TRUE(group != nullptr && group->number == number) << name;
            EXPECT_EQ(static_cast<int>(structure.crystalSystem),
                      static_cast<int>(group->crystal_system()) + 1);
            ASSERT_EQ(record.operatorTexts.at(0), "x,y,z");

            // Expanded exactly as the engine does, the record gives gemmi's group, operator for
            // operator modulo lattice translations.
            OperatorTable table;
            expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                    record.operatorTexts, record.groupCodes, table);
            if (record.centringCode() == 14) {
                // The identity's centred copies carry the six-digit translations themselves.
                EXPECT_EQ(table[table.size() / 3].t, (Vec3{0.666667, 0.333333, 0.333333}));
                EXPECT_EQ(table[table.size() / 3 * 2].t, (Vec3{0.333333, 0.666667, 0.666667}));
            }
            std::vector<gemmi::Op> ops;
            for (const SymmetryOperator& op : table) ops.push_back(asGemmiOp(op));
            std::sort(ops.begin(), ops.end());
            EXPECT_TRUE(ops == group->operations().all_ops_sorted());
        }
    }
    // No record beyond those of the expected settings.
    EXPECT_EQ(recordLines, std::ranges::count(test::readFile(shipped / "spgra.dat"), '\n'));
}

// Every monoclinic cell choice and orthorhombic setting in gemmi's table, looked up by its symbol
// in the shipped file, gets its setting number or is converted into the standard group.
TEST(SpaceGroupFiles, EverySettingSymbolLeadsToItsSetting) {
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        const std::string qualifier = entry.qualifier;  // empty for the standard and extra entries
        const bool monoclinic = entry.number <= 15;
        if (entry.number < 3 || entry.number > 74 || qualifier.empty() ||
            (monoclinic && qualifier[0] == '-'))
            continue;
        SCOPED_TRACE(entry.xhm());
        CrystalStructure s;
        s.sgNumber = entry.number;
        s.sgName = entry.hm;
        s.sgSetting = 0;  // a symbol that matches no field would leave it so
        s.uniqueAxis = qualifier.substr(0, 1);
        s.cell = {5, 6, 7, 90, 90, 90};
        s.sites = {Site{"X1", 1, 0.1, 0.2, 0.3, 0, 0, 0, 0, 0}};
        std::string message;
        ASSERT_EQ(test::codeOf(resolveSpaceGroupSetting(monoclinic ? SettingLookup::Monoclinic
                                                                   : SettingLookup::Orthorhombic,
                                                        s, shipped / "sgtrans.dat"),
                               message),
                  0)
            << message;
        if (monoclinic) {
            const int choice = qualifier.size() > 1 ? qualifier[1] - '0' : 1;
            EXPECT_EQ(s.sgSetting,
                      choice + 3 * static_cast<int>(std::string("bca").find(qualifier[0])));
            continue;
        }
        // The converted site shows the signed permutation: t or 1 - t of the coordinates read.
        const double read[] = {0.1, 0.2, 0.3},
                     converted[] = {s.sites[0].x, s.sites[0].y, s.sites[0].z};
        gemmi::Op::Rot rot{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                rot[j][i] = std::fabs(converted[i] - read[j]) < 1e-9       ? Den
                            : std::fabs(converted[i] + read[j] - 1) < 1e-9 ? -Den
                                                                           : 0;
        std::string standard = gemmi::find_spacegroup_by_number(entry.number)->hm;
        if (entry.ext) standard += std::string(":") + entry.ext;
        gemmi::GroupOps ops = gemmi::find_spacegroup_by_name(standard)->operations();
        ops.change_basis_forward(gemmi::Op{rot, {0, 0, 0}});
        EXPECT_TRUE(ops.is_same_as(entry.operations()));
    }
}

}  // namespace
}  // namespace tarnell
