// Helpers for tests that run the engine as it was built: its working directory (build/work) with
// the shipped settings, table and space-group files, and the program itself in a folder of the
// test's.
#pragma once

#include <filesystem>
#include <string>

#include "engine/calculation.h"
#include "settings/settings_file.h"
#include "tests/test_files.h"

namespace tarnell::test {

// The working directory the build laid out, beside the built Tarnell.
std::filesystem::path builtWorkDir();

// The engine's inputs, settings included, read from the built working directory.
EngineInputs builtInputs();

// Copies the built working directory's settings, table and space-group files into `dir`.
void copyBuiltWorkDir(const TempDir& dir);

struct Outcome {
    int exitStatus = -1;
    std::string console;
};

// Runs the built Tarnell in `dir` with `arguments` (quoted for the shell already), without a
// terminal, behind `prefix` (such as "timeout 20") when one is given.
Outcome runTarnell(const TempDir& dir, const std::string& arguments,
                   const std::string& prefix = "");

}  // namespace tarnell::test
