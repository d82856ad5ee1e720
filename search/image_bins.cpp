#include "search/image_bins.h"

#include <algorithm>
#include <cmath>

namespace tarnell {

std::array<double, 3> imageOf(const SymmetryOperator& op, const Site& site) {
    return applyOperator(op, {site.x, site.y, site.z});
}

std::array<std::int64_t, 2> ImageBins::span(int c, double x, double low, double high) const {
    // Wider by far more than the rounding of the coordinates, which grows with their size.
    const double margin = 1e-9 + 1e-14 * (std::fabs(x) + std::fabs(low) + std::fabs(high));
    const double whole = std::floor(x);
    const double rest = x - whole;
    const auto n = static_cast<double>(count[c]);
    const std::int64_t base = static_cast<std::int64_t>(whole) * count[c];
    return {base + static_cast<std::int64_t>(std::floor((rest + low - margin) * n)),
            base + static_cast<std::int64_t>(std::floor((rest + high + margin) * n))};
}

std::size_t ImageBins::countInBins(const CellIndex& first, const CellIndex& last) const {
    const auto wrap = [this](int c, std::int64_t g) {
        return ((g % count[c]) + count[c]) % count[c];
    };
    std::size_t total = 0;
    for (std::int64_t g0 = first[0]; g0 <= last[0]; ++g0) {
        for (std::int64_t g1 = first[1]; g1 <= last[1]; ++g1) {
            const std::int64_t row = wrap(0, g0) * count[1] + wrap(1, g1);
            for (std::int64_t g2 = first[2]; g2 <= last[2]; ++g2) {
                const auto bin = static_cast<std::size_t>(row * count[2] + wrap(2, g2));
                total += start[bin + 1] - start[bin];
            }
        }
    }
    return total;
}

namespace {

// Bins about half a window wide: a window then overlaps about five along each axis.
constexpr double BinsPerReach = 2.0;
constexpr std::int64_t MaxBinsPerAxis = 1 << 20;

std::size_t binOf(const ImageBins& bins, const SiteImage& image) {
    std::size_t bin = 0;
    for (int c = 0; c < 3; ++c) {
        // In [0, 1], 1 only by rounding a tiny negative coordinate: the last bin.
        const double wrapped = image.raw[c] - static_cast<double>(image.cell[c]);
        const auto index = std::clamp<std::int64_t>(
            static_cast<std::int64_t>(wrapped * static_cast<double>(bins.count[c])), 0,
            bins.count[c] - 1);
        bin = bin * static_cast<std::size_t>(bins.count[c]) + static_cast<std::size_t>(index);
    }
    return bin;
}

}  // namespace

ImageBins binImages(const std::vector<Site>& sites, const OperatorTable& operators,
                    const std::array<double, 3>& halfWidths) {
    ImageBins bins;
    bins.operatorCount = static_cast<int>(operators.size());
    std::vector<SiteImage> all;
    all.reserve(sites.size() * operators.size());
    for (std::size_t j = 0; j < sites.size(); ++j) {
        for (std::size_t k = 0; k < operators.size(); ++k) {
            SiteImage image;
            image.site = static_cast<int>(j);
            image.op = static_cast<int>(k);
            image.raw = imageOf(operators[k], sites[j]);
            const bool inside = std::all_of(image.raw.begin(), image.raw.end(), [](double x) {
                return std::fabs(x) < BinnedImageBound;
            });
            if (!inside) {
                bins.outliers.push_back(image);
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                image.cell[c] = static_cast<std::int64_t>(std::floor(image.raw[c]));
            }
            all.push_back(image);
        }
    }

    for (int c = 0; c < 3; ++c) {
        // One more than the window's width asks for: a window of one and a half cells each way
        // then overlaps 7 half cells, not 4 whole ones.
        const double wanted = BinsPerReach / halfWidths[c] + 1.0;  // NaN: unbounded window
        bins.count[c] =
            wanted >= 1.0
                ? static_cast<std::int64_t>(std::min(wanted, static_cast<double>(MaxBinsPerAxis)))
                : 1;
    }
    const auto total = [&bins] { return bins.count[0] * bins.count[1] * bins.count[2]; };
    const std::int64_t most = std::max<std::int64_t>(64, 2 * static_cast<std::int64_t>(all.size()));
    while (total() > most) {
        std::int64_t& largest = *std::max_element(bins.count.begin(), bins.count.end());
        largest = std::max<std::int64_t>(1, largest / 2);
    }

    // A counting sort by bin, which keeps the order of site and operator within each bin.
    std::vector<std::size_t> binIndex(all.size());
    bins.start.assign(static_cast<std::size_t>(total()) + 1, 0);
    for (std::size_t n = 0; n < all.size(); ++n) {
        binIndex[n] = binOf(bins, all[n]);
        ++bins.start[binIndex[n] + 1];
    }
    for (std::size_t b = 1; b < bins.start.size(); ++b) bins.start[b] += bins.start[b - 1];
    bins.images.resize(all.size());
    std::vector<std::size_t> next(bins.start.begin(), bins.start.end() - 1);
    for (std::size_t n = 0; n < all.size(); ++n) bins.images[next[binIndex[n]]++] = all[n];
    return bins;
}

}  // namespace tarnell
