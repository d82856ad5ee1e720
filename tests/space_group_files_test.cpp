// The shipped space-group files are what make_space_group_files writes today, and they say what
// gemmi's tables say: each record expands to its group, and the setting-transformation file leads
// every symbol to the conversion that turns its group into the standard one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gemmi/symmetry.hpp>
#include <map>
#include <sstream>

#include "geometry/operator_expansion.h"
#include "structure/space_group_lookup.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

constexpr int Den = gemmi::Op::DEN;

const std::filesystem::path shipped = std::filesystem::path(TARNELL_SOURCE_DIR) / "data";

std::vector<std::string> shippedLines(const char* name) {
    std::istringstream in(test::readFile(shipped / name));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

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

int crystalSystemOf(int number) {
    constexpr int lastOfSystem[] = {2, 15, 74, 142, 167, 194, 230};
    int system = 1;
    while (number > lastOfSystem[system - 1]) ++system;
    return system;
}

// An operator of the table in gemmi's integer form, its translation wrapped into the cell; the
// six-digit centring translations of R lie within 1e-4 of thirds.
gemmi::Op asGemmiOp(const SymmetryOperator& op) {
    gemmi::Op result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) result.rot[i][j] = static_cast<int>(std::lround(op.r[i][j] * Den));
        const double scaled = op.t[i] * Den;
        EXPECT_NEAR(scaled, std::round(scaled), 1e-4 * Den);
        result.tran[i] = static_cast<int>(std::lround(scaled));
    }
    return result.wrap();
}

TEST(SpaceGroupFiles, EveryRecordExpandsToGemmisGroup) {
    const std::vector<std::string> lines = shippedLines("spgra.dat");
    std::map<int, std::vector<int>> settings;
    for (std::size_t at = 0; at < lines.size();) {
        const std::string& header = lines[at];
        SCOPED_TRACE(header);
        int number = 0, setting = 0, laue = 0, flag = 0, count = 0;
        ASSERT_EQ(
            std::sscanf(header.c_str(), "%3d%3d%3d%3d%3d", &number, &setting, &laue, &flag, &count),
            5);
        ASSERT_TRUE(header.size() > 18 && header.substr(15, 3) == "   " && header[18] != ' ');
        ASSERT_TRUE(at + 2 + count <= lines.size() && lines[at + 1].size() == 28);
        settings[number].push_back(setting);
        std::string name = header.substr(18);
        if (setting == 2 && number >= 16) name += number >= 143 && number <= 167 ? ":R" : ":2";
        const gemmi::SpaceGroup* group = gemmi::find_spacegroup_by_name(name);
        ASSERT_TRUE(group != nullptr && group->number == number);
        // gemmi's Laue classes in its order; 2/m on b, c, a and -3, -3m on rhombohedral axes
        const int laueBase[] = {1, 2, 5, 6, 7, 8, 10, 12, 13, 14, 15};
        const int laueClass = static_cast<int>(group->laue_class());
        EXPECT_EQ(laue, laueBase[laueClass] + (laueClass == 1 ? (setting - 1) / 3
                                               : laueClass == 5 || laueClass == 6 ? setting - 1
                                                                                  : 0));

        // Expanded exactly as the engine does, the record gives gemmi's group, operator for
        // operator modulo lattice translations.
        ASSERT_EQ(lines[at + 2], "x,y,z");
        for (int i = 0; i < count; ++i) {
            const std::string& text = lines[at + 2 + i];
            ASSERT_EQ(text.find_first_not_of(",+-/12346xyz"), std::string::npos) << text;
        }
        CrystalStructure structure;
        structure.sgNumber = number;
        structure.sgSetting = setting;
        SpaceGroupRecord record;
        std::string message;
        ASSERT_EQ(readSpaceGroupRecord(shipped / "spgra.dat", structure, record, message), 0)
            << message;
        EXPECT_EQ(structure.crystalSystem, crystalSystemOf(number));
        OperatorTable table;
        expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                record.operatorTexts, record.groupCodes, table);
        if (record.centringCode() == 14) {
            // The identity's first centred copy carries the six-digit translation itself.
            const std::size_t firstCopy = static_cast<std::size_t>(count * (flag == 1 ? 2 : 1));
            ASSERT_EQ(table.size(), 3 * firstCopy);
            EXPECT_EQ(table[firstCopy].t, (std::array<double, 3>{0.666667, 0.333333, 0.333333}));
            EXPECT_EQ(table[2 * firstCopy].t, (std::array<double, 3>{0.333333, 0.666667, 0.666667}));
        }
        std::vector<gemmi::Op> ops;
        for (const SymmetryOperator& op : table) ops.push_back(asGemmiOp(op));
        std::sort(ops.begin(), ops.end());
        const std::vector<gemmi::Op> groupOps = group->operations().all_ops_sorted();
        EXPECT_TRUE(ops == groupOps);
        const gemmi::Op inversion{gemmi::Op::identity().negated_rot(), {0, 0, 0}};
        EXPECT_EQ(flag == 1, std::ranges::count(groupOps, inversion) == 1);
        at += 2 + count;
    }
    ASSERT_EQ(settings.size(), 230u);
    for (const auto& [number, found] : settings)
        EXPECT_EQ(found, expectedSettings(number)) << number;
}

