#include "structure/space_group_symbol.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <gemmi/symmetry.hpp>

namespace tarnell {
namespace {

// Symbols compare without blanks or underscores, the lattice letter in upper case and the rest
// in lower case: "Pbnm", "P b n m" and "P B N M" are one symbol, "P 6_3/mmc" is "P63/mmc".
std::string comparable(const std::string& symbol) {
    std::string result;
    for (const char c : symbol) {
        if (c == ' ' || c == '\t' || c == '_') continue;
        result += static_cast<char>(result.empty() ? std::toupper(static_cast<unsigned char>(c))
                                                   : std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

// The short form of a monoclinic symbol: P 1 1 21/b gives P 21/b.
std::string shortMonoclinic(const std::string& hm) {
    std::string result;
    std::size_t pos = 0;
    bool first = true;
    while (pos < hm.size()) {
        const std::size_t end = std::min(hm.find(' ', pos), hm.size());
        const std::string token = hm.substr(pos, end - pos);
        if (first || token != "1") result += token;
        first = false;
        pos = end + 1;
    }
    return result;
}

bool isMonoclinic(int number) {
    return number >= 3 && number <= 15;
}

// The symbol's own spellings in gemmi's table, and the older or newer symbol of the same
// setting that the table of alternative names gives.
bool spells(const gemmi::SpaceGroup& entry, const std::string& wanted) {
    if (comparable(entry.hm) == wanted) return true;
    if (isMonoclinic(entry.number) && comparable(shortMonoclinic(entry.hm)) == wanted) return true;
    for (const gemmi::SpaceGroupAltName& alt : gemmi::spacegroup_tables::alt_names) {
        if (&gemmi::spacegroup_tables::main[alt.pos] == &entry && comparable(alt.hm) == wanted) {
            return true;
        }
    }
    return false;
}

// The data file holds, for each setting, the first entry of gemmi's table with its qualifier and
// origin (or axes) choice; gemmi's further entries are other cells.
bool isListedEntry(const gemmi::SpaceGroup& group) {
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if (entry.number == group.number && std::string(entry.qualifier) == group.qualifier &&
            entry.ext == group.ext) {
            return &entry == &group;
        }
    }
    return false;
}

const gemmi::SpaceGroup* firstEntry(int number) {
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if (entry.number == number) return &entry;
    }
    return nullptr;
}

NamedSetting namedSetting(const gemmi::SpaceGroup& group) {
    NamedSetting result;
    result.number = group.number;
    result.name = group.xhm();
    result.standardName = firstEntry(group.number)->hm;
    for (const gemmi::Op& op : group.operations()) result.operators.push_back(op.triplet());

    const std::string qualifier = group.qualifier;
    const int number = group.number;
    if (isMonoclinic(number)) {
        const std::string axes = "bca";
        if (qualifier.empty() || axes.find(qualifier[0]) == std::string::npos) return result;
        const int choice = qualifier.size() > 1 ? qualifier[1] - '0' : 1;
        result.uniqueAxis = qualifier.substr(0, 1);
        if (choice < 1 || choice > 3) return result;
        result.setting = 3 * static_cast<int>(axes.find(qualifier[0])) + choice;
    } else if (number >= 16 && number <= 74) {
        constexpr std::array<const char*, 6> Axes = {"", "ba-c", "cab", "-cba", "bca", "a-cb"};
        for (std::size_t k = 0; k < Axes.size(); ++k) {
            if (qualifier == Axes[k]) result.axes = static_cast<int>(k) + 1;
        }
        if (qualifier != Axes[result.axes - 1]) {
            result.axes = 1;
            return result;
        }
        result.setting = group.ext == '2' ? 2 : 1;
    } else if (!qualifier.empty()) {
        return result;
    } else {
        result.setting = group.ext == '2' || group.ext == 'R' ? 2 : 1;
    }
    if (!isListedEntry(group)) result.setting = 0;
    return result;
}

bool isRhombohedralCell(const std::array<double, 6>& cell) {
    // gemmi's own test: hexagonal axes have gamma 120 against alpha 90.
    return cell[3] > 0.0 && cell[5] < 1.125 * cell[3];
}

// The axis whose angle alone is not 90°, or nothing.
char obliqueAxis(const std::array<double, 6>& cell) {
    char axis = '\0';
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(cell[3 + i] - 90.0) > 1e-6) {
            axis = "abc"[i];
            ++count;
        }
    }
    return count == 1 ? axis : '\0';
}

}  // namespace

