#include "crystal/setting_transformation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using Vec3 = std::array<double, 3>;

CrystalStructure cell567(const std::vector<Vec3>& positions) {
    CrystalStructure s;
    s.cell = {5, 6, 7, 90, 90, 100};
    s.cellSigma = {0.001, 0.002, 0.003, 0.01, 0.02, 0.03};
    for (const Vec3& p : positions) s.sites.push_back({"O", 1, p[0], p[1], p[2], .004, .005, .006});
    return s;
}

struct Case {
    int setting;
    Vec3 edges, angles, edgeSigmas, siteSigmas;
    std::vector<Vec3> sites;
};

TEST(SettingTransformation, PermutesThe567CellAndBringsNegativeCoordinatesBackOnce) {
    const std::vector<Vec3> input = {{.1, .2, .3}, {.1, .2, 0}, {-.2, .5, .3}, {.1, -1.5, .3}};
    // clang-format off
    const Case cases[] = {
        {2, {6, 5, 7}, {90, 90, 100}, {.002, .001, .003}, {.005, .004, .006},
         {{.2, .1, .7}, {.2, .1, 0}, {.5, .8, .7}, {-.5, .1, .7}}},
        {3, {6, 7, 5}, {90, 100, 90}, {.002, .003, .001}, {.005, .006, .004},
         {{.2, .3, .1}, {.2, 0, .1}, {.5, .3, .8}, {-.5, .3, .1}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        CrystalStructure s = cell567(input);
        std::string message;
        ASSERT_EQ(test::codeOf(transformToStandardSetting(c.setting, s), message), 0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_DOUBLE_EQ(s.cell[i], c.edges[i]);
            EXPECT_NEAR(s.cell[3 + i], c.angles[i], 1e-6);
            EXPECT_DOUBLE_EQ(s.cellSigma[i], c.edgeSigmas[i]);
            EXPECT_EQ(s.cellSigma[3 + i], 0.01 * (i + 1));  // angle uncertainties stay in place
        }
        for (std::size_t k = 0; k < input.size(); ++k) {
            const Vec3 p = {s.sites[k].x, s.sites[k].y, s.sites[k].z};
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(p[i], c.sites[k][i], 1e-15);
            EXPECT_EQ((Vec3{s.sites[k].sx, s.sites[k].sy, s.sites[k].sz}), c.siteSigmas);
        }
        // The 0 under a minus sign stays 0 and prints so, neither as 1 nor as -0.
        EXPECT_FALSE(std::signbit(s.sites[1].y) || std::signbit(s.sites[1].z));
    }
}

TEST(SettingTransformation, RefusesBadCellOrSettingBeforeChangingAnything) {
    const CrystalStructure original = cell567({{0.1, 0.2, 0.3}});
    std::string message;
    for (double edge : {0.0, -5.0, std::nan("")}) {
        CrystalStructure s = original;
        s.cell[1] = edge;
        EXPECT_EQ(test::codeOf(transformToStandardSetting(2, s), message, Program::FrontEnd), -1);
        EXPECT_EQ(message, "  Cell edges must be positive !!!\n");
        EXPECT_EQ(s.sites[0].x, 0.1);
    }
    CrystalStructure s = original;
    EXPECT_EQ(test::codeOf(transformToStandardSetting(7, s), message), -1);
    EXPECT_EQ(message, "  Error !!!   Matrix not positive defined.\n");
    EXPECT_EQ(s.cell, original.cell);
    EXPECT_EQ(s.sites[0].x, 0.1);
}

}  // namespace
}  // namespace tarnell
