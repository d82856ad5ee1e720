// Times whole Tarnell runs, as a user or Kestrin starts them: a typical structure of a few
// sites, and the largest run the capacities allow (80 sites, a group of 192 operators, cell
// translations -1 to 1). Prints the fastest and the median wall time of each.
//
//     build/bench/engine_bench [runs]
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// 80 sites at scattered general positions of F m -3 m in a cell large enough that every site
// keeps a few neighbours: the search still measures 80·80·192·27 distances.
// Without charges the engine assigns the valences by bond valence.
std::string largestStructure(bool charged) {
    std::string text =
        "# Title\nLargest run: 80 sites, 192 operators\n# Name of space group\nF m -3 m\n"
        "# Number and setting number of space group\n225   1\n# Unit cell parameters\n"
        "   60.00000    60.00000    60.00000    90.00000    90.00000    90.00000\n"
        "    0.00100     0.00000     0.00000     0.00000     0.00000     0.00000\n"
        "# Number of sites\n 80\n# Crystal data: name, g, x, y, z, charge, d-limit\n";
    unsigned seed = 12345;
    const auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) % 100000) / 100000.0;
    };
    char line[256];
    for (int i = 0; i < 80; ++i) {
        const bool cation = i % 2 == 0;
        std::snprintf(line, sizeof line,
                      "  %-4s  %8.5f  %8.5f  %8.5f  %8.5f  %8.5f  %8.5f\n"
                      "                   0.00010   0.00010   0.00010\n",
                      ((cation ? "Na" : "Cl") + std::to_string(i / 2 + 1)).c_str(), 1.0,
                      next() * 0.5, next() * 0.5, next() * 0.5,
                      charged ? (cation ? 1.0 : -1.0) : 0.0, 3.0);
        text += line;
    }
    return text;
}

struct Timing {
    double fastest = 0;
    double median = 0;
};

Timing timeRuns(const fs::path& dir, const std::string& input, int runs) {
    std::vector<double> times;
    const std::string command = "cd '" + dir.string() + "' && '" TARNELL_EXE "' -b '" + input +
                                "' out.txt < /dev/null > /dev/null 2>&1";
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const auto end = std::chrono::steady_clock::now();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "Tarnell failed on %s\n", input.c_str());
            std::exit(1);
        }
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const fs::path source(TARNELL_SOURCE_DIR);
    const fs::path dir = fs::temp_directory_path() / "tarnell-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (const char* name : {"Tarnell.ini", "spgra.dat", "sgtrans.dat"}) {
        fs::copy_file(source / "data" / name, dir / name);
    }
    writeFile(dir / "BVTable",
              "Na 1 Cl 1 2.15 b\nTi 4 O 2 1.815 a\n"
              ";************************* REFERENCES ****************************\n;\n");
    writeFile(dir / "largest.inp", largestStructure(true));
    writeFile(dir / "largest-assigned.inp", largestStructure(false));
    std::string rutile = readFile(source / "examples" / "TiO2-rutile.inp");
    for (const char* charged : {"   4.00000", "  -2.00000"}) {
        const std::size_t at = rutile.find(charged);
        if (at != std::string::npos) rutile.replace(at, 10, "   0.00000");
    }
    writeFile(dir / "rutile-assigned.inp", rutile);

    struct Case {
        const char* label;
        fs::path input;
    };
    const Case cases[] = {
        {"typical (rutile, 2 sites, 16 operators)", source / "examples" / "TiO2-rutile.inp"},
        {"typical, valences assigned", dir / "rutile-assigned.inp"},
        {"largest (80 sites, 192 operators, H -1..1)", dir / "largest.inp"},
        {"largest, valences assigned", dir / "largest-assigned.inp"},
    };
    for (const Case& c : cases) {
        const Timing t = timeRuns(dir, c.input.string(), runs);
        const std::string report = readFile(dir / "out.txt");
        const bool complete = report.find("  Reference list:") != std::string::npos;
        std::printf("%-46s fastest %8.2f ms   median %8.2f ms   over %d runs%s\n", c.label,
                    t.fastest, t.median, runs, complete ? "" : "   (report incomplete!)");
    }
    fs::remove_all(dir);
    return 0;
}
