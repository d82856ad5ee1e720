#include "tests/engine_runs.h"

#include <sys/wait.h>

#include <cstdlib>
#include <stdexcept>

namespace tarnell::test {

std::filesystem::path builtWorkDir() {
    return std::filesystem::path(TARNELL_EXE).parent_path();
}

EngineInputs builtInputs() {
    Settings settings;
    const Status read = readSettings(builtWorkDir() / "Tarnell.ini", settings);
    if (!read.ok()) throw std::runtime_error(read.text(Program::Engine));
    return readEngineInputs(settings, builtWorkDir());
}

void copyBuiltWorkDir(const TempDir& dir) {
    for (const char* file : {"Tarnell.ini", "BVTable", "spgra.dat", "sgtrans.dat"})
        std::filesystem::copy_file(builtWorkDir() / file, dir / file);
}

Outcome runTarnell(const TempDir& dir, const std::string& arguments, const std::string& prefix) {
    const std::string command = "cd '" + dir.path().string() + "' && " + prefix +
                                " '" TARNELL_EXE "' " + arguments +
                                " < /dev/null > console.txt 2>&1";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.exitStatus = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.console = readFile(dir / "console.txt");
    return outcome;
}

}  // namespace tarnell::test
