#include "settings/line_search.h"

#include <gtest/gtest.h>

#include <sstream>

#include "settings/text.h"

namespace tarnell {
namespace {

TEST(LineSearch, FindsLinesByTheirBeginningAndNeverRewinds) {
    std::istringstream in("alpha 1\nbeta 2\n beta indented\nbetamax 3\nalpha 4");
    std::string line;
    ASSERT_EQ(findLine(in, "beta", line), 0);
    EXPECT_EQ(line, "beta 2");
    // A longer word that starts with the prefix matches; an indented line does not.
    ASSERT_EQ(findLine(in, "beta", line), 0);
    EXPECT_EQ(line, "betamax 3");
    // The search goes on from where it stopped: the first "alpha" line is behind it. The last
    // line has no line break and keeps all its characters.
    ASSERT_EQ(findLine(in, "alpha", line), 0);
    EXPECT_EQ(line, "alpha 4");
    EXPECT_EQ(findLine(in, "alpha", line), -1);
}

TEST(LineSearch, KeySearchWordsItsFailureForEachProgram) {
    std::string line;
    std::string message;
    std::istringstream engineIn("x\n");
    EXPECT_EQ(findKeyLine(engineIn, "D-max", line, message, EngineWording), -1);
    EXPECT_EQ(message, "  Error !!!   D-max not found.\n");

    std::istringstream frontIn("x\n");
    EXPECT_EQ(findKeyLine(frontIn, "D-max", line, message, FrontEndWording), -1);
    EXPECT_EQ(message, "D-max not found !!!\n");
}

TEST(LineSearch, WindowsLineEndsReadLikeUnixOnes) {
    std::istringstream in("Title line\r\n\r\nlast\r\n");
    std::string line;
    ASSERT_TRUE(readLine(in, line));
    EXPECT_EQ(line, "Title line");
    ASSERT_TRUE(readLine(in, line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(readLine(in, line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(readLine(in, line));
}

TEST(LineSearch, LinesOfAnyLengthAreReadWhole) {
    const std::string longLine(1000, 'y');
    std::istringstream in("key " + longLine + "\nnext\n");
    std::string line;
    ASSERT_EQ(findLine(in, "key", line), 0);
    EXPECT_EQ(line, "key " + longLine);
    ASSERT_EQ(findLine(in, "next", line), 0);
}

}  // namespace
}  // namespace tarnell
