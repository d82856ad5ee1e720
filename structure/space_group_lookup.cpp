#include "structure/space_group_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "crystal/operator_expansion.h"
#include "crystal/operator_text.h"
#include "crystal/setting_transformation.h"
#include "settings/input_file.h"
#include "settings/line_search.h"
#include "settings/text.h"
#include "structure/space_group_symbol.h"

namespace tarnell {
namespace {

constexpr int SymbolWidth = 10;

// The integer of a fixed-width field, blank or missing fields giving 0.
int fieldValue(const std::string& line, std::size_t begin, std::size_t width) {
    if (begin >= line.size()) return 0;
    return std::atoi(line.substr(begin, width).c_str());
}

// The 10-character symbol field that begins in 1-based `column`.
std::string symbolField(const std::string& line, int column) {
    const std::size_t begin = static_cast<std::size_t>(column - 1);
    return begin < line.size() ? line.substr(begin, SymbolWidth) : std::string();
}

// The symbol as it is compared: the older ICSD layout's 10-character cut can take in the
// opening parenthesis of the group number, and trailing blanks are padding.
std::string comparableSymbol(const std::string& sgName) {
    std::string symbol = sgName.substr(0, sgName.find('('));
    while (!symbol.empty() && (symbol.back() == ' ' || symbol.back() == '\t')) symbol.pop_back();
    return symbol;
}

// A symbol matches a field when it is a prefix of it; an empty symbol names nothing.
bool symbolMatches(const std::string& symbol, const std::string& field) {
    return !symbol.empty() && symbol.size() <= field.size() &&
           field.compare(0, symbol.size(), symbol) == 0;
}

bool hasLeadingNumber(const std::string& line, int number) {
    int value = 0;
    return std::sscanf(line.c_str(), "%d", &value) == 1 && value == number;
}

// Monoclinic setting numbers of the shipped data file: cell choices 1..3 on unique axis b, then
// the same on c and on a.
int uniqueAxisOffset(const std::string& uniqueAxis) {
    if (uniqueAxis == "b") return 0;
    if (uniqueAxis == "c") return 3;
    if (uniqueAxis == "a") return 6;
    return -1;
}

int uniqueAxisColumn(int offset) {
    constexpr int Columns[] = {22, 44, 66};
    return Columns[offset / 3];
}

bool hasCellChoices(int sgNumber) {
    switch (sgNumber) {
        case 5:
        case 7:
        case 8:
        case 9:
        case 12:
        case 13:
        case 14:
        case 15:
            return true;
        default:
            return false;
    }
}

bool resolveMonoclinic(std::istream& in, const std::string& foundLine,
                       CrystalStructure& structure) {
    const int offset = uniqueAxisOffset(structure.uniqueAxis);
    if (offset < 0) return false;
    if (!hasCellChoices(structure.sgNumber)) {
        structure.sgSetting = 1 + offset;
        return symbolMatches(comparableSymbol(structure.sgName),
                             symbolField(foundLine, uniqueAxisColumn(offset)));
    }
    const std::string symbol = comparableSymbol(structure.sgName);
    const int column = uniqueAxisColumn(offset);
    int cellChoice = symbolMatches(symbol, symbolField(foundLine, column)) ? 1 : 0;
    // A match on the line of cell choice 2 or 3 overrides one on the first line.
    std::string line;
    for (int choice = 2; choice <= 3 && readLine(in, line); ++choice) {
        if (symbolMatches(symbol, symbolField(line, column))) {
            cellChoice = choice;
            break;
        }
    }
    if (cellChoice > 0) structure.sgSetting = cellChoice + offset;
    return cellChoice > 0;
}

int matchingOrthorhombicSetting(const std::string& foundLine, const std::string& sgName) {
    constexpr int Columns[] = {11, 22, 33, 44, 55, 66};
    const std::string symbol = comparableSymbol(sgName);
    for (int k = 0; k < 6; ++k) {
        if (symbolMatches(symbol, symbolField(foundLine, Columns[k]))) return k + 1;
    }
    return 0;
}

}  // namespace

CrystalSystem crystalSystemOfLaueIndex(int laueIndex) {
    if (laueIndex >= 2 && laueIndex <= 4) return CrystalSystem::Monoclinic;
    if (laueIndex == 5) return CrystalSystem::Orthorhombic;
    if (laueIndex == 6 || laueIndex == 7) return CrystalSystem::Tetragonal;
    if (laueIndex >= 8 && laueIndex <= 11) return CrystalSystem::Trigonal;
    if (laueIndex == 12 || laueIndex == 13) return CrystalSystem::Hexagonal;
    if (laueIndex == 14 || laueIndex == 15) return CrystalSystem::Cubic;
    // Without a known system no uncertainty is copied between cell parameters.
    return CrystalSystem::Triclinic;
}

SpaceGroupData readSpaceGroupData(const std::filesystem::path& path) {
    SpaceGroupData data;
    data.path = path;
    data.loaded = readInputFile(path, MessageId::DataFileNotFound, &data.text);
    return data;
}

Status findSpaceGroupRecord(const SpaceGroupData& data, CrystalStructure& structure,
                            SpaceGroupRecord& record) {
    if (!data.loaded.ok()) return data.loaded;
    std::istringstream in(data.text);
    return readSpaceGroupRecord(in, data.path, structure, record);
}

Status readSpaceGroupRecord(std::istream& in, const std::filesystem::path& spgraFile,
                            CrystalStructure& structure, SpaceGroupRecord& record) {
    std::string header;
    std::string line;
    for (int examined = 0; examined < MaxSpaceGroupRecords && readLine(in, header); ++examined) {
        const int number = fieldValue(header, 0, 3);
        const int setting = fieldValue(header, 3, 3);
        const int lineCount = std::max(0, fieldValue(header, 12, 3));
        if (number != structure.sgNumber || setting != structure.sgSetting) {
            for (int skip = 0; skip <= lineCount && readLine(in, line); ++skip) {
            }
            continue;
        }

        SpaceGroupRecord found;
        found.laueIndex = fieldValue(header, 6, 3);
        found.centrosymmetricFlag = fieldValue(header, 9, 3);
        found.operatorLineCount = lineCount;
        bool complete = readLine(in, line);
        for (std::size_t i = 0; complete && i < found.groupCodes.size(); ++i) {
            found.groupCodes[i] = fieldValue(line, 2 * i, 2);
        }
        for (int i = 0; complete && i < lineCount; ++i) {
            complete = readLine(in, line);
            found.operatorTexts.push_back(line);
        }
        if (!complete) {
            return Status::failed(message(MessageId::FileIncomplete, spgraFile.string().c_str()));
        }
        for (const std::string& text : found.operatorTexts) {
            std::string reason;
            if (!readOperatorText(text, reason)) {
                return Status::failed(message(MessageId::BadOperator,
                                              printableText(text, MaxOperatorTextLength).c_str(),
                                              reason.c_str()));
            }
        }
        const int expanded =
            expandedOperatorCount(lineCount, found.centrosymmetricFlag, found.centringCode());
        if (expanded < 0) {
            return Status::failed(MessageId::UnknownCentring, number, setting,
                                  found.centringCode());
        }
        if (expanded > MaxOperators) {
            return Status::failed(MessageId::RecordExpandsTooFar, number, setting, expanded,
                                  MaxOperators);
        }

        structure.sgName = header.size() > 18 ? header.substr(18) : std::string();
        structure.crystalSystem = crystalSystemOfLaueIndex(found.laueIndex);
        record = std::move(found);
        return {};
    }
    return Status::failed(message(MessageId::SpaceGroupNotFound, structure.sgName.c_str()));
}

Status readFileGroup(CrystalStructure& structure, SpaceGroupRecord& record, OperatorTable& table) {
    const std::vector<std::string>& texts = structure.symmetryOperators;
    if (texts.size() > static_cast<std::size_t>(MaxOperators)) {
        return Status::failed(MessageId::FileGroupTooLarge, texts.size(), MaxOperators);
    }
    SpaceGroupRecord found;
    OperatorTable operators;
    for (const std::string& text : texts) {
        SymmetryOperator op;
        if (!readTriplet(text, op.r, op.t)) {
            return Status::failed(MessageId::FileOperatorUnreadable, text);
        }
        operators.push_back(op);
    }
    // Without x,y,z the list is no group: every site would lose its own position and the cell
    // fewer ions than it holds, as a CIF list without it is refused.
    const auto identity = [](const SymmetryOperator& op) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                if (op.r[i][j] != (i == j ? 1 : 0)) return false;
            }
            if (std::fabs(op.t[i] - std::round(op.t[i])) > 1e-9) return false;
        }
        return true;
    };
    if (std::none_of(operators.begin(), operators.end(), identity)) {
        return Status::failed(MessageId::FileGroupWithoutIdentity);
    }
    found.operatorLineCount = static_cast<int>(texts.size());
    found.operatorTexts = texts;
    structure.crystalSystem = crystalSystemOfNumber(structure.sgNumber);
    record = std::move(found);
    table = std::move(operators);
    return {};
}

