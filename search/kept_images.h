// The images of one site already handed over around one centre, to pass over any later image
// that comes closer than SamePositionTolerance to one of them: one atom, reached twice.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "search/fractional_metric.h"
#include "search/image_bins.h"

namespace tarnell {

// Which images of one site can come within SamePositionTolerance of each other: for each
// operator k, the operators l whose image, moved by `offset` cells more than image k, may lie
// that close to it. Judged with room to spare from a lower bound on every such distance, so an
// operator without partners never comes that close to another image. Not `usable` where the
// bound cannot be trusted (a cell too small for the tolerance, or coordinates so large that
// rounding approaches it): every image must then be compared.
struct SitePartners {
    struct Partner {
        int op = 0;
        std::array<int, 3> offset{};
    };
    bool usable = false;
    std::vector<std::array<double, 3>> raw;      // the site's image under each operator
    std::vector<std::vector<Partner>> partners;  // by operator
    std::size_t most = 0;                        // the longest list of partners
};

SitePartners sitePartners(std::vector<std::array<double, 3>> raw, double smallestEigenvalue);

// One image handed over: operator `op` applied to the site, moved by `whole` cells.
struct KeptImage {
    std::array<double, 3> position{};
    int op = 0;
    std::array<int, 3> whole{};
};

// A handful of images is compared one by one. A tiny cell under a wide window can hand over
// thousands of one site; past GridFrom each new image is compared only with the images of its
// partners at their one possible translation, looked up in a bitmap of the translations tried,
// or, where partners cannot tell or are too many, with the images in the 27 cells around it of a
// grid twice the tolerance wide.
class KeptImages {
public:
    // hMin..hMax: the translations tried.
    KeptImages(const Metric& metric, const std::array<double, 3>& reciprocal, int hMin, int hMax);

    // Forgets every image; `centre` anchors the grid, so that its keys stay small.
    void clear(const std::array<double, 3>& centre);
    bool near(const KeptImage& image) const;
    void add(const KeptImage& image);
    std::size_t size() const { return kept_.size(); }

    static constexpr std::size_t GridFrom = 32;
    // Called once size() has reached GridFrom; `partners` must outlive the next clear().
    void narrow(const SitePartners& partners);

private:
    enum class Mode { OneByOne, Partners, Grid };

    struct CellHash {
        std::size_t operator()(const CellIndex& k) const;
    };
    bool close(const std::array<double, 3>& p, const std::array<double, 3>& q) const;
    bool matters(int op) const;
    CellIndex keyOf(const std::array<double, 3>& p) const;
    bool insert(std::size_t n);
    std::optional<std::size_t> bitOf(int op, const std::array<int, 3>& whole) const;

    const Metric& metric_;
    int hMin_ = 0;
    int hMax_ = 0;
    std::array<double, 3> width_{};
    std::array<double, 3> centre_{};
    Mode mode_ = Mode::OneByOne;
    const SitePartners* partners_ = nullptr;
    std::vector<KeptImage> kept_;
    // Partners: one bit for each operator and translation tried, set for the images kept, and
    // the cells that bring each operator's image next to the centre (as the search counts them).
    std::vector<std::uint64_t> bits_;
    std::vector<CellIndex> below_;
    std::vector<char> reachable_;
    std::unordered_map<CellIndex, int, CellHash> heads_;  // Grid: the last image in a grid cell
    std::vector<int> next_;                               // Grid: the one before it in its cell
};

}  // namespace tarnell
