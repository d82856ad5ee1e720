#include "crystal/operator_expansion.h"

#include <gtest/gtest.h>

namespace tarnell {
namespace {

using Texts = std::vector<std::string>;

// Expands `texts` in place; the count must match the size of both results.
OperatorTable expand(Texts& texts, int flag, int centringCode, int lineCount = -1) {
    std::array<int, 14> codes{};
    codes[6] = centringCode;
    OperatorTable table;
    if (lineCount < 0) lineCount = static_cast<int>(texts.size());
    const int count = expandSymmetryOperators(lineCount, flag, texts, codes, table);
    EXPECT_EQ(table.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(count));
    return table;
}

TEST(OperatorExpansion, CentringSumsAreReducedOnceWithSixDigitRhombohedralValues) {
    Texts r(6, "x,y,z");
    r[1] = "x+1/3,y,z";
    const OperatorTable table = expand(r, 0, 14);
    ASSERT_EQ(table.size(), 18u);
    // 1/3 + 0.666667 = 1.0000003 is reduced to 0.0000003, which has no text.
    EXPECT_EQ(table[7].t[0], 1.0 / 3 + 0.666667 - 1);
    EXPECT_EQ(r[7], "x,y+1/3,z+1/3");
    EXPECT_EQ(r[13], "x+2/3,y+2/3,z+2/3");
    Texts a = {"x,y+3/4,z+1/2"};
    EXPECT_EQ(expand(a, 0, 4)[1].t, (std::array<double, 3>{0, 0.25, 1}));  // 1 itself stays
    EXPECT_EQ(a[1], "x,y+1/4,z");
}

// Beyond the texts that are there, nothing is read or written.
TEST(OperatorExpansion, TextsAreNormalisedAndInversionKeepsTranslations) {
    Texts texts = {"1/2+X,y,-Z", "-1/2+x,-y+1/2,z+1/6", "x-y,x,z", " x, y+1/2 ,-z", "x,y,z"};
    const OperatorTable table = expand(texts, 1, 0, 6);
    EXPECT_EQ(texts, (Texts{"x+1/2,y,-z", "x-1/2,-y+1/2,z+1/6", "x-y,x,z", "x,y+1/2,-z", "x,y,z",
                            "-x+1/2,-y,z", "-x-1/2,y+1/2,-z+1/6", "-x+y,-x,-z", "-x,-y+1/2,z",
                            "-x,-y,-z"}));
    EXPECT_EQ(table[1].t, (std::array<double, 3>{-0.5, 0.5, 1.0 / 6}));
    EXPECT_EQ(table[6].t, table[1].t);
    EXPECT_EQ(table[4].t, (std::array<double, 3>{}));
}

}  // namespace
}  // namespace tarnell
