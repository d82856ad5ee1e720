// Helpers for tests that work on real files: a scratch folder per test, whole-file reads and
// writes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"
#include "settings/status.h"

namespace tarnell::test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

// The names of the files and folders in `dir`, sorted.
std::vector<std::string> fileNamesIn(const std::filesystem::path& dir);

// A status in a program's terms (the engine's unless named): its code, 0 or -1, with
// `message` set to what it says.
inline int codeOf(const Status& status, std::string& message, Program program = Program::Engine) {
    message = status.text(program);
    return status.code();
}

// The identity operator x,y,z.
inline SymmetryOperator identity() {
    SymmetryOperator o;
    for (int i = 0; i < 3; ++i) o.r[i][i] = 1;
    return o;
}

// The reader's notes of `structure` as `program` words them.
std::vector<std::string> notesOf(const CrystalStructure& structure,
                                 Program program = Program::Engine);

// The settings file as the project ships it.
std::string shippedSettings();

}  // namespace tarnell::test
