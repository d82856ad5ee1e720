// readStructure: the one structure reader of both programs, switched by the file format.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "settings/wording.h"
#include "structure/crystal_structure.h"

namespace tarnell {

// What a reader needs from the program that calls it.
struct ReaderContext {
    const Wording& wording;
    double dMax = 0.0;                      // distance limit of every site where a format has none
    std::filesystem::path sgTransFile;      // setting-transformation file for the setting lookup
};

// The reader of a command-line switch in the engine's style ("-b", "-r", "-i", "-c"), compared
// exactly; none for anything else.
std::optional<ReaderMode> readerModeForOption(const std::string& option);

// The reader of a file extension ("inp", "lst", "txt", "cif"), whatever its case.
std::optional<ReaderMode> readerModeForExtension(const std::string& extension);

// Fills `structure` from the file at `path`. 0 on success; -1 with one message line on failure,
// after which the caller discards the record.
int readStructure(ReaderMode mode, const std::filesystem::path& path, CrystalStructure& structure,
                  const ReaderContext& context, std::string& message);

}  // namespace tarnell
