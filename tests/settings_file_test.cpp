#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// A settings file in the usual layout, with comment and blank lines between the keys and one
// blank after the "=" of the two paths.
const char* const SettingsText =
    "; comment\n"
    "SpgraFile  = data/spgra.dat\n"
    "\n"
    "SGTransFile= data/sgtrans.dat\n"
    "; conditions\n"
    "BV-B       =0.370\n"
    "EntryNum   =42\n"
    "D-max      =3.000\n"
    "D-min      =0.500\n"
    "H-max      =1\n"
    "H-min      =-1\n"
    "; editor\n"
    "Editor     =  gedit --new-window  \n"
    "; end\n";

struct FrontEndRead {
    Settings settings;
    std::vector<std::string> messages;
    bool ok = false;
    int keysRead = -1;
};

FrontEndRead readAsFrontEnd(const std::filesystem::path& path) {
    FrontEndRead result;
    result.ok = readSettings(
        path, result.settings, [&](const std::string& m) { result.messages.push_back(m); },
        &result.keysRead);
    return result;
}

// The file as written here, and as written on Windows without a final line break: the last
// line keeps all its characters.
std::vector<std::string> bothLineEnds() {
    std::string crlf;
    for (char c : std::string(SettingsText)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    crlf.erase(crlf.rfind("; end"));
    crlf.erase(crlf.size() - 2);
    return {SettingsText, crlf};
}

TEST(SettingsFile, BothProgramsReadTheSameValuesThroughCommentsAndBlankLines) {
    for (const std::string& text : bothLineEnds()) {
        TempDir dir;
        writeFile(dir / "Tarnell.ini", text);
        Settings engine;
        std::string message;
        ASSERT_EQ(readSettings(dir / "Tarnell.ini", engine, message), 0) << message;
        // The engine keeps what follows the "=" verbatim; the front end trims it.
        EXPECT_EQ(engine.spgraFile, " data/spgra.dat");
        EXPECT_EQ(engine.sgTransFile, " data/sgtrans.dat");
        EXPECT_DOUBLE_EQ(engine.bvB, 0.37);
        EXPECT_EQ(engine.entryNum, 42);
        EXPECT_DOUBLE_EQ(engine.dMax, 3.0);
        EXPECT_DOUBLE_EQ(engine.dMin, 0.5);
        EXPECT_EQ(engine.hMax, 1);
        EXPECT_EQ(engine.hMin, -1);

        const FrontEndRead front = readAsFrontEnd(dir / "Tarnell.ini");
        ASSERT_TRUE(front.ok);
        EXPECT_TRUE(front.messages.empty());
        EXPECT_EQ(front.keysRead, SettingsKeyCount);
        EXPECT_EQ(front.settings.spgraFile, "data/spgra.dat");
        EXPECT_EQ(front.settings.editor, "gedit --new-window");
        EXPECT_DOUBLE_EQ(front.settings.bvB, 0.37);
        EXPECT_EQ(front.settings.hMin, -1);
    }
}

TEST(SettingsFile, KeysOutOfOrderCountAsMissing) {
    TempDir dir;
    std::string text = SettingsText;
    // D-min before D-max: the search for D-max reads past D-min.
    text.replace(text.find("D-max      =3.000\nD-min      =0.500"), 35,
                 "D-min      =0.500\nD-max      =3.000");
    writeFile(dir / "Tarnell.ini", text);

    Settings engine;
    std::string message;
    EXPECT_EQ(readSettings(dir / "Tarnell.ini", engine, message), -1);
    EXPECT_EQ(message, "  Error !!!   D-min not found.\n");

    const FrontEndRead front = readAsFrontEnd(dir / "Tarnell.ini");
    EXPECT_FALSE(front.ok);
    ASSERT_EQ(front.messages.size(), 1u);
    EXPECT_EQ(front.messages[0], "D-min not found !!!\n");
    EXPECT_EQ(front.keysRead, static_cast<int>(SettingsKey::DMin));
    // What was read before the failure stays stored.
    EXPECT_DOUBLE_EQ(front.settings.dMax, 3.0);
    EXPECT_EQ(front.settings.entryNum, 42);
}

TEST(SettingsFile, MissingFileIsReportedWithItsPath) {
    TempDir dir;
    Settings engine;
    std::string message;
    EXPECT_EQ(readSettings(dir / "Tarnell.ini", engine, message), -1);
    EXPECT_EQ(message, "  Error !!!   " + (dir / "Tarnell.ini").string() + " not found.\n");

    const FrontEndRead front = readAsFrontEnd(dir / "Tarnell.ini");
    EXPECT_FALSE(front.ok);
    ASSERT_EQ(front.messages.size(), 1u);
    EXPECT_EQ(front.messages[0], (dir / "Tarnell.ini").string() + " not found !!!");
}

TEST(SettingsFile, MissingEditorFailsOnlyTheFrontEnd) {
    TempDir dir;
    std::string text = SettingsText;
    text.replace(text.find("Editor"), 6, "Viewer");
    writeFile(dir / "Tarnell.ini", text);
    Settings engine;
    std::string message;
    EXPECT_EQ(readSettings(dir / "Tarnell.ini", engine, message), 0);
    const FrontEndRead front = readAsFrontEnd(dir / "Tarnell.ini");
    EXPECT_FALSE(front.ok);
    EXPECT_EQ(front.messages.at(0), "Editor not found !!!\n");
}

TEST(SettingsFile, KeysMatchByPrefixWithOrWithoutPaddingAndWithoutEquals) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini",
              "SpgraFile=a\nSGTransFile=b\n\n\n\n"
              "BV-B=0.37\n"
              "EntryNum\n"  // no "=": found, the number keeps its value
              "D-maximum =2.5\n"
              "D-min  =  0.25\n"
              "H-max=x\n"  // does not scan: keeps its value
              "H-min=-2\n\nEditor\n\n");
    Settings engine;
    engine.entryNum = 7;
    engine.hMax = 3;
    std::string message;
    ASSERT_EQ(readSettings(dir / "Tarnell.ini", engine, message), 0) << message;
    EXPECT_DOUBLE_EQ(engine.bvB, 0.37);
    EXPECT_EQ(engine.entryNum, 7);
    EXPECT_DOUBLE_EQ(engine.dMax, 2.5);
    EXPECT_DOUBLE_EQ(engine.dMin, 0.25);
    EXPECT_EQ(engine.hMax, 3);
    EXPECT_EQ(engine.hMin, -2);

    const FrontEndRead front = readAsFrontEnd(dir / "Tarnell.ini");
    ASSERT_TRUE(front.ok);
    EXPECT_EQ(front.settings.editor, "");
    EXPECT_EQ(front.settings.entryNum, 0);
}

