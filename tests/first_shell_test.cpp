#include "valence/first_shell.h"

#include <gtest/gtest.h>

namespace tarnell {
namespace {

TEST(FirstShell, EndsAtTheLargestAtLeastTwofoldDropOfTheBondValences) {
    const struct {
        const char* what;
        std::vector<double> fullValences;
        int size;
    } cases[] = {
        {"no bond", {}, 0},
        {"one bond", {0.9}, 1},
        {"one regular shell fills the window", {0.17, 0.17, 0.17, 0.17, 0.17, 0.17}, 6},
        {"a distorted shell without a second one", {0.6, 0.5, 0.4, 0.35}, 4},
        {"tetrahedron and distant contacts", {1.0, 0.98, 0.02, 1.01, 0.99, 0.03, 0.01}, 4},
        {"the larger of two gaps wins", {0.6, 0.6, 0.25, 0.25, 0.01}, 4},
        {"of equal gaps the nearer shell", {0.8, 0.2, 0.05}, 1},
        // K in sanidine: one O at 2.70 Å, nine from 2.97 to 3.26 Å; the drop after the first
        // bond is the largest, but one bond of ten is no shell.
        {"a short bond of a large cation",
         {0.217, 0.103, 0.103, 0.093, 0.093, 0.078, 0.078, 0.050, 0.050, 0.047},
         10},
        {"a shell of half the sum before a distant one", {0.3, 0.3, 0.25, 0.25, 0.1, 0.1}, 4},
    };
    for (const auto& c : cases) EXPECT_EQ(firstShellSize(c.fullValences), c.size) << c.what;
}

}  // namespace
}  // namespace tarnell
