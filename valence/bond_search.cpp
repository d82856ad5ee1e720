#include "valence/bond_search.h"

#include <cctype>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "settings/text.h"

namespace tarnell {
namespace {

// The element of an ion key such as Fe3+.
std::string leadingLetters(const std::string& key) {
    std::size_t end = 0;
    while (end < key.size() && std::isalpha(static_cast<unsigned char>(key[end]))) ++end;
    return key.substr(0, end);
}

bool oppositeSigns(double a, double b) {
    return (a > 0 && b < 0) || (a < 0 && b > 0);
}

}  // namespace

std::vector<BondParameter> bondParameters(const ParameterTable& table, const Site& centre,
                                          const Site& neighbour) {
    const double q1 = centre.charge;
    const double q2 = neighbour.charge;
    if ((q1 > 0 && q2 > 0) || (q1 < 0 && q2 < 0)) return {};
    const std::string& el1 = centre.element;
    const std::string& el2 = neighbour.element;
    if (el1.empty() || el2.empty()) return {};
    const bool forward = hasBondParameters(table, el1, el2);
    const bool backward = hasBondParameters(table, el2, el1);
    bool centreFirst = forward;
    if (forward && backward) centreFirst = !(q2 > 0 || q1 < 0);
    if (centreFirst) return lookupBondParameters(table, el1, el2);
    if (backward) return lookupBondParameters(table, el2, el1);
    return {};
}

Status findBonds(const CrystalStructure& structure, const OperatorTable& operators,
                 const Settings& settings, const ParameterTable& table, std::vector<Bond>& bonds) {
    bonds.clear();
    const std::vector<Site>& sites = structure.sites;

    // The bond rule depends on the two sites only, not on the image, and on the sites only
    // through their elements and the signs of their charges: one table over those kinds, not
    // over pairs of sites, so that a supercell of thousands of sites costs what its cell does.
    const std::size_t n = sites.size();
    const auto sign = [](double q) { return (q > 0) - (q < 0); };
    std::map<std::pair<std::string, int>, std::size_t> kinds;
    std::vector<std::size_t> kindOf(n);
    std::vector<std::size_t> example;  // a site of each kind
    for (std::size_t i = 0; i < n; ++i) {
        const auto [at, added] =
            kinds.emplace(std::make_pair(sites[i].element, sign(sites[i].charge)), kinds.size());
        if (added) example.push_back(i);
        kindOf[i] = at->second;
    }
    // The table's lines between the structure's own elements, in file order, picked once: the
    // pairs of kinds then search a few lines instead of the whole table three times each.
    std::set<std::string> elements;
    for (const Site& site : sites) elements.insert(site.element);
    ParameterTable own;
    for (const ParameterLine& line : table.lines) {
        if (elements.count(line.cation) && elements.count(line.anion)) own.lines.push_back(line);
    }
    const std::size_t kindCount = kinds.size();
    std::vector<std::vector<BondParameter>> kindParameters(kindCount * kindCount);
    for (std::size_t a = 0; a < kindCount; ++a) {
        for (std::size_t b = 0; b < kindCount; ++b) {
            kindParameters[a * kindCount + b] =
                bondParameters(own, sites[example[a]], sites[example[b]]);
        }
    }
    Status status;
    int listed = 0;
    const int entryLimit = maxDistanceEntries(n);
    const int keptLimit = maxBondsKept(n);
    forEachNeighbour(structure, operators, settings, [&](const Neighbour& found) {
        const auto centre = static_cast<std::size_t>(found.centre);
        const auto neighbour = static_cast<std::size_t>(found.neighbour);
        const auto& alternatives = kindParameters[kindOf[centre] * kindCount + kindOf[neighbour]];
        const bool ions =
            oppositeSigns(formalValence(sites[centre]), formalValence(sites[neighbour]));
        if (alternatives.empty() && !ions) return true;
        if (static_cast<int>(alternatives.size()) > MaxParameterSets) {
            status = Status::failed(MessageId::TooManyParameterSets, MaxParameterSets,
                                    leadingLetters(alternatives[0].cationKey),
                                    leadingLetters(alternatives[0].anionKey));
            return false;
        }
        if (!alternatives.empty() && listed >= entryLimit) {
            status = Status::failed(MessageId::TooManyDistanceEntries, entryLimit);
            return false;
        }
        // Ions without a table line are kept for the summary but never listed, so the list's
        // capacity does not bound them; the memory must not grow without bound either.
        if (bonds.size() >= static_cast<std::size_t>(keptLimit)) {
            status = Status::failed(MessageId::TooManyBondsKept, keptLimit);
            return false;
        }
        Bond bond;
        bond.centre = found.centre;
        bond.neighbour = found.neighbour;
        bond.image = found.image;
        bond.position = found.position;
        bond.d = found.d;
        bond.sigma = found.sigma;
        if (!alternatives.empty()) {
            bond.number = ++listed;
            bond.alternatives = alternatives;
            const double g = sites[neighbour].g;
            for (const BondParameter& p : alternatives) {
                bond.s.push_back(g * std::exp((p.r0 - found.d) / settings.bvB));
            }
        }
        bonds.push_back(std::move(bond));
        return true;
    });
    return status;
}

}  // namespace tarnell
