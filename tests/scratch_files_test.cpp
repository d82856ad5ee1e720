#include "engine/scratch_files.h"

#include <gtest/gtest.h>

#include "tests/test_files.h"
#include "valence/distance_list.h"

namespace tarnell {
namespace {

DistanceEntry entry(const char* centre, double d) {
    DistanceEntry e;
    e.centre = centre;
    e.neighbour = "O1";
    e.code = "1_555";
    e.neighbourPosition = {0.5, 0.25, 0.125};
    e.d = d;
    e.sigma = 0.002;
    e.alternatives = {BondParameter{"Fe3+", "O2-", 1.759, "a"}};
    return e;
}

int writeList(const DistanceListFiles& files, const std::vector<DistanceEntry>& entries) {
    DistanceListWriter writer(files);
    if (!writer.opened()) return -1;
    for (const DistanceEntry& e : entries) writer.write(e);
    return writer.finish() ? writer.count() : -1;
}

// A batch thread keeps its scratch files open and writes them run after run: a short list over
// a long one must leave nothing of the long one, and what was written is what is read back.
TEST(ScratchFiles, ShortListOverALongOneReadsBackAloneAndTheFilesGoWithTheirOwner) {
    test::TempDir dir;
    std::filesystem::path distances;
    {
        const ScratchFiles scratch(dir.path());
        ASSERT_TRUE(scratch.created());
        const DistanceListFiles& files = scratch.files();
        distances = files.distances;
        ASSERT_EQ(writeList(files, {entry("Fe1", 2.1), entry("Fe1", 2.2), entry("Fe2", 1.9)}), 3);
        ASSERT_EQ(writeList(files, {entry("Mg1", 2.05)}), 1);

        std::vector<DistanceEntry> read;
        std::string message;
        ASSERT_EQ(test::codeOf(readDistanceList(files, 1, read), message), 0) << message;
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read[0].centre, "Mg1");
        EXPECT_DOUBLE_EQ(read[0].d, 2.05);
        EXPECT_EQ(read[0].alternatives.at(0).reference, "a");
        // The report prints the line as the list holds it.
        EXPECT_EQ(distanceLine(read[0]) + "\n", test::readFile(files.distances));
        EXPECT_EQ(test::readFile(files.parameters),
                  "1 " + bondParameterText(read[0].alternatives) + "\n");
        // Asking for more entries than the list holds is a list that cannot be read back.
        EXPECT_EQ(test::codeOf(readDistanceList(files, 2, read), message), -1);
        EXPECT_EQ(message, "  Error !!! The distance list cannot be read back.\n");
        EXPECT_TRUE(read.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(distances));
    EXPECT_TRUE(test::scratchFilesIn(dir.path()).empty());
}

}  // namespace
}  // namespace tarnell
