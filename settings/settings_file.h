// The settings file "Tarnell.ini" that both programs share: 14 lines of "key = value" and free
// text. The keys stand in a fixed order; five of them on fixed lines, because the front end
// rewrites those lines by position before every calculation.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "settings/status.h"

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
// A bond valence at 10 Å is below 1e-8 v.u.; a limit far beyond that only makes the search
// endless. Kestrin holds its boxes to the same bound.
inline constexpr double MaxDMax = 10.0;
// The parameter table's capacity of references.
inline constexpr int MaxReferenceEntries = 193;
// Longest part of a value that a message quotes.
inline constexpr std::size_t MaxQuotedValueLength = 80;

// Done when 0 < BV-B < MaxBvB, 0 <= EntryNum <= MaxReferenceEntries, 0 < D-min < D-max <=
// MaxDMax and -MaxCellTranslation <= H-min <= H-max <= MaxCellTranslation; otherwise failed with
// the wording's message naming the key, its value and its range.
Status checkSettings(const Settings& settings);

// Who reads the settings file, which decides what is read and how failures are worded.
// Engine: the eight keys it needs, the two paths verbatim after the "=" (leading blanks kept).
// FrontEnd: all nine keys, every value trimmed of blanks; the values read before a failure stay
// stored, so that the form can show them.
enum class SettingsReader { Engine, FrontEnd };

// Reads every number whole and checks the values. Failed with one message naming the missing
// file or key, or the key whose value is no number or out of range. `keysRead`, when given,
// receives how many keys were found, in their order: a key was read exactly when
// static_cast<int>(key) < *keysRead.
Status readSettings(const std::filesystem::path& path, Settings& settings,
                    SettingsReader reader = SettingsReader::Engine, int* keysRead = nullptr);
// The same from the settings' text that a caller holds.
Status readSettings(std::istream& in, Settings& settings,
                    SettingsReader reader = SettingsReader::Engine, int* keysRead = nullptr);

// A file named in the settings: a relative path is taken from the working directory; an empty
// one names no file.
std::filesystem::path settingsFilePath(const std::filesystem::path& workDir,
                                       const std::string& path);

// The keys in the order in which they must stand in the file.
enum class SettingsKey { SpgraFile, SGTransFile, BvB, EntryNum, DMax, DMin, HMax, HMin, Editor };

// Front end: rewrites the five calculation conditions on lines 6 and 8 to 11 and keeps every
// other line as it was. A file that cannot be read or has fewer than 14 lines is left exactly
// as it was, and the save fails with a message.
Status saveConditions(const std::filesystem::path& path, const Settings& conditions);

}  // namespace tarnell
