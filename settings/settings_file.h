// The settings file "Tarnell.ini" that both programs share: 14 lines of "key = value" and free
// text. The keys stand in a fixed order; five of them on fixed lines, because the front end
// rewrites those lines by position before every calculation.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

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
    std::string editor;       // command that opens the report (front end only)
};

// Engine: reads the eight keys it needs, the two paths verbatim after the "=" (leading blanks
// kept). 0 on success; -1 with one message line naming the missing file or key.
int readSettings(const std::filesystem::path& path, Settings& settings, std::string& message);

// The keys in the order in which they must stand in the file.
enum class SettingsKey { SpgraFile, SGTransFile, BvB, EntryNum, DMax, DMin, HMax, HMin, Editor };
inline constexpr int SettingsKeyCount = 9;

// Front end: reads all nine keys, every value trimmed of blanks. On failure `showMessage` gets
// the one message to put in front of the user, and the values read so far stay stored.
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
