// The distance list of a run: one entry per bond that the search found, kept in two scratch
// files that the report and the sums read back. Line n of both files is entry n: the distance
// list file holds the line the report prints, the parameter list file the entry's parameter
// alternatives. This is the one place that writes and reads them.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/status.h"
#include "valence/parameter_table.h"

namespace tarnell {

// Real structures with large cells and windows need tens of thousands of bonds; beyond this a
// run is almost surely a mistake of its settings.
inline constexpr int MaxDistanceEntries = 20000;

struct DistanceListFiles {
    std::filesystem::path distances;   // the distance list
    std::filesystem::path parameters;  // the parameter list
    // Descriptors of the two files, open for reading and writing, when their owner keeps them
    // open from run to run (a batch writes them hundreds of times a second); -1 opens them by
    // path for every run.
    int distancesFd = -1;
    int parametersFd = -1;
};

struct DistanceEntry {
    int number = 0;      // from 1, over the whole list
    std::string centre;  // label of the central site
    std::array<double, 3> centrePosition{};
    std::string neighbour;  // label of the neighbour's site
    std::string code;       // symmetry code of the neighbour image
    std::array<double, 3> neighbourPosition{};
    double d = 0.0;      // Å, as written: five decimals
    double sigma = 0.0;  // Å, likewise
    std::vector<BondParameter> alternatives;
    std::string line;  // the line as read back from the distance list; empty for a new entry
};

// The entry's line as the distance list holds it and the report prints it, without line break:
// the line read back when there is one, else the entry formatted.
std::string distanceLine(const DistanceEntry& entry);

// Collects the entries of a run and writes both files whole when the run is done.
class DistanceListWriter {
public:
    explicit DistanceListWriter(const DistanceListFiles& files);
    bool opened() const { return opened_; }
    // Takes `entry` as the next entry, numbering it.
    void write(DistanceEntry entry);
    // Writes both files over whatever they held; whether everything reached them.
    bool finish();
    int count() const { return count_; }

private:
    DistanceListFiles files_;
    bool opened_ = false;
    std::string distances_;
    std::string parameters_;
    int count_ = 0;
};

// Reads back the first `count` entries. Fails with the engine's message when the files are
// missing, shorter, or hold a line that this writer did not write.
Status readDistanceList(const DistanceListFiles& files, int count,
                        std::vector<DistanceEntry>& entries);

}  // namespace tarnell
