#include "settings/text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>

#include "settings/numbers.h"

namespace tarnell {
namespace {

// The formats of the reports keep their printf meaning: widths count bytes, UTF-8 text included.
TEST(FormatText, GivesPrintfTextForFittingArguments) {
    EXPECT_EQ(formatText("%-4s|% 8.5lf|%3d|%zu|%g|%%", "Na", 2.5, 7, std::size_t{12}, 0.37),
              "Na  | 2.50000|  7|12|0.37|%");
    EXPECT_EQ(formatText("%-6s|%.2s|", "\xc3\xa9",
                         "\xc3\xa9"
                         "a"),
              "\xc3\xa9    |\xc3\xa9|");
    EXPECT_EQ(formatText("%*d|%c|%ld", 4, 1, 'x', 5L), "   1|x|5");
    EXPECT_EQ(formatText("plain, 100%% sure"), "plain, 100% sure");
    // One program's wording may leave out a number that the other's states.
    EXPECT_EQ(formatText("exceeds 80.", 81), "exceeds 80.");
}

// A format that does not fit its arguments would be undefined behaviour in printf.
TEST(FormatText, RefusesFormatsThatDoNotFitTheirArguments) {
    EXPECT_THROW(formatText("%d", 1.5), std::logic_error);
    EXPECT_THROW(formatText("%lf", 3), std::logic_error);
    EXPECT_THROW(formatText("%s", 3), std::logic_error);
    EXPECT_THROW(formatText("%d %d", 3), std::logic_error);
    EXPECT_THROW(formatText("%d", std::size_t{3}), std::logic_error);
    EXPECT_THROW(formatText("%n", static_cast<int*>(nullptr)), std::logic_error);
    EXPECT_THROW(formatText("%*d", 2.0, 1), std::logic_error);
    EXPECT_THROW(formatText("%", 1), std::logic_error);
    EXPECT_THROW(formatText(nullptr), std::logic_error);
}

TEST(Numbers, TokensReadOnlyWhenAllOfThemIsANumber) {
    const struct {
        const char* token;
        std::optional<double> real;
        std::optional<int> integer;
    } cases[] = {
        {"2", 2.0, 2},
        {"+2", 2.0, 2},
        {"-0.37", -0.37, std::nullopt},
        {" 3 ", std::nullopt, 3},
        {"1.759a", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"+", std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt},
        {"1e999", std::nullopt, std::nullopt},
        {"nan", std::nullopt, std::nullopt},
        {"99999999999", 99999999999.0, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readReal(c.token), c.real) << c.token;
        EXPECT_EQ(readInteger(c.token), c.integer) << c.token;
    }
}

}  // namespace
}  // namespace tarnell
