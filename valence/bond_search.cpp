#include "valence/bond_search.h"

#include <cctype>
#include <cmath>
#include <map>
#include <tuple>

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
    // through their elements and the signs of their charges.
    const std::size_t n = sites.size();
    std::vector<std::vector<BondParameter>> pairParameters(n * n);
    std::map<std::tuple<std::string, int, std::string, int>, std::vector<BondParameter>> known;
    const auto sign = [](double q) { return (q > 0) - (q < 0); };
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const auto key = std::make_tuple(sites[i].element, sign(sites[i].charge),
                                             sites[j].element, sign(sites[j].charge));
            auto at = known.find(key);
            if (at == known.end())
                at = known.emplace(key, bondParameters(table, sites[i], sites[j])).first;
            pairParameters[i * n + j] = at->second;
        }
    }
    Status status;
    int listed = 0;
    forEachNeighbour(structure, operators, settings, [&](const Neighbour& found) {
        const auto centre = static_cast<std::size_t>(found.centre);
        const auto neighbour = static_cast<std::size_t>(found.neighbour);
        const auto& alternatives = pairParameters[centre * n + neighbour];
        const bool ions =
            oppositeSigns(formalValence(sites[centre]), formalValence(sites[neighbour]));
        if (alternatives.empty() && !ions) return true;
        if (static_cast<int>(alternatives.size()) > MaxParameterSets) {
            status = Status::failed(MessageId::TooManyParameterSets, MaxParameterSets,
                                    leadingLetters(alternatives[0].cationKey),
                                    leadingLetters(alternatives[0].anionKey));
            return false;
        }
        if (!alternatives.empty() && listed >= MaxDistanceEntries) {
            status = Status::failed(MessageId::TooManyDistanceEntries, MaxDistanceEntries);
            return false;
        }
        // Ions without a table line are kept for the summary but never listed, so the list's
        // capacity does not bound them; the memory must not grow without bound either.
        if (bonds.size() >= static_cast<std::size_t>(MaxBondsKept)) {
            status = Status::failed(MessageId::TooManyBondsKept, MaxBondsKept);
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