// The lookup's comparison: the structure's symbol is a prefix of the 10-column field.
bool symbolMatches(const std::string& line, std::size_t column, const std::string& symbol) {
    return line.size() >= column + 9 && line.compare(column - 1, symbol.size(), symbol) == 0;
}

std::string field(const std::string& line, std::size_t column) {
    const std::string text = line.substr(column - 1, 10);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// The lookup's search: past the section line and its heading, the first line that begins with
// the number as read by "%d".
std::size_t lineOfGroup(const std::vector<std::string>& lines, const char* section, int number) {
    std::size_t at = 0;
    while (at < lines.size() && lines[at].rfind(section, 0) != 0) ++at;
    for (at += 2; at < lines.size(); ++at) {
        int leading = 0;
        if (std::sscanf(lines[at].c_str(), "%d", &leading) == 1 && leading == number) break;
    }
    return at;
}

TEST(SpaceGroupFiles, SettingLookupLeadsEverySymbolToItsSetting) {
    const std::vector<std::string> lines = shippedLines("sgtrans.dat");
    for (int number = 3; number <= 15; ++number) {
        const std::size_t at = lineOfGroup(lines, "Monoclinic", number);
        const int choices = static_cast<int>(expectedSettings(number).size()) / 3;
        ASSERT_LE(at + choices, lines.size()) << number;
        for (std::size_t column : {22u, 44u, 66u}) {
            for (int choice = 1; choice <= choices; ++choice) {
                const std::string& line = lines[at + choice - 1];
                int leading = 0;  // only a group's first line may read as a number
                EXPECT_EQ(std::sscanf(line.c_str(), "%d", &leading), choice == 1 ? 1 : 0) << line;
                const gemmi::SpaceGroup* group =
                    gemmi::find_spacegroup_by_name(field(line, column));
                ASSERT_TRUE(group != nullptr && group->number == number) << line;
                EXPECT_EQ(group->qualifier,
                          "bca"[(column - 22) / 22] + (choices == 1 ? "" : std::to_string(choice)));
                // line 1 gives choice 1, then the first of lines 2 and 3 that matches overrides it
                int found = symbolMatches(lines[at], column, field(line, column)) ? 1 : 0;
                for (int next = 2; next <= choices && found < 2; ++next)
                    if (symbolMatches(lines[at + next - 1], column, field(line, column)))
                        found = next;
                EXPECT_EQ(found, choice) << line;
            }
        }
    }
    const std::array<gemmi::Op::Rot, 6> axes = {{{{{Den, 0, 0}, {0, Den, 0}, {0, 0, Den}}},
                                                 {{{0, Den, 0}, {Den, 0, 0}, {0, 0, -Den}}},
                                                 {{{0, 0, Den}, {Den, 0, 0}, {0, Den, 0}}},
                                                 {{{0, 0, -Den}, {0, Den, 0}, {Den, 0, 0}}},
                                                 {{{0, Den, 0}, {0, 0, Den}, {Den, 0, 0}}},
                                                 {{{Den, 0, 0}, {0, 0, -Den}, {0, Den, 0}}}}};
    for (int number = 16; number <= 74; ++number) {
        const std::size_t at = lineOfGroup(lines, "Orthorhombic", number);
        ASSERT_LT(at, lines.size()) << number;
        const std::string& line = lines[at];
        const gemmi::SpaceGroup* standard = gemmi::find_spacegroup_by_name(field(line, 11));
        ASSERT_TRUE(standard != nullptr && standard->qualifier == std::string()) << line;
        for (std::size_t k = 0; k < 6; ++k) {
            // the first field the symbol matches chooses the conversion, which must turn the
            // group the symbol names into the standard group
            const gemmi::SpaceGroup* named =
                gemmi::find_spacegroup_by_name(field(line, 11 + 11 * k));
            ASSERT_TRUE(named != nullptr && named->number == number) << line;
            std::size_t chosen = 0;
            while (!symbolMatches(line, 11 + 11 * chosen, field(line, 11 + 11 * k))) ++chosen;
            gemmi::GroupOps converted = standard->operations();
            converted.change_basis_forward(gemmi::Op{axes[chosen], {0, 0, 0}});
            EXPECT_TRUE(converted.is_same_as(named->operations())) << named->hm << " in " << line;
        }
    }
}

}  // namespace
}  // namespace tarnell
