#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <optional>

#include "settings/text.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

// The usual layout: comment and blank lines between the keys, one blank after the "=" of the
// two paths, blanks around the editor command.
const std::string SettingsText =
    "; comment\nSpgraFile  = data/spgra.dat\n\nSGTransFile= data/sgtrans.dat\n; conditions\n"
    "BV-B       =0.370\nEntryNum   =42\nD-max      =3.000\nD-min      =0.500\n"
    "H-max      =1\nH-min      =-1\n; editor\nEditor     =  gedit --new-window  \n; end\n";

// Fourteen lines with the keys as a user may type them.
const std::string TerseText =
    "SpgraFile=a\nSGTransFile=b\n; free\n\n; text\n"
    "BV-B=0.37\n"
    "EntryNum\n"        // no "=": found, the number keeps its value
    "D-maximum =2.5\n"  // a longer word that starts with the key
    "D-min  =  0.25\n"
    "H-max=x\n"  // does not scan: keeps its value
    "H-min=-2\n"
    "; free\nEditor\n\n";

// The same with a value on every key line.
std::string tersePlusValues() {
    std::string text = TerseText;
    text.replace(text.find("EntryNum\n"), 9, "EntryNum=7\n");
    text.replace(text.find("H-max=x"), 7, "H-max= 3");
    return text;
}
const std::string TersePlusValues = tersePlusValues();

// Every field on one line, so that one comparison covers them all.
std::string fields(const Settings& s) {
    return formatText("[%s][%s][%s] b=%.10g entries=%d d=%.10g..%.10g h=%d..%d",
                      s.spgraFile.c_str(), s.sgTransFile.c_str(), s.editor.c_str(), s.bvB,
                      s.entryNum, s.dMin, s.dMax, s.hMin, s.hMax);
}

// What the engine reads, started from 7 entries and H-max 3: the fields, or its message.
std::string readAsEngine(const std::filesystem::path& path) {
    Settings settings;
    settings.entryNum = 7;
    settings.hMax = 3;
    std::string message;
    return test::codeOf(readSettings(path, settings), message) == 0 ? fields(settings)
                                                                    : "failed|" + message;
}

// What the front end reads: success, the number of keys found, the fields, then each message.
std::string readAsFrontEnd(const std::filesystem::path& path) {
    Settings settings;
    std::string messages;
    int keysRead = -1;
    const Status read = readSettings(path, settings, SettingsReader::FrontEnd, &keysRead);
    const bool ok = read.ok();
    if (!ok) messages.append("|").append(read.text(Program::FrontEnd));
    return formatText("%s %d ", ok ? "ok" : "failed", keysRead) + fields(settings) + messages;
}

