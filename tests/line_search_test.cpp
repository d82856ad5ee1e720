#include "settings/line_search.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarnell {
namespace {

TEST(LineSearch, FindsLinesByTheirBeginningAndNeverRewinds) {
    const std::string longLine = "betamax " + std::string(1000, 'y');
    std::istringstream in("alpha 1\nbeta 2\n beta indented\n" + longLine + "\nalpha 4");
    std::string line;
    ASSERT_TRUE(findLine(in, "beta", line));
    EXPECT_EQ(line, "beta 2");
    // A longer word that starts with the prefix matches, and its line is read whole; an
    // indented line does not match.
    ASSERT_TRUE(findLine(in, "beta", line));
    EXPECT_EQ(line, longLine);
    // The first "alpha" line is behind the search. The last line has no line break and keeps
    // all its characters.
    ASSERT_TRUE(findLine(in, "alpha", line));
    EXPECT_EQ(line, "alpha 4");
    EXPECT_FALSE(findLine(in, "alpha", line));
}

}  // namespace
}  // namespace tarnell
