// The engine's run: one whole calculation from the command line to the report, phase after
// phase, the first failing phase's message ending up in the report file.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "structure/crystal_structure.h"

namespace tarnell {

inline constexpr const char* UsageText =
    "Invalid usage !!!\n"
    " ex. <Tarnell -b inpfile outfile> for Tarnell file\n"
    "     <Tarnell -r inpfile outfile> for Morvek lst file\n"
    "     <Tarnell -i inpfile outfile> for ICSD file\n"
    "     <Tarnell -c inpfile outfile> for CIF file\n";

// The files of the working directory that a run reads and writes besides its two arguments.
struct EnginePaths {
    std::filesystem::path settings;    // Tarnell.ini
    std::filesystem::path bvTable;     // BVTable
    std::filesystem::path distances;   // ftemp1.$$$, the distance list of the neighbour search
    std::filesystem::path parameters;  // ftemp2.$$$, the parameter list of the neighbour search
};

EnginePaths enginePaths(const std::filesystem::path& workDir);

// Files of higher symmetry often give an uncertainty only for the independent cell parameter;
// this copies it onto the parameters that the crystal system makes equal to it. The values
// themselves are left alone.
void copyCellUncertainties(CrystalStructure& structure);

// Runs one calculation. `args` is the whole command line, program name first; console lines go
// to `console`. Returns -1 after the usage text (also for a report path that is the input, the
// settings, the parameter table or a space-group file) or a settings failure, 1 when the report
// cannot be written, and 0 on every other path, also when a phase failed and its message stands
// in the report. Waiting for the user's key is left to the caller.
int runEngine(const std::vector<std::string>& args, const std::filesystem::path& workDir,
              std::ostream& console);

}  // namespace tarnell
