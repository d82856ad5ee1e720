// Times a batch over many real CIF files: the real-world test set copied over and over into one
// folder, calculated by one `Tarnell --batch` with every core. Prints files per second, and how
// many inputs per second the folder could take if making the output files were all there was.
//
//     build/bench/batch_bench [copies of the set, default 35]
//     TMPDIR=/dev/shm build/bench/batch_bench    # in memory, to time the engine alone
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int copies = argc > 1 ? std::max(1, std::atoi(argv[1])) : 35;
    const fs::path source(TARNELL_SOURCE_DIR);
    const fs::path work = fs::path(TARNELL_EXE).parent_path();
    const fs::path dir = fs::temp_directory_path() / "tarnell-batch-bench";
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    for (const char* name : {"Tarnell.ini", "BVTable", "spgra.dat", "sgtrans.dat"}) {
        fs::copy_file(work / name, dir / name);
    }
    std::vector<fs::path> set;
    for (const auto& entry : fs::directory_iterator(source / "tests" / "data" / "realworld")) {
        if (entry.path().extension() == ".cif") set.push_back(entry.path());
    }
    std::sort(set.begin(), set.end());
    int files = 0;
    for (int copy = 1; copy <= copies; ++copy) {
        for (const fs::path& cif : set) {
            fs::copy_file(cif,
                          dir / "in" / (cif.stem().string() + "_" + std::to_string(copy) + ".cif"));
            ++files;
        }
    }
    const std::string command = "cd '" + dir.string() +
                                "' && '" TARNELL_EXE
                                "' --batch out in/*.cif < /dev/null > batch.txt 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the batch failed; see %s\n", (dir / "batch.txt").c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(end - start).count();
    std::printf("batch of %d real-world CIF files (%zu distinct): %.2f s, %.0f files per second\n",
                files, set.size(), seconds, files / seconds);
    // A batch makes two files per input. Where the file system makes new files slowly (a disk
    // without a journal in a virtual machine takes about half a millisecond for each), that
    // alone bounds the rate; the figure tells a slow engine from a slow folder.
    fs::create_directories(dir / "creation");
    const auto createStart = std::chrono::steady_clock::now();
    for (int k = 0; k < 2 * files; ++k) {
        std::FILE* file =
            std::fopen((dir / "creation" / (std::to_string(k) + ".out")).c_str(), "w");
        if (file != nullptr) std::fclose(file);
    }
    const double createSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - createStart).count();
    std::printf(
        "the folder alone, making two empty files per input in one thread: %.0f inputs "
        "per second (%s)\n",
        files / createSeconds, dir.parent_path().c_str());
    fs::remove_all(dir);
    return 0;
}