SymbolParts splitQualifier(const std::string& text) {
    SymbolParts parts;
    std::string symbol = text;
    const std::size_t colon = symbol.find(':');
    if (colon != std::string::npos) {
        for (std::size_t i = colon + 1; i < symbol.size(); ++i) {
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[i])));
            if (c == '1' || c == '2' || c == 'H' || c == 'R') {
                parts.qualifier = c;
                break;
            }
        }
        symbol.erase(colon);
    }
    // ICSD writes the qualifier as a last upper-case word: Z origin choice 2, S origin choice 1,
    // H hexagonal and R rhombohedral axes. The lattice letter is never one.
    while (!symbol.empty() && std::isspace(static_cast<unsigned char>(symbol.back()))) {
        symbol.pop_back();
    }
    // Of several such words the last one counts.
    for (bool more = true; more;) {
        more = false;
        const std::size_t blank = symbol.find_last_of(" \t");
        if (blank == std::string::npos || blank + 2 != symbol.size()) break;
        const char letter = symbol.back();
        const char qualifier = letter == 'Z' ? '2' : letter == 'S' ? '1' : letter;
        if (letter == 'Z' || letter == 'S' || letter == 'H' || letter == 'R') {
            if (parts.qualifier == 0) parts.qualifier = qualifier;
            symbol.erase(blank);
            while (!symbol.empty() && std::isspace(static_cast<unsigned char>(symbol.back()))) {
                symbol.pop_back();
            }
            more = true;
        }
    }
    while (!symbol.empty() && std::isspace(static_cast<unsigned char>(symbol.back()))) {
        symbol.pop_back();
    }
    const std::size_t start = symbol.find_first_not_of(" \t");
    parts.symbol = start == std::string::npos ? std::string() : symbol.substr(start);
    return parts;
}

std::vector<NamedSetting> settingsOfSymbol(const std::string& text,
                                           const std::array<double, 6>& cell) {
    const SymbolParts parts = splitQualifier(text);
    const std::string wanted = comparable(parts.symbol);
    if (wanted.empty()) return {};
    std::vector<const gemmi::SpaceGroup*> found;
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if (!spells(entry, wanted)) continue;
        // A qualifier picks among the settings that differ by it; a group without such settings
        // ignores it.
        if (parts.qualifier != 0 && entry.ext != 0 && entry.ext != parts.qualifier) continue;
        found.push_back(&entry);
    }
    // Without a qualifier the cell tells hexagonal from rhombohedral axes.
    if (parts.qualifier == 0) {
        const char otherAxes = isRhombohedralCell(cell) ? 'H' : 'R';
        std::erase_if(found,
                      [otherAxes](const gemmi::SpaceGroup* g) { return g->ext == otherAxes; });
    }
    const char axis = obliqueAxis(cell);
    std::stable_sort(found.begin(), found.end(), [&](const auto* a, const auto* b) {
        const auto rank = [&](const gemmi::SpaceGroup* g) {
            if (isMonoclinic(g->number) && axis != '\0' && g->qualifier[0] != axis) return 1;
            return 0;
        };
        return rank(a) < rank(b);
    });
    std::vector<NamedSetting> settings;
    settings.reserve(found.size());
    for (const gemmi::SpaceGroup* entry : found) settings.push_back(namedSetting(*entry));
    return settings;
}

std::vector<NamedSetting> settingsOfOperators(const std::vector<std::string>& operators,
                                              int statedNumber) {
    if (operators.empty()) return {};
    gemmi::GroupOps ops;
    try {
        std::vector<gemmi::Op> parsed;
        parsed.reserve(operators.size());
        for (const std::string& text : operators) parsed.push_back(gemmi::parse_triplet(text));
        ops = gemmi::split_centering_vectors(parsed);
    } catch (const std::exception&) {
        return {};
    }
    const char centring = ops.find_centering();
    // Expanding an entry's operators is what costs; the group the file states is tried first,
    // and the whole table only when its operators are not that group's.
    const auto matching = [&](bool statedOnly) {
        std::vector<NamedSetting> settings;
        for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
            if (statedOnly && entry.number != statedNumber) continue;
            if ((centring == entry.hall[0] || centring == entry.hall[1]) &&
                ops.is_same_as(entry.operations())) {
                settings.push_back(namedSetting(entry));
            }
        }
        return settings;
    };
    std::vector<NamedSetting> settings;
    if (statedNumber >= 1 && statedNumber <= 230) settings = matching(true);
    if (settings.empty()) settings = matching(false);
    // Where one group of operators is listed twice in gemmi's table, the entry that the data
    // file holds serves.
    std::stable_partition(settings.begin(), settings.end(),
                          [](const NamedSetting& s) { return s.setting != 0; });
    return settings;
}

NamedSetting standardSetting(int number) {
    const gemmi::SpaceGroup* entry = number >= 1 && number <= 230 ? firstEntry(number) : nullptr;
    return entry != nullptr ? namedSetting(*entry) : NamedSetting{};
}

bool readTriplet(const std::string& text, Matrix3& rotation, std::array<double, 3>& translation) {
    try {
        const gemmi::Op op = gemmi::parse_triplet(text);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) rotation[i][j] = op.rot[i][j] / double(gemmi::Op::DEN);
            translation[i] = op.tran[i] / double(gemmi::Op::DEN);
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool isHeldSetting(int number, int setting) {
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if (entry.number == number && namedSetting(entry).setting == setting) return true;
    }
    return false;
}

CrystalSystem crystalSystemOfNumber(int number) {
    if (number < 1 || number > 230) return CrystalSystem::Triclinic;
    return static_cast<CrystalSystem>(
        static_cast<int>(gemmi::crystal_system(gemmi::point_group(number))) + 1);
}

}  // namespace tarnell
