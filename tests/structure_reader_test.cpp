#include "structure/structure_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "settings/input_file.h"
#include "settings/text.h"
#include "tests/test_files.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::filesystem::path Source(TARNELL_SOURCE_DIR);

// Text from a file reaches the report, the messages and the positional scratch files.
TEST(StructureText, TitleSymbolAndLabelsAreTidiedForReportsAndFiles) {
    const std::string longTitle(300, 't');
    std::string longLabel(71, '1');
    longLabel[0] = 'O';
    const struct {
        std::string title, sgName, label;
        std::string expectedTitle, expectedSgName, expectedLabel;
    } cases[] = {
        {"Forsterite", "P n m a", "Mg1", "Forsterite", "P n m a", "Mg1"},
        {"two\nlines", "P 1\r", "Mg 1", "two lines", "P 1 ", "Mg_1"},
        {"tab\there", "P\t-1", "O\t2\n", "tab here", "P -1", "O_2_"},
        {"\x1b[2Jcleared", "F d -3 m\x07", "Fe\x01", "?[2Jcleared", "F d -3 m?", "Fe?"},
        {"Quarz \xce\xb1", "P 32 2 1", "O\xff", "Quarz \xce\xb1", "P 32 2 1", "O?"},
        {longTitle, std::string(50, 's'), longLabel, longTitle.substr(0, MaxTitleLength),
         std::string(MaxSymbolLength, 's'), longLabel.substr(0, MaxLabelLength)},
    };
    for (const auto& c : cases) {
        CrystalStructure s;
        s.title = c.title;
        s.sgName = c.sgName;
        s.sites = {Site{c.label}};
        tidyStructureText(s);
        EXPECT_EQ(s.title, c.expectedTitle);
        EXPECT_EQ(s.sgName, c.expectedSgName);
        EXPECT_EQ(s.sites[0].name, c.expectedLabel);
    }
}

// A quoted CIF label 'Mg 1' gave Mg2 a sum of 737.6, because the scratch files are read back by
// blank-separated fields.
TEST(StructureText, LabelWithABlankBecomesOneWordAndMayNotMeetAnother) {
    TempDir dir;
    const std::string cif = readFile(Source / "examples/forsterite.cif");
    const ReaderContext context{3.0, Source / "data/sgtrans.dat"};
    std::string quoted = cif;
    quoted.replace(quoted.find("Mg1 Mg2+"), 8, "'Mg 1' Mg2+");
    writeFile(dir / "quoted.cif", quoted);
    CrystalStructure s;
    std::string message;
    ASSERT_EQ(
        test::codeOf(readStructure(ReaderMode::CifFile, dir / "quoted.cif", s, context), message),
        0)
        << message;
    EXPECT_EQ(s.sites[0].name, "Mg_1");
    EXPECT_EQ(s.sites[1].name, "Mg2");

    quoted.replace(quoted.find("Mg2 Mg2+"), 8, "Mg_1 Mg2+");
    writeFile(dir / "twice.cif", quoted);
    EXPECT_EQ(
        test::codeOf(readStructure(ReaderMode::CifFile, dir / "twice.cif", s, context), message),
        -1);
    EXPECT_EQ(message, "  Error !!!  Species label Mg_1 is used twice.\n");
}

