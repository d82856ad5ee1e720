// The images of every site under every operator, each wrapped into the cell [0, 1)³ and binned on
// a grid of that cell. The images near a point then come from the few bins around it, repeated
// over the cell translations: the expanded cell is walked, never built.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "crystal/crystal_structure.h"
#include "crystal/operator_expansion.h"

namespace tarnell {

using CellIndex = std::array<std::int64_t, 3>;

// Operator `op` of the table applied to the coordinates of `site`, as the operator leaves them.
std::array<double, 3> imageOf(const SymmetryOperator& op, const Site& site);

// One image of one site, as imageOf gives it (`raw`), and the cell that holds it, floor(raw).
struct SiteImage {
    int site = 0;
    int op = 0;
    std::array<double, 3> raw{};
    CellIndex cell{};
};

// Coordinates beyond these are no real structure's; such images stay out of the bins, whose
// indices they would overflow, and are compared directly. A point below the second bound cannot
// reach an image beyond the first, which lies more than the 10^6 cells away that the neighbour
// search ever looks.
inline constexpr double BinnedImageBound = 2e12;
inline constexpr double BinnedPointBound = 1e12;

struct ImageBins {
    CellIndex count{1, 1, 1};         // bins along each axis
    std::vector<std::size_t> start;   // the images of bin b: [start[b], start[b + 1])
    std::vector<SiteImage> images;    // grouped by bin, each bin in the order of site and operator
    std::vector<SiteImage> outliers;  // beyond BinnedImageBound or not finite, in the same order
    int operatorCount = 1;

    // The order of images within a bin: by site, then operator.
    std::int64_t keyOf(const SiteImage& image) const {
        return static_cast<std::int64_t>(image.site) * operatorCount + image.op;
    }

    // The bins along axis c, counted over the expanded cell (bin g lies in cell floor(g / count),
    // at g mod count within it), that overlap [x + low, x + high]: first and last. `x` must lie
    // below BinnedPointBound, `low` and `high` be finite.
    std::array<std::int64_t, 2> span(int c, double x, double low, double high) const;

    // How many images the bins from first[c] to last[c] along each axis c hold.
    std::size_t countInBins(const CellIndex& first, const CellIndex& last) const;

    // Calls take(image, whole) for every binned image whose key lies in [firstKey, endKey), in
    // the bins from first[c] to last[c] along each axis c, with `whole` the cell translation
    // that takes the image from raw into that bin.
    template <class Take>
    void forEachInBins(const CellIndex& first, const CellIndex& last, std::int64_t firstKey,
                       std::int64_t endKey, const Take& take) const;
};

// Bins about half as wide as `halfWidths`, the farthest any window reaches along each axis in
// fractions of the cell edge; never more bins than twice the images, so that memory stays linear
// in the structure however large the cell.
ImageBins binImages(const std::vector<Site>& sites, const OperatorTable& operators,
                    const std::array<double, 3>& halfWidths);

template <class Take>
void ImageBins::forEachInBins(const CellIndex& first, const CellIndex& last, std::int64_t firstKey,
                              std::int64_t endKey, const Take& take) const {
    const auto split = [this](int c, std::int64_t g, std::int64_t& cell) {
        cell = g / count[c];
        if (cell * count[c] > g) --cell;
        return g - cell * count[c];
    };
    CellIndex cell{};
    for (std::int64_t g0 = first[0]; g0 <= last[0]; ++g0) {
        const std::int64_t b0 = split(0, g0, cell[0]);
        for (std::int64_t g1 = first[1]; g1 <= last[1]; ++g1) {
            const std::int64_t b1 = split(1, g1, cell[1]);
            for (std::int64_t g2 = first[2]; g2 <= last[2]; ++g2) {
                const std::int64_t b2 = split(2, g2, cell[2]);
                const auto bin = static_cast<std::size_t>((b0 * count[1] + b1) * count[2] + b2);
                auto at = images.begin() + static_cast<std::ptrdiff_t>(start[bin]);
                const auto end = images.begin() + static_cast<std::ptrdiff_t>(start[bin + 1]);
                if (firstKey > 0) {
                    at = std::partition_point(
                        at, end, [&](const SiteImage& im) { return keyOf(im) < firstKey; });
                }
                for (; at != end && keyOf(*at) < endKey; ++at) {
                    take(*at, CellIndex{cell[0] - at->cell[0], cell[1] - at->cell[1],
                                        cell[2] - at->cell[2]});
                }
            }
        }
    }
}

}  // namespace tarnell
