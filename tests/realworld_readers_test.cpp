// COD entries as published: each is read whole, with its group, setting and labels.
#include <gtest/gtest.h>

#include "structure/structure_reader.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

const std::filesystem::path Source = TARNELL_SOURCE_DIR;

TEST(RealWorldReaders, CodEntriesAreReadWithTheirGroupAndLabels) {
    const std::tuple<const char*, int, int, std::vector<std::string>> cases[] = {
        {"1011031.cif", 216, 1, {"Si1", "C1"}},
        {"2013551.cif", 164, 1, {"Mg", "I"}},
        {"2242624.cif", 2, 1, {"Fe", "N1", "N2"}},
        {"4003024.cif", 221, 1, {"Cs1", "Sn2", "Cl1", "In"}}};
    for (const auto& [file, number, setting, labels] : cases) {
        CrystalStructure s;
        std::string message;
        ASSERT_EQ(test::codeOf(readStructure(ReaderMode::CifFile,
                                             Source / "tests/data/realworld/readers" / file, s,
                                             ReaderContext{3.5, Source / "data/sgtrans.dat"}),
                               message),
                  0)
            << file << message;
        EXPECT_EQ(std::tie(s.sgNumber, s.sgSetting), std::tie(number, setting)) << file;
        std::vector<std::string> read;
        for (const Site& site : s.sites) read.push_back(site.name);
        EXPECT_EQ(read, labels) << file;
        EXPECT_TRUE(s.symmetryOperators.empty() && s.notes.empty()) << file;
    }
}

}  // namespace
}  // namespace tarnell
