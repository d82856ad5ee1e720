#include "valence/distance_list.h"

#include <cmath>
#include <optional>

#include "settings/numbers.h"
#include "settings/text.h"

namespace tarnell {
namespace {

bool readInteger(const std::string& text, int& value) {
    const std::optional<int> number = tarnell::readInteger(text);
    if (number) value = *number;
    return number.has_value();
}

bool readReal(const std::string& text, double& value) {
    const std::optional<double> number = tarnell::readReal(text);
    if (number) value = *number;
    return number.has_value();
}

bool parseDistanceLine(const std::string& line, DistanceEntry& entry) {
    std::size_t pos = 0;
    std::string fields[12];
    for (std::string& field : fields) {
        field = nextToken(line, pos);
        if (field.empty()) return false;
    }
    if (!nextToken(line, pos).empty()) return false;
    entry.centre = fields[1];
    entry.neighbour = fields[5];
    entry.code = fields[6];
    return readInteger(fields[0], entry.number) && readReal(fields[2], entry.centrePosition[0]) &&
           readReal(fields[3], entry.centrePosition[1]) &&
           readReal(fields[4], entry.centrePosition[2]) &&
           readReal(fields[7], entry.neighbourPosition[0]) &&
           readReal(fields[8], entry.neighbourPosition[1]) &&
           readReal(fields[9], entry.neighbourPosition[2]) && readReal(fields[10], entry.d) &&
           readReal(fields[11], entry.sigma);
}

// A count, then four fields per alternative (cation key, anion key, r0, reference), which stay
// right whatever the widths of keys and identifiers.
bool parseParameterLine(const std::string& line, std::vector<BondParameter>& alternatives) {
    std::size_t pos = 0;
    int count = 0;
    if (!readInteger(nextToken(line, pos), count) || count < 0 || count > MaxParameterSets) {
        return false;
    }
    alternatives.clear();
    for (int e = 0; e < count; ++e) {
        BondParameter p;
        p.cationKey = nextToken(line, pos);
        p.anionKey = nextToken(line, pos);
        const std::string r0 = nextToken(line, pos);
        p.reference = nextToken(line, pos);
        if (p.reference.empty() || !readReal(r0, p.r0)) return false;
        alternatives.push_back(std::move(p));
    }
    return nextToken(line, pos).empty();
}

}  // namespace

std::string distanceLine(const DistanceEntry& e) {
    return formatText(
        " %3d  %-4s % 8.5lf % 8.5lf % 8.5lf   %-4s %7s % 8.5lf % 8.5lf % 8.5lf % 8.5lf % 8.5lf",
        e.number, e.centre.c_str(), e.centrePosition[0], e.centrePosition[1], e.centrePosition[2],
        e.neighbour.c_str(), e.code.c_str(), e.neighbourPosition[0], e.neighbourPosition[1],
        e.neighbourPosition[2], e.d, e.sigma);
}

DistanceListWriter::DistanceListWriter(const DistanceListFiles& files)
    : distances_(files.distances, std::ios::binary | std::ios::trunc),
      parameters_(files.parameters, std::ios::binary | std::ios::trunc) {}

void DistanceListWriter::write(DistanceEntry entry) {
    entry.number = ++count_;
    distances_ << distanceLine(entry) << '\n';
    parameters_ << static_cast<int>(entry.alternatives.size()) << ' '
                << bondParameterText(entry.alternatives) << '\n';
}

bool DistanceListWriter::finish() {
    return distances_.flush().good() && parameters_.flush().good();
}

int readDistanceList(const DistanceListFiles& files, int count, std::vector<DistanceEntry>& entries,
                     std::string& message) {
    entries.clear();
    std::ifstream distances(files.distances, std::ios::binary);
    std::ifstream parameters(files.parameters, std::ios::binary);
    std::string distance;
    std::string parameter;
    for (int n = 1; n <= count; ++n) {
        DistanceEntry entry;
        if (!distances || !parameters || !readLine(distances, distance) ||
            !readLine(parameters, parameter) || !parseDistanceLine(distance, entry) ||
            entry.number != n || !parseParameterLine(parameter, entry.alternatives)) {
            message = "  Error !!! The distance list cannot be read back.\n";
            return -1;
        }
        entries.push_back(std::move(entry));
    }
    return 0;
}

}  // namespace tarnell
