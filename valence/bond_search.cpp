#include "valence/bond_search.h"

#include <cctype>
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

}  // namespace

std::vector<BondParameter> bondParameters(const ParameterTable& table, const Site& centre,
                                          const Site& neighbour) {
    const double q1 = centre.charge;
    const double q2 = neighbour.charge;
    if ((q1 > 0 && q2 > 0) || (q1 < 0 && q2 < 0)) return {};
    const std::string el1 = elementSymbol(centre.name);
    const std::string el2 = elementSymbol(neighbour.name);
    const bool forward = hasBondParameters(table, el1, el2);
    const bool backward = hasBondParameters(table, el2, el1);
    bool centreFirst = forward;
    if (forward && backward) centreFirst = !(q2 > 0 || q1 < 0);
    if (centreFirst) return lookupBondParameters(table, el1, el2);
    if (backward) return lookupBondParameters(table, el2, el1);
    return {};
}

Status searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                       const Settings& settings, const std::filesystem::path& bvTable,
                       const DistanceListFiles& files, int& entryCount,
                       std::vector<IonContact>* contacts) {
    entryCount = 0;
    ParameterTable wholeTable;
    if (Status step = loadParameterTable(bvTable, wholeTable); !step.ok()) return step;
    // The distance list and its sums use the one b of the settings.
    return searchDistances(structure, operators, settings, linesWithB(wholeTable, settings.bvB),
                           files, entryCount, contacts);
}

Status searchDistances(const CrystalStructure& structure, const OperatorTable& operators,
                       const Settings& settings, const ParameterTable& table,
                       const DistanceListFiles& files, int& entryCount,
                       std::vector<IonContact>* contacts) {
    entryCount = 0;

    // The sums give each site the entries that carry its label: two sites with one label would
    // take each other's bonds.
    const std::vector<Site>& sites = structure.sites;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        for (std::size_t j = i + 1; j < sites.size(); ++j) {
            if (sites[i].name == sites[j].name) {
                return Status::failed(
                    formatText("  Error !!!   Species name %s is used by two sites.\n",
                               sites[i].name.c_str()));
            }
        }
    }

    DistanceListWriter writer(files);
    if (!writer.opened()) {
        return Status::failed("  Error !!!   The distance list files cannot be created.\n");
    }

    // The bond rule depends on the two sites only, not on the image, and on the sites only
    // through their elements and the signs of their charges.
    const std::size_t n = sites.size();
    std::vector<std::vector<BondParameter>> pairParameters(n * n);
    std::map<std::tuple<std::string, int, std::string, int>, std::vector<BondParameter>> known;
    const auto sign = [](double q) { return (q > 0) - (q < 0); };
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            const auto key = std::make_tuple(elementSymbol(sites[i].name), sign(sites[i].charge),
                                             elementSymbol(sites[j].name), sign(sites[j].charge));
            auto at = known.find(key);
            if (at == known.end())
                at = known.emplace(key, bondParameters(table, sites[i], sites[j])).first;
            pairParameters[i * n + j] = at->second;
        }
    }
    if (contacts != nullptr) contacts->clear();
    Status status;
    forEachNeighbour(structure, operators, settings, [&](const Neighbour& found) {
        if (contacts != nullptr) {
            const double v1 = formalValence(sites[static_cast<std::size_t>(found.centre)]);
            const double v2 = formalValence(sites[static_cast<std::size_t>(found.neighbour)]);
            if ((v1 > 0 && v2 < 0) || (v1 < 0 && v2 > 0)) {
                contacts->push_back(
                    {found.centre, found.neighbour, found.position, found.d, found.sigma});
            }
        }
        const auto& alternatives = pairParameters[static_cast<std::size_t>(found.centre) * n +
                                                  static_cast<std::size_t>(found.neighbour)];
        if (alternatives.empty()) return true;
        if (static_cast<int>(alternatives.size()) > MaxParameterSets) {
            status = Status::failed(
                formatText("  Error !!!   More than %d parameter sets for %s - %s.\n",
                           MaxParameterSets, leadingLetters(alternatives[0].cationKey).c_str(),
                           leadingLetters(alternatives[0].anionKey).c_str()));
            return false;
        }
        if (writer.count() >= MaxDistanceEntries) {
            status = Status::failed(formatText(
                "  Error !!!   Number of distance entry more than %d.\n", MaxDistanceEntries));
            return false;
        }
        const Site& centre = sites[static_cast<std::size_t>(found.centre)];
        DistanceEntry entry;
        entry.centre = centre.name;
        entry.centrePosition = {centre.x, centre.y, centre.z};
        entry.neighbour = sites[static_cast<std::size_t>(found.neighbour)].name;
        entry.code = symmetryCode(found.image);
        entry.neighbourPosition = found.position;
        entry.d = found.d;
        entry.sigma = found.sigma;
        entry.alternatives = alternatives;
        writer.write(std::move(entry));
        return true;
    });
    if (!status.ok()) return status;
    if (!writer.finish()) {
        return Status::failed("  Error !!!   The distance list files cannot be written.\n");
    }
    entryCount = writer.count();
    return {};
}

}  // namespace tarnell
