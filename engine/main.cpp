// Tarnell: the bond valence sum engine.
//     Tarnell -b|-r|-i|-c inpfile outfile [-j jsonfile]
//     Tarnell --batch outdir file ...
//     Tarnell --landscape ION file out.cube [options]
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/key_wait.h"
#include "engine/output_file.h"
#include "engine/run_sequence.h"

int main(int argc, char** argv) {
    int status = -1;
    const std::vector<std::string> args(argv, argv + argc);
    // An interrupted run leaves no half-written output beside its targets.
    tarnell::removePartFilesOnSignals();
    try {
        status = tarnell::runEngine(args, std::filesystem::current_path(), std::cout,
                                    tarnell::outputIsTerminal());
    } catch (const std::exception& error) {
        std::cout << tarnell::messageText(
            tarnell::message(tarnell::MessageId::Unexpected, error.what()),
            tarnell::Program::Engine);
    }
    std::cout.flush();
    // A batch runs unattended, often over many hours; nobody is there to press a key.
    if (!tarnell::isBatch(args)) tarnell::waitForKey();
    return status < 0 ? 255 : status;
}
