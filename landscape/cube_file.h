// The landscape as a Gaussian cube file, which VESTA, Jmol and ParaView open: the cell's edges
// divided by the grid's points as the voxel vectors, the atoms of the structure, and the values
// with the c index running fastest. The format's lengths are in Bohr.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "landscape/landscape_frame.h"
#include "landscape/landscape_grid.h"
#include "settings/status.h"

namespace tarnell {

inline constexpr double AngstromPerBohr = 0.529177210903;

// The whole file to `out`; `title` goes on its first line (cut at the line's end).
void writeCube(std::ostream& out, const LandscapeFrame& frame, const Landscape& landscape,
               const std::string& title);

// The same as text.
std::string cubeText(const LandscapeFrame& frame, const Landscape& landscape,
                     const std::string& title);

// Writes the text to a temporary file beside `path` and renames it over `path`, so that a
// reader never sees half a landscape. Fails with the engine's message.
Status writeCubeFile(const std::filesystem::path& path, const LandscapeFrame& frame,
                     const Landscape& landscape, const std::string& title);

}  // namespace tarnell
