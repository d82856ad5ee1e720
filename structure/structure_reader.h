// readStructure: the one structure reader of both programs, switched by the file format.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "settings/status.h"

namespace tarnell {

// What a reader needs from the program that calls it.
struct ReaderContext {
    double dMax = 0.0;                  // distance limit of every site where a format has none
    std::filesystem::path sgTransFile;  // setting-transformation file for the setting lookup
};

// One input format: how the engine's command line, the file's extension, the JSON output and
// Kestrin's Open dialog name it, and its reader. A new format is one row of inputFormats() and
// one reader.
struct InputFormat {
    ReaderMode mode;
    const char* option;     // the engine's switch: "-b"
    const char* extension;  // without the dot, in lower case; the JSON's name of the format too
    const char* dialogFilter;
    // Reads an opened file; `path` names it in messages.
    Status (*read)(std::istream& in, const std::filesystem::path& path, CrystalStructure& structure,
                   const ReaderContext& context);
};

// Every format, in the order of the engine's usage text.
const std::vector<InputFormat>& inputFormats();
const InputFormat& inputFormat(ReaderMode mode);

// The reader of a command-line switch in the engine's style ("-b", "-r", "-i", "-c"), compared
// exactly; none for anything else.
std::optional<ReaderMode> readerModeForOption(const std::string& option);

// The reader of a file extension ("inp", "lst", "txt", "cif"), whatever its case.
std::optional<ReaderMode> readerModeForExtension(const std::string& extension);

// Longest texts from a structure file, in characters; longer ones are cut.
inline constexpr std::size_t MaxTitleLength = 200;
inline constexpr std::size_t MaxSymbolLength = 40;
inline constexpr std::size_t MaxLabelLength = 64;
inline constexpr std::size_t MaxMessageLength = 400;

// Makes the record's texts safe for a report, a message and the positional files: title and
// symbol on one line, blanks in a label made "_", control characters and bytes that are not UTF-8
// made "?", and every text cut to its length above.
void tidyStructureText(CrystalStructure& structure);

// Fills `structure` from the file at `path` and tidies its texts. Fails with one
// message line, after which the caller discards the record. A file that is not a
// readable regular file with lines of at most MaxLineLength is refused before any reader sees
// it; two sites under one label are refused after their labels were tidied. Every site's element
// is decided here, once, by the label rule.
Status readStructure(ReaderMode mode, const std::filesystem::path& path,
                     CrystalStructure& structure, const ReaderContext& context);

// The same from bytes a caller holds (a stream or a text); `name` names them in messages.
Status readStructure(ReaderMode mode, std::istream& in, const std::filesystem::path& name,
                     CrystalStructure& structure, const ReaderContext& context);
Status readStructureText(ReaderMode mode, const std::string& text,
                         const std::filesystem::path& name, CrystalStructure& structure,
                         const ReaderContext& context);

}  // namespace tarnell
