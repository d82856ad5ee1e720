#include "frontend/cube_reader.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace tarnell {
namespace {

constexpr double AngstromPerBohr = 0.529177210903;

// The numbers of the file, read one after the other across line ends.
struct Numbers {
    const char* at;
    const char* end;

    bool next(double& value) {
        while (at < end && (*at == ' ' || *at == '\n' || *at == '\r' || *at == '\t')) ++at;
        if (at == end) return false;
        const char* start = *at == '+' ? at + 1 : at;
        const auto [stop, error] = std::from_chars(start, end, value);
        if (error != std::errc{} || !std::isfinite(value)) return false;
        at = stop;
        return true;
    }
    bool next(int& value) {
        double real = 0.0;
        if (!next(real) || real != std::floor(real) || std::fabs(real) > 1e9) return false;
        value = static_cast<int>(real);
        return true;
    }
};

std::string lineOf(const std::string& text, std::size_t& at) {
    const std::size_t end = text.find('\n', at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::string readCubeText(const std::string& text, CubeGrid& grid) {
    CubeGrid read;
    std::size_t at = 0;
    read.title = lineOf(text, at);
    lineOf(text, at);  // what the values are
    Numbers numbers{text.data() + at, text.data() + text.size()};
    int atomCount = 0;
    std::array<double, 3> origin{};
    if (!numbers.next(atomCount) || !numbers.next(origin[0]) || !numbers.next(origin[1]) ||
        !numbers.next(origin[2])) {
        return "no cube file: its third line is not the atom count and origin";
    }
    // A negative count announces orbital numbers after the atoms; the engine never writes them.
    if (atomCount < 0 || atomCount > 1'000'000) return "no cube file of a landscape: atom count";
    for (int i = 0; i < 3; ++i) {
        std::array<double, 3> voxel{};
        if (!numbers.next(read.points[i]) || !numbers.next(voxel[0]) || !numbers.next(voxel[1]) ||
            !numbers.next(voxel[2])) {
            return "no cube file: a voxel line is incomplete";
        }
        // A negative count would mean Å; the engine writes Bohr.
        if (read.points[i] < 1) return "no cube file of a landscape: a point count below 1";
        for (int k = 0; k < 3; ++k) read.edges[i][k] = voxel[k] * read.points[i] * AngstromPerBohr;
    }
    const long long total = 1LL * read.points[0] * read.points[1] * read.points[2];
    if (total > MaxCubePoints) return "the cube file's grid has more than 20 million points";
    for (int n = 0; n < atomCount; ++n) {
        CubeAtom atom;
        double charge = 0.0;
        if (!numbers.next(atom.atomicNumber) || !numbers.next(charge) ||
            !numbers.next(atom.position[0]) || !numbers.next(atom.position[1]) ||
            !numbers.next(atom.position[2])) {
            return "the cube file ends within its atoms";
        }
        for (int k = 0; k < 3; ++k)
            atom.position[k] = (atom.position[k] - origin[k]) * AngstromPerBohr;
        read.atoms.push_back(atom);
    }
    read.values.resize(static_cast<std::size_t>(total));
    for (float& value : read.values) {
        double v = 0.0;
        if (!numbers.next(v)) return "the cube file ends before its last value";
        value = static_cast<float>(v);
    }
    double extra = 0.0;
    if (numbers.next(extra)) return "the cube file has more values than its grid";
    grid = std::move(read);
    return {};
}

std::string readCubeFile(const std::filesystem::path& path, CubeGrid& grid) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return path.string() + " cannot be opened";
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return path.string() + " cannot be read";
    return readCubeText(text, grid);
}

}  // namespace tarnell
