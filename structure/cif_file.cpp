#include "structure/cif_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <gemmi/cif.hpp>
#include <gemmi/symmetry.hpp>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "crystal/operator_expansion.h"
#include "crystal/operator_text.h"
#include "crystal/setting_transformation.h"
#include "settings/text.h"
#include "settings/uncertain_number.h"
#include "structure/site_label.h"
#include "structure/space_group_symbol.h"

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
    if (digits.empty()) return sign * 1.0;
    // Hundreds of digits are no charge; they must not end the reading with an exception.
    const std::optional<double> magnitude = readReal(digits);
    if (!magnitude) return std::nullopt;
    return sign * *magnitude;
}

// Dummy atoms of refinement programs: markers without scattering power.
bool isDummyType(const std::string& type) {
    std::string lower;
    for (const char c : type) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == "du" || lower == "x";
}

// The listed operators, when they are a group of at most MaxOperators operators that holds
// x,y,z: every product of two is listed (modulo lattice translations), none twice. Otherwise
// the reason why not.
std::optional<std::vector<gemmi::Op>> listedGroup(const std::vector<std::string>& texts,
                                                  std::string& why) {
    std::vector<gemmi::Op> ops;
    try {
        for (const std::string& text : texts) ops.push_back(gemmi::parse_triplet(text).wrap());
    } catch (const std::exception&) {
        why = "not readable";
        return std::nullopt;
    }
    std::vector<gemmi::Op> sorted = ops;
    std::sort(sorted.begin(), sorted.end());
    if (!std::binary_search(sorted.begin(), sorted.end(), gemmi::Op::identity())) {
        why = "no x,y,z";
        return std::nullopt;
    }
    if (sorted.size() > static_cast<std::size_t>(MaxOperators) ||
        std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
        why = "not a group";
        return std::nullopt;
    }
    // A list of the form R + C (one operator R per rotation, C the pure translations among
    // them) is closed when C is, when every R maps C onto itself and when every product of two
    // R is listed: (r1 + c1)(r2 + c2) = r1 r2 + (r1 c2 + c1). Checking these is far cheaper
    // than every product of two (36 864 of them for an F-centred cubic group).
    const gemmi::GroupOps split = gemmi::split_centering_vectors(sorted);
    const auto listed = [&sorted](gemmi::Op op) {
        return std::binary_search(sorted.begin(), sorted.end(), op.wrap());
    };
    const auto shift = [](const gemmi::Op::Tran& t) {
        return gemmi::Op{gemmi::Op::identity().rot, t};
    };
    bool closed = split.sym_ops.size() * split.cen_ops.size() == sorted.size();
    for (const gemmi::Op& r : split.sym_ops) {
        for (const gemmi::Op::Tran& c : split.cen_ops) {
            closed = closed && listed(r * shift(c)) && listed(shift(c) * r);
        }
    }
    for (const gemmi::Op::Tran& c1 : split.cen_ops) {
        for (const gemmi::Op::Tran& c2 : split.cen_ops)
            closed = closed && listed(shift(c1) * shift(c2));
    }
    for (const gemmi::Op& a : split.sym_ops) {
        if (!closed) break;
        for (const gemmi::Op& b : split.sym_ops) {
            if (!listed(a * b)) {
                closed = false;
                break;
            }
        }
    }
    if (!closed) {
        why = "not a group";
        return std::nullopt;
    }
    return ops;
}