Status resolveSpaceGroupSetting(SettingLookup lookup, CrystalStructure& structure,
                                const std::filesystem::path& sgTransFile, bool* symbolMatched) {
    bool ignored = false;
    bool& matched = symbolMatched != nullptr ? *symbolMatched : ignored;
    matched = false;
    std::ifstream in(sgTransFile, std::ios::binary);
    if (!in) {
        return Status::failed(message(MessageId::DataFileNotFound, sgTransFile.string().c_str()));
    }
    const char* section = lookup == SettingLookup::Monoclinic ? "Monoclinic" : "Orthorhombic";
    std::string line;
    if (Status found = findKeyLine(in, section, line); !found.ok()) return found;
    readLine(in, line);  // the section's heading

    // The search for the number does not stop at the end of the section.
    bool found = false;
    while (!found && readLine(in, line)) found = hasLeadingNumber(line, structure.sgNumber);
    if (!found) {
        return Status::failed(message(MessageId::SpaceGroupNotFound, structure.sgName.c_str()));
    }

    if (lookup == SettingLookup::Monoclinic) {
        matched = resolveMonoclinic(in, line, structure);
        return {};
    }
    const int setting = matchingOrthorhombicSetting(line, structure.sgName);
    matched = setting > 0;
    in.close();
    if (setting <= 1) return {};
    // The converted structure keeps its setting number: the data file lists only the standard
    // axes of orthorhombic groups.
    return transformToStandardSetting(setting, structure);
}

}  // namespace tarnell

