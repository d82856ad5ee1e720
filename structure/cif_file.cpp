#include "structure/cif_file.h"

#include <gemmi/cif.hpp>
#include <gemmi/symmetry.hpp>

#include <array>
#include <cctype>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "geometry/operator_text.h"
#include "geometry/setting_transformation.h"
#include "settings/text.h"
#include "structure/uncertain_number.h"

namespace tarnell {
namespace {

namespace cif = gemmi::cif;

// The value of the first of `tags` that the block gives, unquoted, or nothing for a missing or
// null value.
std::optional<std::string> valueOf(const cif::Block& block,
                                   std::initializer_list<const char*> tags) {
    for (const char* tag : tags) {
        const std::string* raw = block.find_value(tag);
        if (raw != nullptr && !cif::is_null(*raw)) return cif::as_string(*raw);
    }
    return std::nullopt;
}

std::vector<std::string> valuesOf(cif::Block& block, std::initializer_list<const char*> tags) {
    for (const char* tag : tags) {
        cif::Column column = block.find_values(tag);
        if (column.item() == nullptr) continue;
        std::vector<std::string> values;
        for (const std::string& raw : column) {
            if (!cif::is_null(raw)) values.push_back(cif::as_string(raw));
        }
        return values;
    }
    return {};
}

// A title or symbol on one line: text fields may run over several.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    return trimBlanks(text);
}

// The first block with atom sites; CIF files from databases often open with a block of
// publication data only.
cif::Block* blockWithSites(cif::Document& document) {
    for (cif::Block& block : document.blocks) {
        if (block.find_values("_atom_site_label").item() != nullptr ||
            block.find_values("_atom_site_fract_x").item() != nullptr) {
            return &block;
        }
    }
    return nullptr;
}

// The oxidation number of a type symbol that carries it: Fe3+, O2-, Na+, O-2.
std::optional<double> chargeOfTypeSymbol(const std::string& symbol) {
    std::size_t pos = 0;
    while (pos < symbol.size() && std::isalpha(static_cast<unsigned char>(symbol[pos]))) ++pos;
    const std::string rest = symbol.substr(pos);
    if (rest.empty()) return std::nullopt;
    int sign = 0;
    std::string digits;
    for (char c : rest) {
        if (c == '+' || c == '-') {
            if (sign != 0) return std::nullopt;
            sign = c == '+' ? 1 : -1;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else {
            return std::nullopt;
        }
    }
    if (sign == 0) return std::nullopt;
    return sign * (digits.empty() ? 1.0 : std::stod(digits));
}

// Where a gemmi entry stands in the shipped data file: its setting number, the orthorhombic
// axis setting (1 to 6) it must first be converted from, and a monoclinic unique axis.
struct FileSetting {
    int setting = 0;  // 0: the file has no such setting
    int axes = 1;
    std::string uniqueAxis;
};

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

FileSetting fileSettingOf(const gemmi::SpaceGroup& group) {
    FileSetting result;
    const std::string qualifier = group.qualifier;
    const int number = group.number;
    if (number >= 3 && number <= 15) {
        const std::string axes = "bca";
        if (qualifier.empty() || axes.find(qualifier[0]) == std::string::npos) return result;
        const int choice = qualifier.size() > 1 ? qualifier[1] - '0' : 1;
        if (choice < 1 || choice > 3) return result;
        result.setting = 3 * static_cast<int>(axes.find(qualifier[0])) + choice;
        result.uniqueAxis = qualifier.substr(0, 1);
    } else if (number >= 16 && number <= 74) {
        constexpr std::array<const char*, 6> Axes = {"", "ba-c", "cab", "-cba", "bca", "a-cb"};
        for (std::size_t k = 0; k < Axes.size(); ++k) {
            if (qualifier == Axes[k]) result.axes = static_cast<int>(k) + 1;
        }
        if (qualifier != Axes[result.axes - 1]) return result;
        result.setting = group.ext == '2' ? 2 : 1;
    } else if (!qualifier.empty()) {
        return result;
    } else {
        result.setting = group.ext == '2' || group.ext == 'R' ? 2 : 1;
    }
    if (!isListedEntry(group)) result.setting = 0;
    return result;
}

// gemmi lists the standard setting of a group first.
const gemmi::SpaceGroup* firstEntry(int number) {
    for (const gemmi::SpaceGroup& entry : gemmi::spacegroup_tables::main) {
        if (entry.number == number) return &entry;
    }
    return nullptr;
}

// The group of the symmetry operators the file lists, if they make one that gemmi knows.
const gemmi::SpaceGroup* groupOfOperators(const std::vector<std::string>& texts) {
    if (texts.empty()) return nullptr;
    try {
        std::vector<gemmi::Op> ops;
        for (const std::string& text : texts) ops.push_back(gemmi::parse_triplet(text));
        return gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(ops));
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace

int readCifFile(std::istream& in, const std::filesystem::path& path, CrystalStructure& structure,
                const ReaderContext& context, std::string& message) {
    const Wording& wording = context.wording;
    const std::string text(std::istreambuf_iterator<char>(in), {});
    cif::Document document;
    try {
        document = cif::read_memory(text.data(), text.size(), path.string().c_str());
    } catch (const std::exception&) {
        message = formatText(wording.notCif, path.string().c_str());
        return -1;
    }
    cif::Block* found = blockWithSites(document);
    if (found == nullptr) {
        message = formatText(wording.noAtomSites, path.string().c_str());
        return -1;
    }
    cif::Block& block = *found;

    structure.title = oneLine(
        valueOf(block, {"_chemical_name_systematic", "_chemical_name_common",
                        "_chemical_name_mineral", "_chemical_formula_structural",
                        "_chemical_formula_sum"})
            .value_or(block.name));

    const char* cellTags[] = {"_cell_length_a",  "_cell_length_b",   "_cell_length_c",
                              "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (int i = 0; i < 6; ++i) {
        const std::optional<std::string> value = valueOf(block, {cellTags[i]});
        if (!value) {
            message = formatText(wording.noUnitCell, block.name.c_str());
            return -1;
        }
        const std::optional<UncertainNumber> number = readUncertainNumber(*value);
        if (!number) {
            message = formatText(wording.badCellNumber, value->c_str());
            return -1;
        }
        structure.cell[i] = number->value;
        structure.cellSigma[i] = number->sigma;
    }

    // The listed operators decide where they are given: a symbol alone cannot tell the origin
    // choice of a group that has two.
    const std::optional<std::string> symbol =
        valueOf(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"});
    const std::optional<int> number = readInteger(
        valueOf(block, {"_space_group_IT_number", "_symmetry_Int_Tables_number"}).value_or(""));
    const std::vector<std::string> operators =
        valuesOf(block, {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"});
    for (const std::string& text : operators) {
        std::string reason;
        if (!readOperatorText(text, reason)) {
            message = formatText(wording.badOperator,
                                 printableText(text, MaxOperatorTextLength).c_str(),
                                 reason.c_str());
            return -1;
        }
    }
    const gemmi::SpaceGroup* group = groupOfOperators(operators);
    if (group == nullptr && operators.empty() && symbol) {
        group = gemmi::find_spacegroup_by_name(*symbol, structure.cell[3], structure.cell[5]);
    }
    if (group == nullptr && operators.empty() && !symbol && number) group = firstEntry(*number);
    const std::string named = oneLine(symbol.value_or(number ? std::to_string(*number) : "?"));
    if (group == nullptr || (number && *number != group->number)) {
        message = formatText(wording.spaceGroupUnknown, named.c_str());
        return -1;
    }
    const FileSetting setting = fileSettingOf(*group);
    if (setting.setting == 0) {
        message = formatText(wording.settingNotHeld, (symbol ? named : group->xhm()).c_str());
        return -1;
    }

    cif::Table sites = block.find("_atom_site_", {"label", "?type_symbol", "?fract_x",
                                                  "?fract_y", "?fract_z", "?occupancy"});
    std::map<std::string, double> oxidationNumbers;
    for (auto row : block.find("_atom_type_", {"symbol", "oxidation_number"})) {
        const std::optional<double> value =
            cif::is_null(row[1]) ? std::nullopt : readReal(cif::as_string(row[1]));
        if (value) oxidationNumbers[cif::as_string(row[0])] = *value;
    }

    std::vector<Site> read;
    std::set<std::string> labels;
    for (auto row : sites) {
        Site site;
        site.name = cif::as_string(row[0]);
        if (read.size() == static_cast<std::size_t>(MaxSites)) {
            message = formatText(wording.speciesExceeds, MaxSites);
            return -1;
        }
        if (!labels.insert(site.name).second) {
            message = formatText(wording.labelTwice, site.name.c_str());
            return -1;
        }
        double* coordinates[] = {&site.x, &site.y, &site.z};
        double* sigmas[] = {&site.sx, &site.sy, &site.sz};
        for (int c = 0; c < 3; ++c) {
            if (!row.has2(2 + c)) {
                message = formatText(wording.siteWithoutCoordinates, site.name.c_str());
                return -1;
            }
            const std::string token = cif::as_string(row[2 + c]);
            const std::optional<UncertainNumber> value = readUncertainNumber(token, true);
            if (!value) {
                message = formatText(wording.badSiteNumber, token.c_str(), site.name.c_str());
                return -1;
            }
            *coordinates[c] = value->value;
            *sigmas[c] = value->sigma;
        }
        if (row.has2(5)) {
            const std::string token = cif::as_string(row[5]);
            const std::optional<UncertainNumber> occupancy = readUncertainNumber(token);
            if (!occupancy) {
                message = formatText(wording.badSiteNumber, token.c_str(), site.name.c_str());
                return -1;
            }
            site.g = occupancy->value;
        }
        const std::string type = row.has2(1) ? cif::as_string(row[1]) : site.name;
        const auto listed = oxidationNumbers.find(type);
        const double oxidation = listed != oxidationNumbers.end()
                                     ? listed->second
                                     : chargeOfTypeSymbol(type).value_or(0.0);
        site.charge = site.g < 1.0 ? site.g * oxidation : oxidation;
        site.dLimit = context.dMax;
        read.push_back(std::move(site));
    }
    if (read.empty()) {
        message = formatText(wording.noAtomSites, path.string().c_str());
        return -1;
    }

    structure.sgNumber = group->number;
    structure.sgSetting = setting.setting;
    structure.uniqueAxis = setting.uniqueAxis;
    structure.sgName = symbol ? oneLine(*symbol) : group->hm;
    structure.sites = std::move(read);
    if (setting.axes > 1) {
        if (transformToStandardSetting(setting.axes, structure, wording, message) != 0) return -1;
        // The record now stands in the standard axes, and says so.
        structure.sgName = firstEntry(group->number)->hm;
    }
    return 0;
}

}  // namespace tarnell
