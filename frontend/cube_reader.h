// A landscape read back from the Gaussian cube file the engine writes: the grid of values over
// the unit cell and the atoms listed with it. Lengths are in Å here (the file holds Bohr); the
// values keep the file's unit (v.u. for the mismatch).
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnell {

// The engine refuses grids beyond this; a file claiming more is no landscape of it.
inline constexpr long long MaxCubePoints = 20'000'000;

struct CubeAtom {
    int atomicNumber = 0;
    std::array<double, 3> position{};  // Cartesian, Å
};

struct CubeGrid {
    std::string title;
    std::array<int, 3> points{};                   // along a, b, c
    std::array<std::array<double, 3>, 3> edges{};  // the cell edges a, b, c (Cartesian, Å)
    std::vector<CubeAtom> atoms;
    std::vector<float> values;  // c index fastest, as the file writes them

    float at(int i, int j, int k) const {
        return values[(static_cast<std::size_t>(i) * static_cast<std::size_t>(points[1]) +
                       static_cast<std::size_t>(j)) *
                          static_cast<std::size_t>(points[2]) +
                      static_cast<std::size_t>(k)];
    }
};

// Reads `path` into `grid`; the failure's text, or an empty text when the file was read whole.
std::string readCubeFile(const std::filesystem::path& path, CubeGrid& grid);

// The same from the file's text.
std::string readCubeText(const std::string& text, CubeGrid& grid);

}  // namespace tarnell
