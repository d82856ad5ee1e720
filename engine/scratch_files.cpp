#include "engine/scratch_files.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace tarnell {
namespace {

// A new file "<stem>-XXXXXX.$$$" in `dir` with a random part that no other file has, kept open
// for the runs to come; empty path and -1 when none could be made.
std::filesystem::path makeUnique(const std::filesystem::path& dir, const char* stem, int& fd) {
    std::string name = (dir / (std::string(stem) + "-XXXXXX.$$$")).string();
    fd = mkostemps(name.data(), 4, O_CLOEXEC);
    if (fd < 0) return {};
    return name;
}

}  // namespace

ScratchFiles::ScratchFiles(const std::filesystem::path& dir) {
    files_.distances = makeUnique(dir, "ftemp1", files_.distancesFd);
    if (!files_.distances.empty()) {
        files_.parameters = makeUnique(dir, "ftemp2", files_.parametersFd);
    }
}

ScratchFiles::~ScratchFiles() {
    if (files_.distancesFd >= 0) close(files_.distancesFd);
    if (files_.parametersFd >= 0) close(files_.parametersFd);
    std::error_code ignored;  // a file that was never made is no error
    if (!files_.distances.empty()) std::filesystem::remove(files_.distances, ignored);
    if (!files_.parameters.empty()) std::filesystem::remove(files_.parameters, ignored);
}

}  // namespace tarnell