TEST(SettingsFile, BothProgramsReadTheKeysInTheirOrderOrWordTheirFailure) {
    TempDir dir;
    const std::filesystem::path path = dir / "Tarnell.ini";
    std::string crlf;  // as written on Windows, without a final line break
    for (char c : SettingsText.substr(0, SettingsText.rfind("; end") - 1)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::string outOfOrder = SettingsText;  // the search for D-max reads past D-min
    outOfOrder.replace(outOfOrder.find("D-max      =3.000\nD-min      =0.500"), 35,
                       "D-min      =0.500\nD-max      =3.000");
    std::string noEditor = SettingsText;
    noEditor.replace(noEditor.find("Editor"), 6, "Viewer");
    // The engine keeps what follows the "=" verbatim and does not read the editor; the front end
    // trims every value, and keeps what it read before a failure.
    const std::string engine =
        "[ data/spgra.dat][ data/sgtrans.dat][] b=0.37 entries=42 d=0.5..3 h=-1..1";
    const std::string paths = "[data/spgra.dat][data/sgtrans.dat]";
    const std::string frontEnd =
        "ok 9 " + paths + "[gedit --new-window] b=0.37 entries=42 d=0.5..3 h=-1..1";
    const struct {
        std::optional<std::string> text;  // none: no file
        std::string engine, frontEnd;
    } cases[] = {
        {SettingsText, engine, frontEnd},
        {crlf, engine, frontEnd},
        // A key line without "=" has no value, which is no number.
        {TerseText, "failed|  Error !!!   EntryNum value \"\" is not a number.\n",
         "failed 3 [a][b][] b=0.37 entries=0 d=0..0 h=0..0|EntryNum value \"\" is not a number "
         "!!!\n"},
        {TersePlusValues, "[a][b][] b=0.37 entries=7 d=0.25..2.5 h=-2..3",
         "ok 9 [a][b][] b=0.37 entries=7 d=0.25..2.5 h=-2..3"},
        {std::nullopt, "failed|  Error !!!   " + path.string() + " not found.\n",
         "failed 0 [][][] b=0 entries=0 d=0..0 h=0..0|" + path.string() + " not found !!!"},
        {outOfOrder, "failed|  Error !!!   D-min not found.\n",
         "failed 5 " + paths + "[] b=0.37 entries=42 d=0..3 h=0..0|D-min not found !!!\n"},
        {noEditor, engine,
         "failed 8 " + paths + "[] b=0.37 entries=42 d=0.5..3 h=-1..1|Editor not found !!!\n"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        if (c.text) writeFile(path, *c.text);
        EXPECT_EQ(readAsEngine(path), c.engine);
        EXPECT_EQ(readAsFrontEnd(path), c.frontEnd);
    }
}

// Values that give no calculation: D-min 0 bonded every atom to itself, H-max 2147483647 never
// ended, BV-B inf gave every sum as its coordination number, and a value that did not scan was
// read as 0 or kept from elsewhere.
TEST(SettingsFile, ValuesThatGiveNoCalculationAreRefusedNamingKeyAndReason) {
    TempDir dir;
    const std::filesystem::path path = dir / "Tarnell.ini";
    const struct {
        const char* from;  // in SettingsText
        const char* to;
        std::string engine;  // the message after "  Error !!!   ", or "" for success
    } cases[] = {
        {"BV-B       =0.370", "BV-B=inf", "BV-B value \"inf\" is not a number."},
        {"BV-B       =0.370", "BV-B=0", "BV-B = 0 must be above 0 and below 2."},
        {"BV-B       =0.370", "BV-B=2", "BV-B = 2 must be above 0 and below 2."},
        {"BV-B       =0.370", "BV-B=1.999", ""},
        {"EntryNum   =42", "EntryNum=194", "EntryNum = 194 must be from 0 to 193."},
        {"EntryNum   =42", "EntryNum=-1", "EntryNum = -1 must be from 0 to 193."},
        {"EntryNum   =42", "EntryNum=4.2", "EntryNum value \"4.2\" is not a number."},
        {"D-max      =3.000", "D-max=nan", "D-max value \"nan\" is not a number."},
        {"D-max      =3.000", "D-max=0", "D-max = 0 must be above 0 and at most 10."},
        {"D-max      =3.000", "D-max=10.5", "D-max = 10.5 must be above 0 and at most 10."},
        {"D-min      =0.500", "D-min=", "D-min value \"\" is not a number."},
        {"D-min      =0.500", "D-min=0", "D-min = 0 must be above 0 and below D-max 3."},
        {"D-min      =0.500", "D-min=3", "D-min = 3 must be above 0 and below D-max 3."},
        {"D-min      =0.500", "D-min=2.999", ""},
        {"H-max      =1", "H-max=2147483647", "H-max = 2147483647 must be from -10 to 10."},
        {"H-max      =1", "H-max=0x1", "H-max value \"0x1\" is not a number."},
        {"H-max      =1", "H-max=10", ""},
        {"H-min      =-1", "H-min=-11", "H-min = -11 must be from -10 to 10."},
        {"H-min      =-1", "H-min=2", "H-min = 2 must be at most H-max 1."},
        {"H-min      =-1", "H-min=1", ""},
    };
    for (const auto& c : cases) {
        std::string text = SettingsText;
        text.replace(text.find(c.from), std::string(c.from).size(), c.to);
        writeFile(path, text);
        Settings settings;
        std::string message;
        const int status = test::codeOf(readSettings(path, settings), message);
        if (c.engine.empty()) {
            EXPECT_EQ(status, 0) << c.to << ": " << message;
            continue;
        }
        EXPECT_EQ(status, -1) << c.to;
        EXPECT_EQ(message, "  Error !!!   " + c.engine + "\n") << c.to;
        // The front end names the same key and reason in its own wording.
        const Status frontEnd = readSettings(path, settings, SettingsReader::FrontEnd);
        EXPECT_FALSE(frontEnd.ok());
        EXPECT_EQ(frontEnd.text(Program::FrontEnd),
                  c.engine.substr(0, c.engine.size() - 1) + " !!!\n")
            << c.to;
    }
}

TEST(SettingsFile, SavedConditionsRewriteOnlyTheirFiveLines) {
    TempDir dir;
    writeFile(dir / "Tarnell.ini", TerseText + "a fifteenth line\n");
    // b 0.37, D-max 3.1256, D-min 0.5, H-max 1, H-min -1
    const Settings conditions{"", "", 0.37, 0, 3.1256, 0.5, 1, -1, ""};
    std::string message;
    ASSERT_EQ(test::codeOf(saveConditions(dir / "Tarnell.ini", conditions), message), 0) << message;
    EXPECT_EQ(readFile(dir / "Tarnell.ini"),
              "SpgraFile=a\nSGTransFile=b\n; free\n\n; text\n"
              "BV-B       =0.370\nEntryNum\nD-max      =3.126\nD-min      =0.500\n"
              "H-max      =1\nH-min      =-1\n; free\nEditor\n\n");
}

TEST(SettingsFile, SavingIntoAShortOrMissingFileChangesNothing) {
    TempDir dir;
    const std::string thirteenLines = TerseText.substr(0, TerseText.size() - 1);
    writeFile(dir / "short.ini", thirteenLines);
    for (const char* name : {"short.ini", "missing.ini"}) {
        std::string message;
        EXPECT_EQ(test::codeOf(saveConditions(dir / name, Settings{}), message), -1) << name;
        EXPECT_FALSE(message.empty());
    }
    EXPECT_EQ(readFile(dir / "short.ini"), thirteenLines);
    EXPECT_FALSE(std::filesystem::exists(dir / "short.ini.new"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.ini"));
}

}  // namespace
}  // namespace tarnell
