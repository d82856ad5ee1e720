// Tarnell: the bond valence sum engine. Tarnell -b|-r|-i inpfile outfile
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "engine/key_wait.h"
#include "engine/run_sequence.h"

int main(int argc, char** argv) {
    int status = -1;
    try {
        const std::vector<std::string> args(argv, argv + argc);
        status = tarnell::runEngine(args, std::filesystem::current_path(), std::cout);
    } catch (const std::exception& error) {
        std::cout << "  Error !!! " << error.what() << "\n";
    }
    std::cout.flush();
    tarnell::waitForKey();
    return status < 0 ? 255 : status;
}
