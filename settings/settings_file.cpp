#include "settings/settings_file.h"

#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "settings/input_file.h"
#include "settings/line_search.h"
#include "settings/numbers.h"
#include "settings/text.h"

namespace tarnell {
namespace {

using Field = SettingsKey;

struct Key {
    const char* text;
    Field field;
};

// The order in which the keys must stand; each search goes on from where the last one stopped.
constexpr Key Keys[] = {
    {"SpgraFile", Field::SpgraFile},
    {"SGTransFile", Field::SGTransFile},
    {"BV-B", Field::BvB},
    {"EntryNum", Field::EntryNum},
    {"D-max", Field::DMax},
    {"D-min", Field::DMin},
    {"H-max", Field::HMax},
    {"H-min", Field::HMin},
    {"Editor", Field::Editor},
};
constexpr int EngineKeyCount = 8;

// The text after the first "=" of a key line; a key line without "=" has an empty value.
std::string valueOf(const std::string& line) {
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

// Every number is read whole: "0.37abc" or an empty value is no number, and no field keeps a
// value from elsewhere.
bool store(Settings& settings, const Key& key, const std::string& text, Message& failure) {
    const std::string value = trimBlanks(text);
    const auto real = [&](double& field) {
        const std::optional<double> number = readReal(value);
        if (number) field = *number;
        return number.has_value();
    };
    const auto integer = [&](int& field) {
        const std::optional<int> number = readInteger(value);
        if (number) field = *number;
        return number.has_value();
    };
    bool read = true;
    switch (key.field) {
        case Field::SpgraFile:
            settings.spgraFile = text;
            break;
        case Field::SGTransFile:
            settings.sgTransFile = text;
            break;
        case Field::Editor:
            settings.editor = text;
            break;
        case Field::BvB:
            read = real(settings.bvB);
            break;
        case Field::DMax:
            read = real(settings.dMax);
            break;
        case Field::DMin:
            read = real(settings.dMin);
            break;
        case Field::EntryNum:
            read = integer(settings.entryNum);
            break;
        case Field::HMax:
            read = integer(settings.hMax);
            break;
        case Field::HMin:
            read = integer(settings.hMin);
            break;
    }
    if (!read) {
        failure = message(MessageId::SettingNotNumber, key.text,
                          printableText(value, MaxQuotedValueLength).c_str());
    }
    return read;
}

}  // namespace

Status checkSettings(const Settings& settings) {
    const auto outOfRange = [&](const char* key, const std::string& value,
                                const std::string& range) {
        return Status::failed(
            message(MessageId::SettingOutOfRange, key, value.c_str(), range.c_str()));
    };
    const auto real = [](double value) { return formatText("%g", value); };
    if (!(settings.bvB > 0.0 && settings.bvB < MaxBvB)) {
        return outOfRange("BV-B", real(settings.bvB), formatText("above 0 and below %g", MaxBvB));
    }
    if (settings.entryNum < 0 || settings.entryNum > MaxReferenceEntries) {
        return outOfRange("EntryNum", std::to_string(settings.entryNum),
                          formatText("from 0 to %d", MaxReferenceEntries));
    }
    if (!(settings.dMax > 0.0 && settings.dMax <= MaxDMax)) {
        return outOfRange("D-max", real(settings.dMax),
                          formatText("above 0 and at most %g", MaxDMax));
    }
    if (!(settings.dMin > 0.0 && settings.dMin < settings.dMax)) {
        return outOfRange("D-min", real(settings.dMin),
                          "above 0 and below D-max " + real(settings.dMax));
    }
    const std::string cells = formatText("from %d to %d", -MaxCellTranslation, MaxCellTranslation);
    if (settings.hMax < -MaxCellTranslation || settings.hMax > MaxCellTranslation) {
        return outOfRange("H-max", std::to_string(settings.hMax), cells);
    }
    if (settings.hMin < -MaxCellTranslation || settings.hMin > MaxCellTranslation) {
        return outOfRange("H-min", std::to_string(settings.hMin), cells);
    }
    if (settings.hMin > settings.hMax) {
        return outOfRange("H-min", std::to_string(settings.hMin),
                          "at most H-max " + std::to_string(settings.hMax));
    }
    return {};
}

Status readSettings(const std::filesystem::path& path, Settings& settings, SettingsReader reader,
                    int* keysRead) {
    if (keysRead) *keysRead = 0;
    if (Status checked = checkInputFile(path, MessageId::SettingsFileNotFound); !checked.ok()) {
        return checked;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return Status::failed(message(MessageId::FileCannotBeRead, path.string().c_str()));
    return readSettings(in, settings, reader, keysRead);
}

Status readSettings(std::istream& in, Settings& settings, SettingsReader reader, int* keysRead) {
    const bool engine = reader == SettingsReader::Engine;
    if (keysRead) *keysRead = 0;
    // The engine needs the first eight keys and takes the two paths verbatim after the "=";
    // the front end reads the editor's key too, every value trimmed.
    const int keyCount = engine ? EngineKeyCount : static_cast<int>(std::size(Keys));
    std::string line;
    Message failure;
    for (int k = 0; k < keyCount; ++k) {
        if (Status found = findKeyLine(in, Keys[k].text, line); !found.ok()) return found;
        const std::string value = engine ? valueOf(line) : trimBlanks(valueOf(line));
        if (!store(settings, Keys[k], value, failure)) return Status::failed(failure);
        if (keysRead) *keysRead = k + 1;
    }
    return checkSettings(settings);
}

Status saveConditions(const std::filesystem::path& path, const Settings& conditions) {
    std::vector<std::string> lines;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return Status::failed(message(MessageId::DataFileNotFound, path.string().c_str()));
        }
        std::string line;
        while (static_cast<int>(lines.size()) < SettingsLineCount && readLine(in, line)) {
            lines.push_back(line);
        }
    }
    if (static_cast<int>(lines.size()) < SettingsLineCount) {
        return Status::failed(MessageId::SettingsTooShort, path, SettingsLineCount);
    }

    lines[5] = formatText("BV-B       =%5.3lf", conditions.bvB);
    lines[7] = formatText("D-max      =%5.3lf", conditions.dMax);
    lines[8] = formatText("D-min      =%5.3lf", conditions.dMin);
    lines[9] = formatText("H-max      =%d", conditions.hMax);
    lines[10] = formatText("H-min      =%d", conditions.hMin);

    // Written beside the file and then moved over it, so that a failed write never leaves the
    // settings shorter or half written. A settings file that is a link is replaced at the file
    // it points to, so the link stays a link, and the file keeps its permissions.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    if (error) {
        return Status::failed(MessageId::SettingsNotWritten, path);
    }
    const std::filesystem::perms mode = std::filesystem::status(target, error).permissions();
    std::filesystem::path temporary = target;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
        out.close();
        if (!error) std::filesystem::permissions(temporary, mode, error);
        if (!out || error) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return Status::failed(MessageId::SettingsNotWritten, path);
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return Status::failed(MessageId::SettingsNotWritten, path);
    }
    return {};
}

std::filesystem::path settingsFilePath(const std::filesystem::path& workDir,
                                       const std::string& path) {
    return path.empty() ? std::filesystem::path() : workDir / path;
}

}  // namespace tarnell
