#include "landscape/cube_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <system_error>

#include "settings/text.h"
#include "structure/site_label.h"

namespace tarnell {

namespace {

// One real as the format writes it: " -1.23457E+00", 13 characters.
void appendReal(std::string& text, double value) {
    char buffer[32];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 5);
    const std::size_t length = error == std::errc{} ? static_cast<std::size_t>(end - buffer) : 0;
    text.append(length < 13 ? 13 - length : 1, ' ');
    // std::to_chars writes "e+00"; the format's readers expect the capital.
    for (std::size_t c = 0; c < length; ++c) text += buffer[c] == 'e' ? 'E' : buffer[c];
}

void appendVectorLine(std::string& text, int count, const std::array<double, 3>& v) {
    text += formatText("%5d", count);
    for (double c : v) text += formatText("%12.6f", c);
    text += '\n';
}

}  // namespace

void writeCube(std::ostream& out, const LandscapeFrame& frame, const Landscape& landscape,
               const std::string& title) {
    const auto axes = cartesianAxes(frame.cell);
    std::string text = title.substr(0, title.find('\n')) + '\n';
    text += "Bond valence landscape: |BVS - V| in v.u., lengths in Bohr, c index fastest\n";
    std::vector<const FrameIon*> atoms;
    for (const FrameIon& ion : frame.ions) atoms.push_back(&ion);
    for (const FrameIon& ion : frame.removed) atoms.push_back(&ion);
    appendVectorLine(text, static_cast<int>(atoms.size()), {0.0, 0.0, 0.0});
    for (int i = 0; i < 3; ++i) {
        std::array<double, 3> voxel{};
        for (int k = 0; k < 3; ++k) voxel[k] = axes[i][k] / landscape.points[i] / AngstromPerBohr;
        appendVectorLine(text, landscape.points[i], voxel);
    }
    for (const FrameIon* ion : atoms) {
        std::array<double, 3> r{};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k) r[k] += ion->position[i] * axes[i][k] / AngstromPerBohr;
        const int z = atomicNumber(ion->element);
        text += formatText("%5d%12.6f%12.6f%12.6f%12.6f\n", z, static_cast<double>(z), r[0], r[1],
                           r[2]);
    }
    // The values go out a plane of the grid at a time, so that a large grid never stands in
    // memory twice.
    const std::size_t n2 = static_cast<std::size_t>(landscape.points[2]);
    const std::size_t plane = n2 * static_cast<std::size_t>(landscape.points[1]);
    for (std::size_t row = 0; row * n2 < landscape.values.size(); ++row) {
        for (std::size_t k = 0; k < n2; ++k) {
            appendReal(text, landscape.values[row * n2 + k]);
            if (k % 6 == 5 || k + 1 == n2) text += '\n';
        }
        if (((row + 1) * n2) % plane == 0) {
            out << text;
            text.clear();
        }
    }
    out << text;
}

std::string cubeText(const LandscapeFrame& frame, const Landscape& landscape,
                     const std::string& title) {
    std::ostringstream text;
    writeCube(text, frame, landscape, title);
    return text.str();
}

Status writeCubeFile(const std::filesystem::path& path, const LandscapeFrame& frame,
                     const Landscape& landscape, const std::string& title) {
    std::filesystem::path partial = path;
    partial += ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        writeCube(out, frame, landscape, title);
        if (!out.flush()) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return Status::failed(MessageId::OutputCannotBeWritten, path.string());
        }
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) {
        std::filesystem::remove(partial, error);
        return Status::failed(MessageId::OutputCannotBeWritten, path.string());
    }
    return {};
}

}  // namespace tarnell
