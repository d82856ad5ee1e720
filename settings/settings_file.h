// The settings file "Tarnell.ini" that both programs share: 14 lines of "key = value" and free
// text. The keys stand in a fixed order; five of them on fixed lines, because the front end
// rewrites those lines by position before every calculation.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "settings/wording.h"

namespace tarnell {

inline constexpr int SettingsLineCount = 14;

struct Settings {
    std::string spgraFile;    // space-group data file
    std::string sgTransFile;  // setting-transformation file
    double bvB = 0.0;         // bond valence parameter b, in Å
    int entryNum = 0;         // number of reference lines of the parameter table
    double dMax = 0.0;        // upper distance limit, Å
    double dMin = 0.0;        // lower distance limit, Å
    int hMax = 0;             // cell translations tried along each axis: hMin .. hMax
    int hMin = 0;
    std::string editor;  // command that opens the report (front end only)
};

// Limits of the values that give a calculation at all: b divides every bond valence, a D-min of
// 0 bonds each atom to itself, and every cell translation more multiplies the search.
inline constexpr double MaxBvB = 2.0;
inline constexpr int MaxCellTranslation = 10;
// The parameter table's capacity of references.
inline constexpr int MaxReferenceEntries = 193;
// Longest part of a value that a message quotes.
inline constexpr std::size_t MaxQuotedValueLength = 80;

// 0 when 0 < BV-B < MaxBvB, 0 <= EntryNum <= MaxReferenceEntries, 0 < D-min < D-max and
// -MaxCellTranslation <= H-min <= H-max <= MaxCellTranslation; otherwise -1 with the wording's
// message naming the key, its value and its range.
int checkSettings(const Settings& settings, const Wording& wording, std::string& message);

// Engine: reads the eight keys it needs, the two paths verbatim after the "=" (leading blanks
// kept), every number whole, and checks the values. 0 on success; -1 with one message line
// naming the missing file or key, or the key whose value is no number or out of range.
int readSettings(const std::filesystem::path& path, Settings& settings, std::string& message);

// A file named in the settings: a relative path is taken from the working directory; an empty
// one names no file.
std::filesystem::path settingsFilePath(const std::filesystem::path& workDir,
                                       const std::string& path);

// The keys in the order in which they must stand in the file.
enum class SettingsKey { SpgraFile, SGTransFile, BvB, EntryNum, DMax, DMin, HMax, HMin, Editor };

// Front end: reads all nine keys, every value trimmed of blanks, and checks the values as the
// engine does. On failure `showMessage` gets the one message to put in front of the user, and
// the values read so far stay stored.
// `keysRead`, when given, receives how many keys were found, in their order: a key was read
// exactly when static_cast<int>(key) < *keysRead.
using MessageSink = std::function<void(const std::string&)>;
bool readSettings(const std::filesystem::path& path, Settings& settings,
                  const MessageSink& showMessage, int* keysRead = nullptr);

// Front end: rewrites the five calculation conditions on lines 6 and 8 to 11 and keeps every
// other line as it was. A file that cannot be read or has fewer than 14 lines is left exactly
// as it was: 0 on success, -1 with a message otherwise.
int saveConditions(const std::filesystem::path& path, const Settings& conditions,
                   std::string& message);

}  // namespace tarnell
