// The scratch files of one engine run: the distance list and the parameter list, made with
// names of their own in the working directory, so that any number of runs can share one folder.
#pragma once

#include <filesystem>

#include "valence/distance_list.h"

namespace tarnell {

class ScratchFiles {
public:
    // Creates both files new and exclusively in `dir`: a name that exists already, a planted
    // link among them, is never opened. They stay open while the object lives.
    explicit ScratchFiles(const std::filesystem::path& dir);
    // Closes and removes whichever of them was made.
    ~ScratchFiles();
    ScratchFiles(const ScratchFiles&) = delete;
    ScratchFiles& operator=(const ScratchFiles&) = delete;

    bool created() const { return files_.distancesFd >= 0 && files_.parametersFd >= 0; }
    const DistanceListFiles& files() const { return files_; }

private:
    DistanceListFiles files_;
};

}  // namespace tarnell