namespace tarnell {
namespace {

std::string numberAndSetting(const CrystalStructure& structure) {
    return formatText("number %d setting %d", structure.sgNumber, structure.sgSetting);
}

// Puts the structure into `named`: its setting number, or its own operators where the data file
// holds no such setting; other orthorhombic axes are converted to the standard ones.
Status adoptSetting(const NamedSetting& named, CrystalStructure& structure) {
    structure.sgNumber = named.number;
    if (named.setting == 0) {
        structure.sgSetting = 1;
        structure.symmetryOperators = named.operators;
        return {};
    }
    structure.sgSetting = named.setting;
    if (!named.uniqueAxis.empty()) structure.uniqueAxis = named.uniqueAxis;
    if (named.axes <= 1) return {};
    if (Status step = transformToStandardSetting(named.axes, structure); !step.ok()) return step;
    // The record now stands in the standard axes, and says so.
    structure.sgName = named.standardName;
    return {};
}

}  // namespace

Status resolveSpaceGroupSymbol(const std::string& symbol, CrystalStructure& structure,
                               const std::filesystem::path& sgTransFile) {
    const std::vector<NamedSetting> named = settingsOfSymbol(symbol, structure.cell);
    const int stated = structure.sgNumber;
    const std::string numberText = formatText("number %d", stated);
    if (named.empty()) {
        // Not in gemmi's table: the setting-transformation file may still know the symbol.
        bool matched = false;
        if (stated >= 3 && stated <= 74) {
            const SettingLookup lookup =
                stated <= 15 ? SettingLookup::Monoclinic : SettingLookup::Orthorhombic;
            if (Status resolved =
                    resolveSpaceGroupSetting(lookup, structure, sgTransFile, &matched);
                !resolved.ok()) {
                return resolved;
            }
        }
        if (matched) return {};
        const std::string text =
            stated != 0 ? formatText("%s (%d)", symbol.c_str(), stated) : symbol;
        return Status::failed(message(MessageId::SpaceGroupUnknown, text.c_str()));
    }
    // Of the settings that the symbol leaves open, the one of the stated number and of the
    // unique axis that the cell's refined angle tells.
    const NamedSetting* chosen = nullptr;
    for (const NamedSetting& setting : named) {
        if (stated != 0 && setting.number != stated) continue;
        if (chosen == nullptr || (setting.uniqueAxis == structure.uniqueAxis &&
                                  chosen->uniqueAxis != setting.uniqueAxis)) {
            chosen = &setting;
        }
    }
    if (chosen == nullptr) {
        return Status::failed(message(MessageId::SpaceGroupContradiction,
                                      ("symbol " + symbol).c_str(), numberText.c_str()));
    }
    return adoptSetting(*chosen, structure);
}

Status checkNamedSetting(NamedSettingUse use, CrystalStructure& structure) {
    // A number and setting that the data file does not hold are refused by its lookup.
    if (!isHeldSetting(structure.sgNumber, structure.sgSetting)) return {};
    // A listing's cut symbol can take in the parenthesis of its number.
    const std::string symbol = trimBlanks(structure.sgName.substr(0, structure.sgName.find('(')));
    const std::vector<NamedSetting> named = settingsOfSymbol(symbol, structure.cell);
    if (named.empty()) return {};
    const NamedSetting* sameGroup = nullptr;
    for (const NamedSetting& setting : named) {
        if (setting.number != structure.sgNumber) continue;
        if (setting.setting == structure.sgSetting && setting.axes == 1) return {};
        if (sameGroup == nullptr) sameGroup = &setting;
    }
    const std::string symbolText = "symbol " + symbol;
    if (sameGroup == nullptr) {
        const std::string numberText = formatText("number %d", structure.sgNumber);
        return Status::failed(
            message(MessageId::SpaceGroupContradiction, symbolText.c_str(), numberText.c_str()));
    }
    if (use == NamedSettingUse::Refuse) {
        return Status::failed(message(MessageId::SpaceGroupContradiction, symbolText.c_str(),
                                      numberAndSetting(structure).c_str()));
    }
    return adoptSetting(*sameGroup, structure);
}

}  // namespace tarnell
