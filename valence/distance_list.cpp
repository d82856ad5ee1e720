#include "valence/distance_list.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>
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

// The next line of `text` from `at`, without its break; false at the end.
bool nextLine(const std::string& text, std::size_t& at, std::string& line) {
    if (at >= text.size()) return false;
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    line.assign(text, at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    return true;
}

// Writes `text` as the whole content of a scratch file: over its open descriptor when there is
// one, else by path.
bool replaceContents(const std::filesystem::path& path, int fd, const std::string& text) {
    if (fd < 0) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        return out.flush().good();
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    // Cut what a longer list of an earlier run left behind; never to zero first, which would
    // make the file system write the blocks out at once.
    return ftruncate(fd, static_cast<off_t>(text.size())) == 0;
}

bool readContents(const std::filesystem::path& path, int fd, std::string& text) {
    text.clear();
    if (fd < 0) {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return !in.bad();
    }
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

}  // namespace

std::string distanceLine(const DistanceEntry& e) {
    if (!e.line.empty()) return e.line;
    return formatText(
        " %3d  %-4s % 8.5lf % 8.5lf % 8.5lf   %-4s %7s % 8.5lf % 8.5lf % 8.5lf % 8.5lf % 8.5lf",
        e.number, e.centre.c_str(), e.centrePosition[0], e.centrePosition[1], e.centrePosition[2],
        e.neighbour.c_str(), e.code.c_str(), e.neighbourPosition[0], e.neighbourPosition[1],
        e.neighbourPosition[2], e.d, e.sigma);
}

DistanceListWriter::DistanceListWriter(const DistanceListFiles& files) : files_(files) {
    if (files.distancesFd >= 0 && files.parametersFd >= 0) {
        opened_ = true;
        return;
    }
    // Made empty now, so that a folder where they cannot be made fails the run before the
    // search rather than after it.
    opened_ = std::ofstream(files.distances, std::ios::binary | std::ios::trunc).good() &&
              std::ofstream(files.parameters, std::ios::binary | std::ios::trunc).good();
}

void DistanceListWriter::write(DistanceEntry entry) {
    entry.number = ++count_;
    entry.line.clear();
    distances_ += distanceLine(entry);
    distances_ += '\n';
    parameters_ += std::to_string(entry.alternatives.size());
    parameters_ += ' ';
    parameters_ += bondParameterText(entry.alternatives);
    parameters_ += '\n';
}

bool DistanceListWriter::finish() {
    return opened_ && replaceContents(files_.distances, files_.distancesFd, distances_) &&
           replaceContents(files_.parameters, files_.parametersFd, parameters_);
}

Status readDistanceList(const DistanceListFiles& files, int count,
                        std::vector<DistanceEntry>& entries) {
    entries.clear();
    std::string distances;
    std::string parameters;
    const bool read = readContents(files.distances, files.distancesFd, distances) &&
                      readContents(files.parameters, files.parametersFd, parameters);
    std::size_t distanceAt = 0;
    std::size_t parameterAt = 0;
    std::string distance;
    std::string parameter;
    for (int n = 1; n <= count; ++n) {
        DistanceEntry entry;
        if (!read || !nextLine(distances, distanceAt, distance) ||
            !nextLine(parameters, parameterAt, parameter) || !parseDistanceLine(distance, entry) ||
            entry.number != n || !parseParameterLine(parameter, entry.alternatives)) {
            entries.clear();
            return Status::failed("  Error !!! The distance list cannot be read back.\n");
        }
        entry.line = std::move(distance);
        entries.push_back(std::move(entry));
    }
    return {};
}

}  // namespace tarnell
