#include "frontend/structure_cif.h"

#include <cctype>
#include <cmath>
#include <gemmi/cifdoc.hpp>
#include <gemmi/symmetry.hpp>
#include <gemmi/to_cif.hpp>
#include <map>
#include <sstream>

#include "settings/text.h"

namespace tarnell {
namespace {

namespace cif = gemmi::cif;

// A value with its uncertainty in units of the last of five decimals.
std::string uncertain(double value, double sigma) {
    std::string text = formatText("%.5f", value);
    const long digits = std::lround(sigma * 1e5);
    if (digits > 0) text += formatText("(%ld)", digits);
    return text;
}

// The element at the start of a label: Mg1 gives Mg, O2a gives O.
std::string elementOf(const std::string& label) {
    if (label.empty() || !std::isupper(static_cast<unsigned char>(label[0]))) return label;
    std::string element(1, label[0]);
    if (label.size() > 1 && std::islower(static_cast<unsigned char>(label[1]))) element += label[1];
    return element;
}

// A type symbol that states a whole oxidation number the usual way (Mg2+, O2-, Na+); others
// keep the site's label, and the atom-type list gives their number.
std::string typeSymbol(const Site& site, double oxidation) {
    const double whole = std::round(oxidation);
    if (std::abs(oxidation - whole) > 1e-9) return site.name;
    std::string element = elementOf(site.name);
    if (whole == 0) return element;
    const long n = std::lround(std::abs(whole));
    return element + (n == 1 ? std::string() : std::to_string(n)) + (whole > 0 ? "+" : "-");
}

}  // namespace

std::string structureCifText(const CrystalStructure& structure) {
    cif::Document document;
    document.blocks.emplace_back("kestrin");
    cif::Block& block = document.blocks.back();

    if (!trimBlanks(structure.title).empty()) {
        block.set_pair("_chemical_name_common", cif::quote(structure.title));
    }
    const char* cellTags[] = {"_cell_length_a",    "_cell_length_b",   "_cell_length_c",
                              "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (int i = 0; i < 6; ++i) {
        block.set_pair(cellTags[i], uncertain(structure.cell[i], structure.cellSigma[i]));
    }
    block.set_pair("_space_group_name_H-M_alt",
                   cif::quote(structure.sgName.empty() ? "?" : structure.sgName));
    block.set_pair("_space_group_IT_number", std::to_string(structure.sgNumber));
    // The operators fix the setting and the origin, which a symbol alone may leave open.
    const gemmi::SpaceGroup* group =
        gemmi::find_spacegroup_by_name(structure.sgName, structure.cell[3], structure.cell[5]);
    if (group != nullptr && group->number == structure.sgNumber) {
        cif::Loop& operators = block.init_loop("_space_group_symop_", {"operation_xyz"});
        for (const gemmi::Op& op : group->operations()) {
            operators.add_row({cif::quote(op.triplet())});
        }
    }

    std::map<std::string, double> types;
    std::vector<std::string> siteTypes;
    for (const Site& site : structure.sites) {
        // The reader scales a partly occupied site's oxidation number by its occupancy.
        const double oxidation = site.g > 0 && site.g < 1.0 ? site.charge / site.g : site.charge;
        siteTypes.push_back(typeSymbol(site, oxidation));
        types.emplace(siteTypes.back(), oxidation);
    }
    cif::Loop& typeLoop = block.init_loop("_atom_type_", {"symbol", "oxidation_number"});
    for (const auto& [symbol, oxidation] : types) {
        typeLoop.add_row({cif::quote(symbol), formatText("%.5f", oxidation)});
    }
    cif::Loop& sites = block.init_loop(
        "_atom_site_", {"label", "type_symbol", "fract_x", "fract_y", "fract_z", "occupancy"});
    for (std::size_t i = 0; i < structure.sites.size(); ++i) {
        const Site& site = structure.sites[i];
        sites.add_row({cif::quote(site.name), cif::quote(siteTypes[i]), uncertain(site.x, site.sx),
                       uncertain(site.y, site.sy), uncertain(site.z, site.sz),
                       formatText("%.5f", site.g)});
    }

    std::ostringstream out;
    out << "# written by Kestrin\n";
    gemmi::cif::write_cif_to_stream(out, document, cif::Style::Aligned);
    return out.str();
}

}  // namespace tarnell
