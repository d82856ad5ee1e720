#include "structure/morvek_listing.h"

#include <array>
#include <optional>
#include <vector>

#include "settings/line_search.h"
#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "structure/space_group_lookup.h"

namespace tarnell {
namespace {

// The markers' leading blanks are part of them: the listing's columns are fixed.
constexpr const char* PhaseMarker = "           Phase";
constexpr const char* SpaceGroupMarker = "           Space group";
constexpr const char* CellMarker = "                 a         b         c";
constexpr const char* SiteMarker = "                        neq  *   g    =   n";

constexpr std::size_t SymbolLength = 10;

// The text after the last colon, without the one blank that follows it.
std::string afterLastColon(const std::string& line) {
    const std::size_t colon = line.rfind(':');
    if (colon == std::string::npos) return {};
    std::size_t begin = colon + 1;
    if (begin < line.size() && line[begin] == ' ') ++begin;
    return line.substr(begin);
}

// The integer at the start of `text`, as a formatted scan reads it: "62)" gives 62.
std::optional<int> leadingInteger(const std::string& text) {
    std::size_t end = 0;
    if (end < text.size() && (text[end] == '+' || text[end] == '-')) ++end;
    const std::size_t digits = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == digits) return std::nullopt;
    return readInteger(text.substr(0, end));
}

// "Space group: P n m a    (Pnma, 62)" gives 62 in setting 1; "(R-3c #2, 167)" gives 167 in
// setting 2. A line without the parentheses or the comma that the number needs gives 0, which no
// space-group record carries.
void readSpaceGroupLine(const std::string& line, CrystalStructure& structure) {
    structure.sgName = afterLastColon(line).substr(0, SymbolLength);
    structure.sgNumber = 0;
    const std::size_t hash = line.rfind('#');
    if (hash == std::string::npos) {
        structure.sgSetting = 1;
        const std::size_t comma = line.rfind(',');
        const std::size_t close = line.rfind(')');
        if (comma != std::string::npos && close != std::string::npos && close > comma) {
            structure.sgNumber = readInteger(line.substr(comma + 1, close - comma - 1)).value_or(0);
        }
        return;
    }
    structure.sgSetting = leadingInteger(line.substr(hash + 1)).value_or(0);
    const std::size_t open = line.rfind('(');
    if (open == std::string::npos) return;
    const std::string part = line.substr(open);
    std::size_t pos = 0;
    nextToken(part, pos);
    nextToken(part, pos);
    structure.sgNumber = leadingInteger(nextToken(part, pos)).value_or(0);
}

// An uncertainty token: "-" marks a parameter that was not refined.
std::optional<double> readSigma(const std::string& token) {
    if (token == "-") return 0.0;
    return readReal(token);
}

}  // namespace

Status readMorvekListing(std::istream& in, const std::filesystem::path& path,
                         CrystalStructure& structure, const ReaderContext& context) {
    Message failure;
    std::string line;
    const auto nextLine = [&]() {
        if (readLine(in, line)) return true;
        failure = message(MessageId::FileIncomplete, path.string().c_str());
        return false;
    };

    if (Status found = findKeyLine(in, PhaseMarker, line); !found.ok()) return found;
    structure.title = afterLastColon(line);

    if (Status found = findKeyLine(in, SpaceGroupMarker, line); !found.ok()) return found;
    readSpaceGroupLine(line, structure);

    if (Status found = findKeyLine(in, CellMarker, line); !found.ok()) return found;
    if (!nextLine()) return Status::failed(failure);
    // The cell values, and on the next line their uncertainties ("-" for a fixed parameter).
    const auto readSix = [&](std::array<double, 6>& values, auto read) {
        std::size_t pos = 0;
        for (double& value : values) {
            const std::string token = nextToken(line, pos);
            const std::optional<double> number = read(token);
            if (!number) {
                failure = message(MessageId::BadCellNumber, token.c_str());
                return false;
            }
            value = *number;
        }
        return true;
    };
    std::array<double, 6> cell{};
    std::array<double, 6> cellSigma{};
    if (!readSix(cell, [](const std::string& t) { return readReal(t); }))
        return Status::failed(failure);
    if (!nextLine()) return Status::failed(failure);
    if (!readSix(cellSigma, readSigma)) return Status::failed(failure);
    structure.cell = cell;
    structure.cellSigma = cellSigma;

    if (Status found = findKeyLine(in, SiteMarker, line); !found.ok()) return found;
    std::vector<Site> sites;
    // The site list ends at the first empty line, which the listing writes after it: a listing
    // that ends without it may have been cut inside its sites, and would be computed with
    // those it kept.
    bool ended = false;
    while (readLine(in, line) && !(ended = trimBlanks(line).empty())) {
        if (static_cast<int>(sites.size()) == MaxSites) {
            return Status::failed(message(MessageId::SpeciesExceeds, MaxSites));
        }
        Site site;
        std::size_t pos = 0;
        site.name = nextToken(line, pos);
        const auto readNumber = [&](const std::string& token, double& value, auto read) -> bool {
            const std::optional<double> number = read(token);
            if (number) {
                value = *number;
                return true;
            }
            failure = message(MessageId::BadSiteNumber, token.c_str(), site.name.c_str());
            return false;
        };
        nextToken(line, pos);  // number of equivalent positions
        if (!readNumber(nextToken(line, pos), site.g, readReal)) return Status::failed(failure);
        nextToken(line, pos);  // multiplicity times occupancy
        for (double* coordinate : {&site.x, &site.y, &site.z}) {
            if (!readNumber(nextToken(line, pos), *coordinate, readReal))
                return Status::failed(failure);
        }

        if (!nextLine()) return Status::failed(failure);
        pos = 0;
        for (int skipped = 0; skipped < 3; ++skipped) nextToken(line, pos);
        for (double* sigma : {&site.sx, &site.sy, &site.sz}) {
            if (!readNumber(nextToken(line, pos), *sigma, readSigma))
                return Status::failed(failure);
        }
        site.charge = 0.0;
        site.dLimit = context.dMax;
        sites.push_back(std::move(site));
    }
    if (!ended) return Status::failed(MessageId::FileIncomplete, path);
    structure.sites = std::move(sites);
    // A listing in P b n m axes is converted like an ICSD export in them.
    return checkNamedSetting(NamedSettingUse::Adopt, structure);
}

}  // namespace tarnell