// Where the group of a read comes from, and what the reader then does with it.
struct GroupChoice {
    NamedSetting setting;
    bool ownOperators = false;  // the operators stand as listed: no data-file record describes them
    std::vector<std::string> operators;
};

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::optional<std::string> symbolOf(const cif::Block& block) {
    const std::optional<std::string> symbol =
        valueOf(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"});
    if (!symbol) return std::nullopt;
    return oneLine(*symbol);
}

// The group of a read, from the first of these that the file gives and that makes one: the
// listed operators, the Hall symbol, the H-M symbol, the number. Operators that are no group give
// way with a note; two statements that name different groups refuse the file.
Status chooseGroup(cif::Block& block, const std::array<double, 6>& cell, GroupChoice& choice,
                   std::vector<Message>& notes) {
    const std::optional<std::string> symbol = symbolOf(block);
    const std::optional<std::string> hall =
        valueOf(block, {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"});
    const std::optional<std::string> numberText =
        valueOf(block, {"_space_group_IT_number", "_symmetry_Int_Tables_number"});
    const std::optional<int> number = numberText ? readInteger(*numberText) : std::nullopt;
    const std::vector<std::string> operators =
        valuesOf(block, {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"});
    const std::vector<NamedSetting> named =
        symbol ? settingsOfSymbol(*symbol, cell) : std::vector<NamedSetting>{};

    const auto contradiction = [&](const std::string& first, const std::string& second) {
        return Status::failed(
            message(MessageId::SpaceGroupContradiction, first.c_str(), second.c_str()));
    };
    const std::string numberStated = number ? "number " + std::to_string(*number) : "";
    const auto symbolAllows = [&](int n) {
        return named.empty() || std::any_of(named.begin(), named.end(),
                                            [n](const NamedSetting& s) { return s.number == n; });
    };
    if (number && !symbolAllows(*number)) return contradiction("symbol " + *symbol, numberStated);
    // A group that the operators or the Hall symbol give must agree with the number and the
    // symbol that the file states beside them.
    const auto statedAllow = [&](const NamedSetting& found, const std::string& source) {
        if (number && *number != found.number) return contradiction(source, numberStated);
        if (!symbolAllows(found.number)) return contradiction("symbol " + *symbol, source);
        return Status();
    };
    // A group that the data file holds is computed with its record; any other with its own
    // operators.
    const auto take = [&](const NamedSetting& found, const std::vector<std::string>& ops) {
        choice.setting = found;
        choice.ownOperators = found.setting == 0;
        if (choice.ownOperators) choice.operators = ops;
    };

    std::string why;
    if (!operators.empty()) {
        if (const auto ops = listedGroup(operators, why)) {
            std::vector<std::string> texts;
            for (const gemmi::Op& op : *ops) texts.push_back(op.triplet());
            const std::vector<NamedSetting> exact = settingsOfOperators(
                texts, number.value_or(named.empty() ? 0 : named.front().number));
            if (!exact.empty()) {
                const std::string source = "operators of " + exact.front().name;
                if (Status stated = statedAllow(exact.front(), source); !stated.ok()) return stated;
                take(exact.front(), texts);
                return {};
            }
            // An origin or a cell of the file's own: the operators stand as listed, named by
            // what the file states.
            choice.ownOperators = true;
            choice.operators = std::move(texts);
            if (number) {
                choice.setting = standardSetting(*number);
            } else if (!named.empty()) {
                choice.setting = named.front();
            }
            return {};
        }
    }
    const auto fellBackTo = [&](const std::string& source) {
        if (!operators.empty()) {
            notes.push_back(message(MessageId::OperatorsUnusable, why.c_str(), source.c_str()));
        }
    };

    if (hall) {
        std::vector<std::string> texts;
        try {
            for (const gemmi::Op& op : gemmi::symops_from_hall(hall->c_str())) {
                texts.push_back(op.triplet());
            }
        } catch (const std::exception&) {
            texts.clear();  // a Hall symbol that gemmi cannot read gives way to the H-M symbol
        }
        const std::vector<NamedSetting> exact =
            settingsOfOperators(texts, number.value_or(named.empty() ? 0 : named.front().number));
        if (!exact.empty()) {
            const std::string source = "Hall symbol " + oneLine(*hall);
            if (Status stated = statedAllow(exact.front(), source); !stated.ok()) return stated;
            take(exact.front(), texts);
            fellBackTo(source);
            return {};
        }
    }
    if (symbol) {
        if (named.empty()) {
            const std::string stated =
                *symbol + (number ? " (" + std::to_string(*number) + ")" : "");
            return Status::failed(message(MessageId::SpaceGroupUnknown, stated.c_str()));
        }
        take(named.front(), named.front().operators);
        fellBackTo("H-M symbol " + *symbol);
        return {};
    }
    if (!numberText && !hall) {
        return Status::failed(message(MessageId::NoSpaceGroup, oneLine(block.name).c_str()));
    }
    const NamedSetting standard = standardSetting(number.value_or(0));
    if (standard.number == 0) {
        return Status::failed(message(MessageId::SpaceGroupUnknown,
                                      oneLine(numberText.value_or(hall.value_or("?"))).c_str()));
    }
    take(standard, standard.operators);
    fellBackTo(numberStated);
    return {};
}

// Items whose values the reader takes: a second value of one of these makes the file ambiguous.
bool usedItem(const std::string& lowerTag) {
    for (const char* prefix :
         {"_cell_", "_symmetry_", "_space_group", "_atom_site", "_atom_type"}) {
        if (lowerTag.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Strict CIF forbids an item twice in a block, but current AMCSD downloads repeat
// `_chemical_formula_sum ''`. A repeated item that no calculation reads keeps its first value
// with a note; one that it reads is refused, naming it. Other repetitions are left to gemmi.
Status passOverRepeatedItems(cif::Document& document, std::vector<Message>& notes) {
    std::vector<std::string> ignored;
    for (cif::Block& block : document.blocks) {
        std::vector<std::string> seen;
        for (cif::Item& item : block.items) {
            if (item.type != cif::ItemType::Pair) continue;
            const std::string tag = gemmi::to_lower(item.pair[0]);
            if (std::find(seen.begin(), seen.end(), tag) == seen.end()) {
                seen.push_back(tag);
                continue;
            }
            if (usedItem(tag)) {
                return Status::failed(message(MessageId::RepeatedItemUsed, item.pair[0].c_str(),
                                              oneLine(block.name).c_str()));
            }
            if (std::find(ignored.begin(), ignored.end(), item.pair[0]) == ignored.end())
                ignored.push_back(item.pair[0]);
            item.erase();
        }
    }
    if (!ignored.empty())
        notes.push_back(message(MessageId::RepeatedItemsIgnored, joined(ignored).c_str()));
    return {};
}

}  // namespace

Status readCifFile(std::istream& in, const std::filesystem::path& path, CrystalStructure& structure,
                   const ReaderContext& context) {
    const std::string text(std::istreambuf_iterator<char>(in), {});
    cif::Document document;
    try {
        // gemmi's read_memory without its check for repeated items, which comes after ours.
        cif::pegtl::memory_input<> in(text.data(), text.size(), path.string());
        document.source = path.string();
        cif::parse_input(document, in);
        cif::check_for_missing_values(document);
        if (Status repeated = passOverRepeatedItems(document, structure.notes); !repeated.ok())
            return repeated;
        cif::check_for_duplicates(document);
    } catch (const std::exception& error) {
        // gemmi names the file and the line.
        return Status::failed(message(MessageId::CifUnreadable, error.what()));
    }
    cif::Block* found = blockWithSites(document);
    if (found == nullptr) {
        return Status::failed(message(MessageId::NoAtomSites, path.string().c_str()));
    }
    cif::Block& block = *found;

    structure.title =
        oneLine(valueOf(block, {"_chemical_name_systematic", "_chemical_name_common",
                                "_chemical_name_mineral", "_chemical_formula_structural",
                                "_chemical_formula_sum"})
                    .value_or(block.name));

    const char* cellTags[] = {"_cell_length_a",    "_cell_length_b",   "_cell_length_c",
                              "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (int i = 0; i < 6; ++i) {
        const std::optional<std::string> value = valueOf(block, {cellTags[i]});
        if (!value) {
            return Status::failed(message(MessageId::NoUnitCell, block.name.c_str(), cellTags[i]));
        }
        const std::optional<UncertainNumber> number = readUncertainNumber(*value);
        if (!number) {
            return Status::failed(message(MessageId::BadCellNumber, value->c_str()));
        }
        structure.cell[i] = number->value;
        structure.cellSigma[i] = number->sigma;
    }

    // Operator texts are read strictly before any of them reaches gemmi's parser, which takes
    // "x<y" for "x+y" and overflows on long numbers.
    for (const std::string& text :
         valuesOf(block, {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"})) {
        std::string reason;
        if (!readOperatorText(text, reason)) {
            return Status::failed(message(MessageId::BadOperator,
                                          printableText(text, MaxOperatorTextLength).c_str(),
                                          reason.c_str()));
        }
    }
    GroupChoice choice;
    if (Status chosen = chooseGroup(block, structure.cell, choice, structure.notes); !chosen.ok()) {
        return chosen;
    }

    cif::Table sites = block.find("_atom_site_", {"label", "?type_symbol", "?fract_x", "?fract_y",
                                                  "?fract_z", "?occupancy", "?calc_flag"});
    std::map<std::string, double> oxidationNumbers;
    for (auto row : block.find("_atom_type_", {"symbol", "oxidation_number"})) {
        const std::optional<double> value =
            cif::is_null(row[1]) ? std::nullopt : readReal(cif::as_string(row[1]));
        if (value) oxidationNumbers[cif::as_string(row[0])] = *value;
    }

    std::vector<Site> read;
    std::vector<std::string> dummies;
    std::vector<std::string> renamed;
    std::vector<std::string> qualified, unknownTypes, byFormula;
    const std::map<std::string, double> counts =
        formulaCounts(valueOf(block, {"_chemical_formula_sum"}).value_or(""));
    const std::set<std::string> formula =
        formulaElements(valueOf(block, {"_chemical_formula_sum"}).value_or(""));
    std::set<std::string> labels;
    for (auto row : sites) {
        Site site;
        site.name = cif::as_string(row[0]);
        const std::string type = row.has2(1) ? cif::as_string(row[1]) : site.name;
        const bool placed = row.has2(2) || row.has2(3) || row.has2(4);
        // A row flagged "dum" holds no atom: COD writes such rows at -1, -1, -1 with an
        // occupancy that is a count.
        if ((row.has2(1) && isDummyType(type)) || !placed ||
            (row.has2(6) && cif::as_string(row[6]) == "dum")) {
            dummies.push_back(site.name);
            continue;
        }
        if (read.size() == static_cast<std::size_t>(MaxSites)) {
            return Status::failed(message(MessageId::SpeciesExceeds, MaxSites));
        }
        if (row.has2(1)) {
            const std::string element = elementOfTypeSymbol(type);
            if (element.empty() && type != site.name) {
                unknownTypes.push_back(type + " (" + site.name + ")");
            } else if (typeSymbolQualified(type)) {
                qualified.push_back(type);
            }
            site.name = labelWithElement(site.name, element);
        }
        if (const std::string element = elementConfirmedByFormula(site.name, formula);
            !element.empty()) {
            byFormula.push_back(site.name + " as " + element);
            site.name = labelWithElement(site.name, element);
        }
        // Files that label each site by its element alone repeat labels; the search and the
        // report need one name per site.
        if (!labels.insert(site.name).second) {
            std::string unique;
            for (int n = 2; unique.empty() || !labels.insert(unique).second; ++n) {
                unique = site.name + "_" + std::to_string(n);
            }
            site.name = unique;
            renamed.push_back(unique);
        }
        double* coordinates[] = {&site.x, &site.y, &site.z};
        double* sigmas[] = {&site.sx, &site.sy, &site.sz};
        for (int c = 0; c < 3; ++c) {
            if (!row.has2(2 + c)) {
                return Status::failed(
                    message(MessageId::SiteWithoutCoordinates, site.name.c_str()));
            }
            const std::string token = cif::as_string(row[2 + c]);
            const std::optional<UncertainNumber> value = readUncertainNumber(token, true);
            if (!value) {
                return Status::failed(
                    message(MessageId::BadSiteNumber, token.c_str(), site.name.c_str()));
            }
            *coordinates[c] = value->value;
            *sigmas[c] = value->sigma;
        }
        if (row.has2(5)) {
            const std::string token = cif::as_string(row[5]);
            const std::optional<UncertainNumber> occupancy = readUncertainNumber(token);
            if (!occupancy) {
                return Status::failed(
                    message(MessageId::BadSiteNumber, token.c_str(), site.name.c_str()));
            }
            site.g = occupancy->value;
        }
        const auto listed = oxidationNumbers.find(type);
        const double oxidation = listed != oxidationNumbers.end()
                                     ? listed->second
                                     : chargeOfTypeSymbol(type).value_or(0.0);
        site.charge = site.g < 1.0 ? site.g * oxidation : oxidation;
        site.valence = oxidation;
        site.dLimit = context.dMax;
        read.push_back(std::move(site));
    }
    if (read.empty()) {
        return Status::failed(message(MessageId::NoAtomSites, path.string().c_str()));
    }
    if (!dummies.empty()) {
        structure.notes.push_back(message(MessageId::DummySitesSkipped, joined(dummies).c_str()));
    }
    if (!renamed.empty()) {
        structure.notes.push_back(message(MessageId::LabelsMadeUnique, joined(renamed).c_str()));
    }
    if (!qualified.empty()) {
        std::sort(qualified.begin(), qualified.end());
        qualified.erase(std::unique(qualified.begin(), qualified.end()), qualified.end());
        structure.notes.push_back(
            message(MessageId::TypeSymbolsQualified, joined(qualified).c_str()));
    }
    if (!unknownTypes.empty()) {
        structure.notes.push_back(
            message(MessageId::TypeSymbolsNameNoElement, joined(unknownTypes).c_str()));
    }
    if (!byFormula.empty()) {
        structure.notes.push_back(
            message(MessageId::LabelsReadByFormula, joined(byFormula).c_str()));
    }

    const NamedSetting& setting = choice.setting;
    structure.sgNumber = setting.number;
    structure.sgSetting = setting.setting;
    structure.uniqueAxis = setting.uniqueAxis;
    const std::optional<std::string> symbol =
        valueOf(block, {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"});
    structure.sgName = symbol ? oneLine(*symbol) : setting.name;
    structure.sites = std::move(read);
    structure.formula = counts;
    if (const std::optional<std::string> z = valueOf(block, {"_cell_formula_units_Z"})) {
        const double units = readReal(*z).value_or(0.0);
        if (std::isfinite(units) && units > 0.0) structure.formulaUnits = units;
    }
    if (choice.ownOperators) {
        structure.symmetryOperators = std::move(choice.operators);
        // Only the rhombohedral axes of a trigonal group make a setting other than the first
        // matter to the engine.
        const auto& c = structure.cell;
        const bool rhombohedral = c[0] == c[1] && c[1] == c[2] && c[3] == c[4] && c[4] == c[5];
        structure.sgSetting =
            crystalSystemOfNumber(setting.number) == CrystalSystem::Trigonal && rhombohedral ? 2
                                                                                             : 1;
        return {};
    }
    if (setting.axes > 1) {
        if (Status transformed = transformToStandardSetting(setting.axes, structure);
            !transformed.ok()) {
            return transformed;
        }
        // The record now stands in the standard axes, and says so.
        structure.sgName = setting.standardName;
    }
    return {};
}

}  // namespace tarnell
