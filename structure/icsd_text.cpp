#include "structure/icsd_text.h"

#include <optional>
#include <string_view>
#include <vector>

#include "settings/line_search.h"
#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "structure/site_label.h"
#include "structure/space_group_lookup.h"

namespace tarnell {
namespace {

// Where the two layouts put their parts. Text columns are 0-based.
struct Layout {
    bool older;
    const char* titleMarker;
    std::size_t titleColumn;
    const char* cellMarker;
    int cellWords;  // words of the marker before the six values
    const char* spaceGroupMarker;
    std::size_t symbolColumn;
    const char* atomMarker;
    int skippedAtomTokens;  // tokens between the oxidation state and x
};

constexpr Layout OlderLayout{.older = true,
                             .titleMarker = " FORM",
                             .titleColumn = 6,
                             .cellMarker = " CELL",
                             .cellWords = 1,
                             .spaceGroupMarker = " SGR",
                             .symbolColumn = 6,
                             .atomMarker = " PARM ",
                             .skippedAtomTokens = 1};
constexpr Layout StructuredLayout{.older = false,
                                  .titleMarker = "Structured",
                                  .titleColumn = 12,
                                  .cellMarker = "Unit Cell",
                                  .cellWords = 2,
                                  .spaceGroupMarker = "Space Group",
                                  .symbolColumn = 12,
                                  .atomMarker = "Atom  #",
                                  .skippedAtomTokens = 2};

std::string from(const std::string& line, std::size_t column) {
    return column < line.size() ? line.substr(column) : std::string();
}

bool endsAtomList(const Layout& layout, const std::string& line) {
    if (layout.older) return startsWith(line, " WYCK ");
    return startsWith(line, "*end for") || startsWith(line, "Lbl");
}

// The older layout writes the group number as "(62)" after the symbol; a line without it gives
// 0, and the symbol alone tells the group.
int numberInParentheses(const std::string& part) {
    const std::size_t open = part.find('(');
    if (open == std::string::npos) return 0;
    const std::size_t close = part.find(')', open);
    if (close == std::string::npos) return 0;
    return readInteger(part.substr(open + 1, close - open - 1)).value_or(0);
}

// Cell tokens of the older layout are written "a=5.4321(12)" and "β=90."; the Greek letter takes
// one or two bytes depending on the export's encoding, so the value starts after the "=".
std::string_view cellValueText(const Layout& layout, std::string_view token) {
    if (!layout.older) return token;
    const std::size_t equals = token.find('=');
    return equals == std::string_view::npos ? token : token.substr(equals + 1);
}

Status readCellLine(const Layout& layout, const std::string& line, CrystalStructure& structure) {
    std::size_t pos = 0;
    for (int word = 0; word < layout.cellWords; ++word) nextToken(line, pos);
    for (int i = 0; i < 6; ++i) {
        const std::string token = nextToken(line, pos);
        const std::optional<UncertainNumber> number =
            readUncertainNumber(cellValueText(layout, token));
        if (!number) {
            return Status::failed(message(MessageId::BadCellNumber, token.c_str()));
        }
        structure.cell[i] = number->value;
        structure.cellSigma[i] = number->sigma;
        // Authors refine the one free angle of a monoclinic cell: it names the unique axis.
        if (i >= 3 && number->sigma > 0.0) structure.uniqueAxis.assign(1, "abc"[i - 3]);
    }
    return {};
}

// The symbol with its qualifier ("R -3 R", "F d -3 m Z"), wherever the qualifier stands.
void readSpaceGroupLine(const Layout& layout, std::istream& in, const std::string& line,
                        CrystalStructure& structure) {
    structure.sgSetting = 1;
    const std::string part = from(line, layout.symbolColumn);
    if (layout.older) {
        structure.sgName = trimBlanks(part.substr(0, part.find('(')));
        structure.sgNumber = numberInParentheses(part);
        return;
    }
    structure.sgName = trimBlanks(part);
    structure.sgNumber = 0;
    std::string numberLine;
    if (!readLine(in, numberLine)) return;
    std::size_t pos = 0;
    nextToken(numberLine, pos);
    nextToken(numberLine, pos);
    structure.sgNumber = readInteger(nextToken(numberLine, pos)).value_or(0);
}

// Without refined angles the unique axis of a monoclinic cell is the one whose angle is not 90°.
void uniqueAxisFromAngles(CrystalStructure& structure) {
    if (structure.sgNumber < 3 || structure.sgNumber > 15 || !structure.uniqueAxis.empty()) return;
    char axis = '\0';
    if (structure.cell[3] != 90.0) axis = 'a';
    if (structure.cell[4] != 90.0) axis = 'b';
    if (structure.cell[5] != 90.0) axis = 'c';
    if (axis != '\0') structure.uniqueAxis.assign(1, axis);
}

Status readAtomLine(const Layout& layout, const std::string& line, double dMax, Site& site) {
    std::size_t pos = 0;
    const std::string element = nextToken(line, pos);
    site.name = labelWithElement(element + nextToken(line, pos), elementOfTypeSymbol(element));
    const std::string oxidationToken = nextToken(line, pos);
    for (int skipped = 0; skipped < layout.skippedAtomTokens; ++skipped) nextToken(line, pos);
    const std::string coordinateTokens[] = {nextToken(line, pos), nextToken(line, pos),
                                            nextToken(line, pos)};
    const std::string occupancyToken = nextToken(line, pos);

    const auto fail = [&](const std::string& token) {
        return Status::failed(message(MessageId::BadSiteNumber, token.c_str(), site.name.c_str()));
    };
    const std::optional<double> oxidationState = readReal(oxidationToken);
    if (!oxidationState) return fail(oxidationToken);
    double* coordinates[] = {&site.x, &site.y, &site.z};
    double* sigmas[] = {&site.sx, &site.sy, &site.sz};
    for (int i = 0; i < 3; ++i) {
        const std::optional<UncertainNumber> number =
            readUncertainNumber(coordinateTokens[i], true);
        if (!number) return fail(coordinateTokens[i]);
        *coordinates[i] = number->value;
        *sigmas[i] = number->sigma;
    }
    site.g = 1.0;
    site.charge = *oxidationState;
    site.valence = *oxidationState;
    if (!occupancyToken.empty()) {
        const std::optional<UncertainNumber> occupancy = readUncertainNumber(occupancyToken);
        if (!occupancy) return fail(occupancyToken);
        site.g = occupancy->value;
        // A partly occupied site contributes its share of the charge.
        if (site.g < 1.0) site.charge = site.g * *oxidationState;
    }
    site.dLimit = dMax;
    return {};
}

}  // namespace

Status readIcsdText(std::istream& in, const std::filesystem::path& path,
                    CrystalStructure& structure, const ReaderContext& context) {
    std::string line;
    const auto rewind = [&]() {
        in.clear();
        in.seekg(0);
    };

    const Layout* layout = nullptr;
    if (findLine(in, " COL ", line)) {
        layout = &OlderLayout;
    } else {
        rewind();
        if (findLine(in, "*data", line)) layout = &StructuredLayout;
    }
    if (layout == nullptr) {
        return Status::failed(MessageId::NotIcsdFormat);
    }
    rewind();

    if (Status found = findKeyLine(in, layout->titleMarker, line); !found.ok()) return found;
    structure.title = from(line, layout->titleColumn);

    if (Status found = findKeyLine(in, layout->cellMarker, line); !found.ok()) return found;
    if (Status step = readCellLine(*layout, line, structure); !step.ok()) return step;

    if (Status found = findKeyLine(in, layout->spaceGroupMarker, line); !found.ok()) return found;
    readSpaceGroupLine(*layout, in, line, structure);
    uniqueAxisFromAngles(structure);

    if (Status found = findKeyLine(in, layout->atomMarker, line); !found.ok()) return found;
    std::vector<Site> sites;
    // An export cut short inside its atom list would be computed with the sites it kept, as if
    // they were the whole structure: the list must end with the line that follows it.
    bool ended = false;
    while (readLine(in, line) && !(ended = endsAtomList(*layout, line))) {
        if (trimBlanks(line).empty()) continue;  // a blank line holds no atom
        if (static_cast<int>(sites.size()) == MaxSites) {
            return Status::failed(message(MessageId::SpeciesExceeds, MaxSites));
        }
        Site site;
        if (Status step = readAtomLine(*layout, line, context.dMax, site); !step.ok()) return step;
        sites.push_back(std::move(site));
    }
    if (!ended) return Status::failed(MessageId::FileIncomplete, path);
    structure.sites = std::move(sites);

    return resolveSpaceGroupSymbol(structure.sgName, structure, context.sgTransFile);
}

}  // namespace tarnell
