// readStructure: the one structure reader of both programs, switched by the file format.
#pragma once

#include <filesystem>
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

// Fills `structure` from the file at `path`. 0 on success; -1 with one message line on failure,
// after which the caller discards the record.
int readStructure(ReaderMode mode, const std::filesystem::path& path, CrystalStructure& structure,
                  const ReaderContext& context, std::string& message);

}  // namespace tarnell