TEST(SettingsFile, SavedConditionsRewriteOnlyTheirFiveLines) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini", std::string(SettingsText) + "a fifteenth line\n");
    Settings conditions;
    conditions.bvB = 0.37;
    conditions.dMax = 3.1256;
    conditions.dMin = 0.5;
    conditions.hMax = 1;
    conditions.hMin = -1;
    std::string message;
    ASSERT_EQ(saveConditions(dir / "Tarnell.ini", conditions, message), 0) << message;

    EXPECT_EQ(readFile(dir / "Tarnell.ini"),
              "; comment\n"
              "SpgraFile  = data/spgra.dat\n"
              "\n"
              "SGTransFile= data/sgtrans.dat\n"
              "; conditions\n"
              "BV-B       =0.370\n"
              "EntryNum   =42\n"
              "D-max      =3.126\n"
              "D-min      =0.500\n"
              "H-max      =1\n"
              "H-min      =-1\n"
              "; editor\n"
              "Editor     =  gedit --new-window  \n"
              "; end\n");

    // The engine then reads the rounded value.
    Settings engine;
    ASSERT_EQ(readSettings(dir / "Tarnell.ini", engine, message), 0);
    EXPECT_DOUBLE_EQ(engine.dMax, 3.126);
}

TEST(SettingsFile, SavingIntoAShortOrMissingFileChangesNothing) {
    TempDir dir;
    const std::string shortText = "SpgraFile=a\nSGTransFile=b\nBV-B=0.37\n";
    writeFile(dir / "Tarnell.ini", shortText);
    Settings conditions;
    std::string message;
    EXPECT_EQ(saveConditions(dir / "Tarnell.ini", conditions, message), -1);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(readFile(dir / "Tarnell.ini"), shortText);
    EXPECT_FALSE(std::filesystem::exists(dir / "Tarnell.ini.new"));

    message.clear();
    EXPECT_EQ(saveConditions(dir / "missing.ini", conditions, message), -1);
    EXPECT_FALSE(message.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
}

}  // namespace
}  // namespace tarnell
