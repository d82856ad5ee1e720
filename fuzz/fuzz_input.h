// What every fuzz target shares: the readers take paths, so each input is first written to a
// file of this process; a broken promise of a reader ends the run as a finding.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tarnell::fuzz {

// The input as the file `name` in the temporary directory, one per process and name.
inline std::filesystem::path inputFile(const std::uint8_t* data, std::size_t size,
                                       const char* name) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("tarnell-fuzz-" + std::to_string(::getpid()) + "-" + name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

inline std::filesystem::path sourceDir() {
    return TARNELL_SOURCE_DIR;
}

// Ends the run with the broken promise named, so that libFuzzer keeps the input.
inline void require(bool condition, const char* promise) {
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

// Text that reaches a report: no control character, no blank in a label.
inline bool printable(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

}  // namespace tarnell::fuzz
