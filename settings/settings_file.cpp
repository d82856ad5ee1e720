#include "settings/settings_file.h"

#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

#include "settings/line_search.h"
#include "settings/text.h"
#include "settings/wording.h"

namespace tarnell {
namespace {

using Field = SettingsKey;

struct Key {
    const char* text;
    Field field;
};

// The order in which the keys must stand; each search goes on from where the last one stopped.
constexpr Key Keys[] = {
    {"SpgraFile", Field::SpgraFile}, {"SGTransFile", Field::SGTransFile},
    {"BV-B", Field::BvB},            {"EntryNum", Field::EntryNum},
    {"D-max", Field::DMax},          {"D-min", Field::DMin},
    {"H-max", Field::HMax},          {"H-min", Field::HMin},
    {"Editor", Field::Editor},
};
constexpr int EngineKeyCount = 8;

// The text after the first "=" of a key line; a key line without "=" has an empty value.
std::string valueOf(const std::string& line) {
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

// A number that does not scan leaves the field as it was.
void store(Settings& settings, Field field, const std::string& value) {
    switch (field) {
        case Field::SpgraFile: settings.spgraFile = value; break;
        case Field::SGTransFile: settings.sgTransFile = value; break;
        case Field::Editor: settings.editor = value; break;
        case Field::BvB: std::sscanf(value.c_str(), "%lf", &settings.bvB); break;
        case Field::DMax: std::sscanf(value.c_str(), "%lf", &settings.dMax); break;
        case Field::DMin: std::sscanf(value.c_str(), "%lf", &settings.dMin); break;
        case Field::EntryNum: std::sscanf(value.c_str(), "%d", &settings.entryNum); break;
        case Field::HMax: std::sscanf(value.c_str(), "%d", &settings.hMax); break;
        case Field::HMin: std::sscanf(value.c_str(), "%d", &settings.hMin); break;
    }
}

}  // namespace

int readSettings(const std::filesystem::path& path, Settings& settings, std::string& message) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = formatText(EngineWording.keyNotFound, path.string().c_str());
        return -1;
    }
    std::string line;
    for (int k = 0; k < EngineKeyCount; ++k) {
        if (findKeyLine(in, Keys[k].text, line, message, EngineWording) != 0) return -1;
        store(settings, Keys[k].field, valueOf(line));
    }
    return 0;
}

bool readSettings(const std::filesystem::path& path, Settings& settings,
                  const MessageSink& showMessage, int* keysRead) {
    int found = 0;
    if (keysRead) *keysRead = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        showMessage(path.string() + " not found !!!");
        return false;
    }
    std::string line;
    std::string message;
    for (const Key& key : Keys) {
        if (findKeyLine(in, key.text, line, message, FrontEndWording) != 0) {
            showMessage(message);
            return false;
        }
        store(settings, key.field, trimBlanks(valueOf(line)));
        if (keysRead) *keysRead = ++found;
    }
    return true;
}

int saveConditions(const std::filesystem::path& path, const Settings& conditions,
                   std::string& message) {
    std::vector<std::string> lines;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            message = formatText(FrontEndWording.dataFileNotFound, path.string().c_str());
            return -1;
        }
        std::string line;
        while (static_cast<int>(lines.size()) < SettingsLineCount && readLine(in, line)) {
            lines.push_back(line);
        }
    }
    if (static_cast<int>(lines.size()) < SettingsLineCount) {
        message = formatText("  %s has fewer than %d lines !!!\n", path.string().c_str(),
                             SettingsLineCount);
        return -1;
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
        message = formatText("  %s cannot be written !!!\n", path.string().c_str());
        return -1;
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
            message = formatText("  %s cannot be written !!!\n", path.string().c_str());
            return -1;
        }
    }
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        message = formatText("  %s cannot be written !!!\n", path.string().c_str());
        return -1;
    }
    return 0;
}

}  // namespace tarnell
