#include "valence/valence_sums.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "settings/text.h"
#include "valence/parameter_table.h"

namespace tarnell {
namespace {

struct Bond {
    double d = 0.0;
    double sigma = 0.0;
    std::vector<BondParameter> alternatives;
};

// Distance entry of the distance list: field 2 is the central site, fields 11 and 12 the
// distance and its uncertainty, as written there (five decimals).
struct DistanceEntry {
    std::string centralSite;
    double d = 0.0;
    double sigma = 0.0;
};

DistanceEntry parseDistanceEntry(const std::string& line) {
    DistanceEntry entry;
    std::size_t pos = 0;
    for (int field = 1; field <= 12; ++field) {
        const std::string token = nextToken(line, pos);
        if (field == 2) entry.centralSite = token;
        if (field == 11) std::sscanf(token.c_str(), "%lf", &entry.d);
        if (field == 12) std::sscanf(token.c_str(), "%lf", &entry.sigma);
    }
    return entry;
}

// The alternatives of a parameter list line: a count, then groups of four fields (cation key,
// anion key, r0, reference), which stay right whatever the widths of keys and identifiers.
std::vector<BondParameter> parseAlternatives(const std::string& line) {
    std::size_t pos = 0;
    int count = 0;
    std::sscanf(nextToken(line, pos).c_str(), "%d", &count);
    std::vector<BondParameter> alternatives;
    for (int e = 0; e < count; ++e) {
        BondParameter p;
        p.cationKey = nextToken(line, pos);
        p.anionKey = nextToken(line, pos);
        std::sscanf(nextToken(line, pos).c_str(), "%lf", &p.r0);
        p.reference = nextToken(line, pos);
        alternatives.push_back(std::move(p));
    }
    return alternatives;
}

bool readLines(const std::filesystem::path& path, int count, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (!readLine(in, line)) return false;
        lines.push_back(line);
    }
    return true;
}

// The sums of one site, one block per parameter alternative; an alternative in which some bond
// has r0 = 0 is left out, and the others keep their numbers.
std::string siteBlock(const std::string& label, const std::vector<Bond>& bonds, double b) {
    std::size_t alternativeCount = 0;
    for (const Bond& bond : bonds) alternativeCount = std::max(alternativeCount, bond.alternatives.size());
    if (alternativeCount == 0) return {};

    std::string block = formatText("  %-4s:\n", label.c_str());
    for (std::size_t e = 0; e < alternativeCount; ++e) {
        double sum = 0.0;
        double squares = 0.0;
        std::string bondText;
        bool usable = true;
        for (const Bond& bond : bonds) {
            if (bond.alternatives.empty()) {
                usable = false;
                break;
            }
            // A bond with fewer alternatives than its site uses its last one.
            const BondParameter& p = bond.alternatives[std::min(e, bond.alternatives.size() - 1)];
            if (p.r0 == 0.0) {
                usable = false;
                break;
            }
            const double s = std::exp((p.r0 - bond.d) / b);
            sum += s;
            squares += (s * bond.sigma / b) * (s * bond.sigma / b);
            bondText += formatText("          %s (r0=%6.4lf for %-4s - %-4s)\n",
                                   p.reference.c_str(), p.r0, p.cationKey.c_str(),
                                   p.anionKey.c_str());
        }
        if (!usable) continue;
        block += formatText("    %d  BVS =%7.4lf(%7.4lf)  CN =%2d   See ref. below;\n%s\n",
                            static_cast<int>(e + 1), sum, std::sqrt(squares),
                            static_cast<int>(bonds.size()), bondText.c_str());
    }
    return block;
}

}  // namespace

int computeValenceSums(const CrystalStructure& structure, int distanceCount,
                       const DistanceListFiles& files, const std::filesystem::path& bvTable,
                       const Settings& settings, const std::filesystem::path& outputPath,
                       std::string& message) {
    if (!(settings.bvB > 0.0)) {
        message = formatText("  Error !!! BV-B must be positive, not %g.\n", settings.bvB);
        return -1;
    }
    std::vector<std::string> references;
    if (readReferenceList(bvTable, settings.entryNum, references, message) != 0) return -1;

    std::vector<std::string> distanceLines;
    std::vector<std::string> parameterLines;
    if (!readLines(files.distances, distanceCount, distanceLines) ||
        !readLines(files.parameters, distanceCount, parameterLines)) {
        message = "  Error !!! The distance list files cannot be read back.\n";
        return -1;
    }
    std::vector<DistanceEntry> entries;
    for (const std::string& line : distanceLines) entries.push_back(parseDistanceEntry(line));

    // The entries of one central site stand together and in site order, so each site takes
    // its count of entries from where the previous one stopped.
    std::vector<std::vector<Bond>> siteBonds;
    std::size_t next = 0;
    for (const Site& site : structure.sites) {
        int count = 0;
        for (const DistanceEntry& entry : entries) count += entry.centralSite == site.name;
        if (count > MaxBondsPerSite) {
            message = formatText("  Error !!! Number of distance entry exceed over %d.\n",
                                 MaxBondsPerSite);
            return -1;
        }
        std::vector<Bond> bonds;
        for (int l = 0; l < count && next < entries.size(); ++l, ++next) {
            bonds.push_back({entries[next].d, entries[next].sigma,
                             parseAlternatives(parameterLines[next])});
        }
        siteBonds.push_back(std::move(bonds));
    }

    std::ofstream out(outputPath, std::ios::binary | std::ios::app);
    if (!out) {
        message = "  Error !!! Output file not found.\n";
        return -1;
    }
    out << "  Bond valence sum:\n\n";
    for (std::size_t i = 0; i < siteBonds.size(); ++i) {
        out << siteBlock(structure.sites[i].name, siteBonds[i], settings.bvB);
    }
    out << "  Reference list:\n";
    for (const std::string& reference : references) out << "   " << reference << '\n';
    return 0;
}

}  // namespace tarnell