// A directory read as an empty file, /dev/zero grew memory without bound, and every failure to
// open was called "file not found".
TEST(InputFile, OnlyReadableRegularFilesWithBoundedLinesAreRead) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    writeFile(dir / "long.inp", "#\nT\n" + std::string(MaxLineLength + 1, 'a') + "\n");
    writeFile(dir / "crlf.inp", std::string(MaxLineLength, 'a') + "\r\n");
    writeFile(dir / "locked.inp", "#\n");
    std::filesystem::permissions(dir / "locked.inp", std::filesystem::perms::none);
    std::filesystem::create_symlink(dir / "gone.inp", dir / "dangling.inp");

    const auto path = [&](const char* name) { return (dir / name).string(); };
    struct Case {
        std::string path;
        std::string message;  // engine wording; "" when the file is taken
    };
    std::vector<Case> cases = {
        {path("missing.inp"), "  Error !!!  " + path("missing.inp") + " file not found.\n"},
        {path("dangling.inp"), "  Error !!!  " + path("dangling.inp") + " file not found.\n"},
        {path("folder"), "  Error !!!  " + path("folder") + " is not a regular file.\n"},
        {path("fifo"), "  Error !!!  " + path("fifo") + " is not a regular file.\n"},
        {"/dev/zero", "  Error !!!  /dev/zero is not a regular file.\n"},
        {path("long.inp"),
         "  Error !!!  Line 3 of " + path("long.inp") + " is longer than 1 MB.\n"},
        {path("crlf.inp"), ""},
    };
    if (::geteuid() != 0) {  // root reads it all the same
        cases.push_back(
            {path("locked.inp"), "  Error !!!  " + path("locked.inp") + " file cannot be read.\n"});
    }
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(test::codeOf(checkInputFile(c.path, MessageId::StructureFileNotFound), message),
                  c.message.empty() ? 0 : -1)
            << c.path;
        EXPECT_EQ(message, c.message) << c.path;
    }

    // The structure readers and the parameter table check before they read.
    CrystalStructure s;
    std::string message;
    EXPECT_EQ(
        test::codeOf(readStructure(ReaderMode::NativeFile, dir / "fifo", s, ReaderContext{3.0, {}}),
                     message, Program::FrontEnd),
        -1);
    EXPECT_EQ(message, "  " + path("fifo") + " is not a regular file !!!\n");
    ParameterTable table;
    EXPECT_EQ(test::codeOf(loadParameterTable(dir / "folder", table), message), -1);
    EXPECT_EQ(message, "  Error !!!  " + path("folder") + " is not a regular file.\n");

    // The line reader itself never holds more than one line of the limit.
    std::istringstream endless(std::string(MaxLineLength + 1, 'a') + "\nnext\n");
    std::string line;
    EXPECT_FALSE(readLine(endless, line));
    EXPECT_TRUE(endless.fail() && !endless.eof());
    std::istringstream longest(std::string(MaxLineLength, 'a') + "\r\nnext");
    ASSERT_TRUE(readLine(longest, line));
    EXPECT_EQ(line.size(), MaxLineLength);
    ASSERT_TRUE(readLine(longest, line));
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(readLine(longest, line));
}

// A caller that holds the bytes (the Python module, a web service) gets what a file gives, for
// every format, elements included.
TEST(StructureReader, BytesReadAsTheFileThatHoldsThem) {
    const ReaderContext context{3.0, Source / "data/sgtrans.dat"};
    for (const InputFormat& format : inputFormats()) {
        const std::string extension = format.extension;
        const std::filesystem::path file =
            Source / "examples" /
            (extension == "txt" ? "forsterite_pbnm_structured.txt" : "forsterite." + extension);
        SCOPED_TRACE(file.string());
        CrystalStructure fromFile;
        CrystalStructure fromText;
        ASSERT_TRUE(readStructure(format.mode, file, fromFile, context).ok());
        ASSERT_TRUE(readStructureText(format.mode, readFile(file), file, fromText, context).ok());
        ASSERT_EQ(fromText.sites.size(), fromFile.sites.size());
        for (std::size_t i = 0; i < fromFile.sites.size(); ++i) {
            EXPECT_EQ(fromText.sites[i].name, fromFile.sites[i].name);
            EXPECT_EQ(fromText.sites[i].x, fromFile.sites[i].x);
            EXPECT_EQ(fromText.sites[i].element, fromFile.sites[i].element);
            EXPECT_FALSE(fromFile.sites[i].element.empty());
        }
        EXPECT_EQ(fromText.cell, fromFile.cell);
        EXPECT_EQ(readerModeForOption(format.option), format.mode);
        EXPECT_EQ(readerModeForExtension(format.extension), format.mode);
    }
}

}  // namespace
}  // namespace tarnell
