// A batch's @list on arbitrary bytes: the names it gives, each trimmed and not empty.
#include <unistd.h>

#include "engine/run_sequence.h"
#include "fuzz/fuzz_input.h"
#include "settings/text.h"

using namespace tarnell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // A list line may name a folder, whose files are then listed: a walk of the whole disk
    // would make one input take minutes, so the names stay inside a folder of their own.
    if (bytes.find('/') != std::string::npos || bytes.find("..") != std::string::npos) return 0;
    static const std::filesystem::path folder = [] {
        const std::filesystem::path own = std::filesystem::temp_directory_path() /
                                          ("tarnell-fuzz-" + std::to_string(::getpid()) + "-list");
        std::filesystem::create_directories(own / "sub");
        std::filesystem::current_path(own);
        return own;
    }();
    const std::filesystem::path list = fuzz::inputFile(data, size, "list.txt");
    std::vector<std::filesystem::path> files;
    if (!batchInputs("@" + list.string(), files).ok()) return 0;
    for (const std::filesystem::path& file : files) {
        const std::string name = file.string();
        fuzz::require(!name.empty(), "no empty name");
        fuzz::require(trimBlanks(name) == name, "no blanks around a name");
    }
    return 0;
}
