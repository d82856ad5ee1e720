// The settings file on arbitrary bytes, read as either program reads it: accepted values are
// values a calculation can run with.
#include <cmath>

#include "fuzz/fuzz_input.h"
#include "settings/settings_file.h"

using namespace tarnell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = fuzz::inputFile(data, size, "Tarnell.ini");
    Settings settings;
    const Status read = readSettings(path, settings);
    if (read.ok()) {
        fuzz::require(std::isfinite(settings.bvB) && settings.bvB > 0 && settings.bvB < MaxBvB,
                      "BV-B in range");
        fuzz::require(
            settings.dMin > 0 && settings.dMin < settings.dMax && std::isfinite(settings.dMax),
            "distance window in range");
        fuzz::require(settings.hMin <= settings.hMax && settings.hMax <= MaxCellTranslation &&
                          settings.hMin >= -MaxCellTranslation,
                      "cell translations in range");
    } else {
        const std::string message = read.text(Program::Engine);
        fuzz::require(!message.empty() && message.back() == '\n', "a refusal says why");
    }
    Settings frontEnd;
    int keysRead = 0;
    const Status frontEndRead = readSettings(path, frontEnd, SettingsReader::FrontEnd, &keysRead);
    fuzz::require(frontEndRead.ok() == frontEndRead.text(Program::FrontEnd).empty(),
                  "the front end has a message exactly on failure");
    fuzz::require(keysRead >= 0 && keysRead <= static_cast<int>(SettingsKey::Editor) + 1,
                  "keys counted");
    return 0;
}
