// Tarnell --landscape: the bond valence landscape of a mobile ion in a structure file, written
// as a cube file, with the thresholds at which its accessible region percolates.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tarnell {

inline constexpr const char* LandscapeUsageText =
    "Invalid usage !!!\n"
    " ex. <Tarnell --landscape ION inpfile out.cube [--step 0.1] [--cutoff 6] [--mobile LABEL "
    "...] [--reference ID] [--threads N] [-j jsonfile]>\n"
    "     ION as Li+, Na+, Mg2+, F-, O2-; the input's format by its extension\n";

// Whether `args` ask for a landscape.
bool isLandscape(const std::vector<std::string>& args);

// Runs `args` (program name first, "--landscape" second) in `workDir`. Console lines go to
// `console`: one summary line, or the message of what failed. -1 after the usage text or a
// settings failure, 1 when the landscape could not be made or written, 0 on success.
int runLandscape(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                 std::ostream& console);

}  // namespace tarnell
