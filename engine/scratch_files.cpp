#include "engine/scratch_files.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace tarnell {
namespace {

// A new file "<stem>-XXXXXX.$$$" in `dir` with a random part that no other file has; empty
// when none could be made.
std::filesystem::path makeUnique(const std::filesystem::path& dir, const char* stem) {
    std::string name = (dir / (std::string(stem) + "-XXXXXX.$$$")).string();
    const int fd = mkstemps(name.data(), 4);
    if (fd < 0) return {};
    close(fd);
    return name;
}

}  // namespace

ScratchFiles::ScratchFiles(const std::filesystem::path& dir) {
    files_.distances = makeUnique(dir, "ftemp1");
    if (!files_.distances.empty()) files_.parameters = makeUnique(dir, "ftemp2");
}

ScratchFiles::~ScratchFiles() {
    std::error_code ignored;  // a file that was never made is no error
    if (!files_.distances.empty()) std::filesystem::remove(files_.distances, ignored);
    if (!files_.parameters.empty()) std::filesystem::remove(files_.parameters, ignored);
}

}  // namespace tarnell
