#include "settings/messages.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarnell {
namespace {

// One message, two programs: the engine's report lines and Kestrin's message boxes word the same
// words differently, and neither may lose a number's format.
TEST(Messages, EachProgramDecoratesTheSameWords) {
    const struct {
        Message message;
        const char* engine;
        const char* frontEnd;
    } cases[] = {
        {message(MessageId::StructureFileNotFound, "a.cif"), "  Error !!!  a.cif file not found.\n",
         "  a.cif file not found !!!\n"},
        {message(MessageId::DataFileNotFound, "BVTable"), "  Error !!!   BVTable file not found.\n",
         "  BVTable file not found !!!\n"},
        {message(MessageId::SpeciesExceeds, 80), "  Error !!!  Number of species exceeds over 80.",
         "  Number of species exceeds over 80 !!!"},
        {message(MessageId::NoDistanceEntry, 3.5),
         "  Error !!!  No distance entry within less then 3.500.\n",
         "  No distance entry within less then 3.500 !!!\n"},
        {message(MessageId::CellAnglesMakeNoCell, 170, 170.5, 120),
         "  Error !!!  Cell angles alpha = 170, beta = 170.5, gamma = 120 make no cell.\n",
         "  Cell angles alpha = 170, beta = 170.5, gamma = 120 make no cell !!!\n"},
        {message(MessageId::DummySitesSkipped, "Q1, H1"),
         "  Note !!!  Dummy sites skipped: Q1, H1.\n", "  Dummy sites skipped: Q1, H1 !!!\n"},
        {message(MessageId::SettingNotNumber, "D-max", "abc"),
         "  Error !!!   D-max value \"abc\" is not a number.\n",
         "D-max value \"abc\" is not a number !!!\n"},
        {message(MessageId::SpaceGroupNotFound, "P 1"), "  P 1 space group not found !!!\n",
         "  P 1 space group not found !!!\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(messageText(c.message, Program::Engine), c.engine);
        EXPECT_EQ(messageText(c.message, Program::FrontEnd), c.frontEnd);
    }
    EXPECT_EQ(messageBody(message(MessageId::LabelTwice, "O1")), "Species label O1 is used twice");
}

// A message whose arguments do not fit its words is a fault of the program, never a garbled line.
TEST(Messages, ArgumentsThatDoNotFitTheWordsAreRefused) {
    EXPECT_THROW(messageBody(message(MessageId::LabelTwice, 3)), std::logic_error);
    EXPECT_THROW(messageBody(message(MessageId::LabelTwice)), std::logic_error);
    EXPECT_THROW(messageBody(message(MessageId::LabelTwice, "O1", "O2")), std::logic_error);
    EXPECT_THROW(messageBody(message(MessageId::SpeciesExceeds, "80")), std::logic_error);
}

}  // namespace
}  // namespace tarnell
