#include "search/kept_images.h"

#include <algorithm>
#include <cmath>

#include "search/neighbour_search.h"

namespace tarnell {
namespace {

constexpr double Tolerance2 = SamePositionTolerance * SamePositionTolerance;
// Coordinates up to this size leave a rounding error far below the tolerance.
constexpr double TrustedCoordinate = 1e6;
// Keys of a grid cell stay exact integers well below this.
constexpr double MaxKey = 1e15;
// Past this many partners of one operator the grid compares fewer images.
constexpr std::size_t MostPartners = 27;
// The largest bitmap of the images kept, in bits: 4 MB.
constexpr std::size_t MaxBits = std::size_t{1} << 25;

std::uint64_t mix(std::int64_t v, std::uint64_t prime) {
    return static_cast<std::uint64_t>(v) * prime;
}

}  // namespace

SitePartners sitePartners(std::vector<std::array<double, 3>> raw, double smallestEigenvalue) {
    SitePartners site;
    site.raw = std::move(raw);
    // Two images that close differ by less than a third of a cell along every axis, so only
    // one translation of the partner can reach.
    site.usable = smallestEigenvalue > 9.0 * Tolerance2 &&
                  std::all_of(site.raw.begin(), site.raw.end(), [](const std::array<double, 3>& p) {
                      return std::all_of(p.begin(), p.end(),
                                         [](double x) { return std::fabs(x) < TrustedCoordinate; });
                  });
    if (!site.usable) return site;
    site.partners.resize(site.raw.size());
    // Half as far again as the tolerance: room for every rounding of the coordinates.
    const double bound = 2.25 * Tolerance2;
    for (std::size_t k = 0; k < site.raw.size(); ++k) {
        for (std::size_t l = k + 1; l < site.raw.size(); ++l) {
            // No translation brings the difference closer to 0 than its distance to the nearest
            // integers along each axis.
            double sum = 0;
            std::array<int, 3> offset{};
            for (int c = 0; c < 3; ++c) {
                const double u = site.raw[k][c] - site.raw[l][c];
                const double nearest = std::round(u);
                sum += (u - nearest) * (u - nearest);
                offset[c] = static_cast<int>(nearest);
            }
            if (smallestEigenvalue * sum > bound) continue;
            site.partners[k].push_back({static_cast<int>(l), offset});
            site.partners[l].push_back({static_cast<int>(k), {-offset[0], -offset[1], -offset[2]}});
        }
    }
    for (const auto& list : site.partners) site.most = std::max(site.most, list.size());
    return site;
}

KeptImages::KeptImages(const Metric& metric, const std::array<double, 3>& reciprocal, int hMin,
                       int hMax)
    : metric_(metric), hMin_(hMin), hMax_(hMax) {
    for (int c = 0; c < 3; ++c) width_[c] = 2.0 * SamePositionTolerance * reciprocal[c];
}

void KeptImages::clear(const std::array<double, 3>& centre) {
    kept_.clear();
    bits_.clear();
    heads_.clear();
    next_.clear();
    mode_ = Mode::OneByOne;
    partners_ = nullptr;
    centre_ = centre;
}

bool KeptImages::matters(int op) const {
    return partners_ == nullptr || !partners_->partners[static_cast<std::size_t>(op)].empty();
}

bool KeptImages::near(const KeptImage& image) const {
    const std::array<double, 3>& p = image.position;
    switch (mode_) {
        case Mode::OneByOne:
            return std::any_of(kept_.begin(), kept_.end(),
                               [&](const KeptImage& q) { return close(p, q.position); });
        case Mode::Partners:
            for (const SitePartners::Partner& partner :
                 partners_->partners[static_cast<std::size_t>(image.op)]) {
                std::array<int, 3> whole = image.whole;
                for (int c = 0; c < 3; ++c) whole[c] += partner.offset[c];
                const auto bit = bitOf(partner.op, whole);
                if (!bit || (bits_[*bit / 64] >> (*bit % 64) & 1) == 0) continue;
                const auto& raw = partners_->raw[static_cast<std::size_t>(partner.op)];
                const std::array<double, 3> q{raw[0] + whole[0], raw[1] + whole[1],
                                              raw[2] + whole[2]};
                if (close(p, q)) return true;
            }
            return false;
        case Mode::Grid:
            if (!matters(image.op)) return false;
            break;
    }
    const CellIndex key = keyOf(p);
    for (std::int64_t d0 = -1; d0 <= 1; ++d0) {
        for (std::int64_t d1 = -1; d1 <= 1; ++d1) {
            for (std::int64_t d2 = -1; d2 <= 1; ++d2) {
                const auto at = heads_.find({key[0] + d0, key[1] + d1, key[2] + d2});
                if (at == heads_.end()) continue;
                for (int n = at->second; n >= 0; n = next_[static_cast<std::size_t>(n)]) {
                    if (close(p, kept_[static_cast<std::size_t>(n)].position)) return true;
                }
            }
        }
    }
    return false;
}

void KeptImages::add(const KeptImage& image) {
    switch (mode_) {
        case Mode::OneByOne:
            kept_.push_back(image);
            break;
        case Mode::Partners:
            if (const auto bit = bitOf(image.op, image.whole); bit && matters(image.op)) {
                bits_[*bit / 64] |= std::uint64_t{1} << (*bit % 64);
            }
            break;
        case Mode::Grid:
            if (!matters(image.op)) break;
            kept_.push_back(image);
            if (!insert(kept_.size() - 1)) mode_ = Mode::OneByOne;
            break;
    }
}

void KeptImages::narrow(const SitePartners& partners) {
    if (partners.usable) partners_ = &partners;
    const std::size_t ops = partners.raw.size();
    const auto n = static_cast<std::size_t>(hMax_ - hMin_ + 1);
    if (partners.usable && partners.most <= MostPartners && ops * n * n * n <= MaxBits) {
        mode_ = Mode::Partners;
        below_.assign(ops, {});
        reachable_.assign(ops, 1);
        for (std::size_t k = 0; k < ops; ++k) {
            for (int c = 0; c < 3; ++c) {
                const double difference = partners.raw[k][c] + 0.5 - centre_[c];
                if (!(std::fabs(difference) < 1e6)) reachable_[k] = 0;
                if (reachable_[k]) below_[k][c] = static_cast<std::int64_t>(std::floor(difference));
            }
        }
        bits_.assign((ops * n * n * n + 63) / 64, 0);
        std::vector<KeptImage> kept;
        kept.swap(kept_);
        for (const KeptImage& image : kept) add(image);
        return;
    }
    const bool gridded = std::all_of(width_.begin(), width_.end(),
                                     [](double w) { return std::isfinite(w) && w > 0.0; });
    if (!gridded) return;
    mode_ = Mode::Grid;
    for (std::size_t k = 0; k < kept_.size() && mode_ == Mode::Grid; ++k) {
        if (!insert(k)) mode_ = Mode::OneByOne;
    }
}

// The bit of the image of operator `op` moved by `whole` cells: none for an image the search
// never tries, whose translation from next to the centre lies outside those tried.
std::optional<std::size_t> KeptImages::bitOf(int op, const std::array<int, 3>& whole) const {
    const auto k = static_cast<std::size_t>(op);
    if (!reachable_[k]) return std::nullopt;
    const auto n = static_cast<std::size_t>(hMax_ - hMin_ + 1);
    std::size_t bit = k;
    for (int c = 0; c < 3; ++c) {
        const std::int64_t t = whole[c] + below_[k][c];
        if (t < hMin_ || t > hMax_) return std::nullopt;
        bit = bit * n + static_cast<std::size_t>(t - hMin_);
    }
    return bit;
}

std::size_t KeptImages::CellHash::operator()(const CellIndex& k) const {
    return static_cast<std::size_t>(mix(k[0], 73856093u) ^ mix(k[1], 19349663u) ^
                                    mix(k[2], 83492791u));
}

bool KeptImages::close(const std::array<double, 3>& p, const std::array<double, 3>& q) const {
    return metric_.squared(p[0] - q[0], p[1] - q[1], p[2] - q[2]) < Tolerance2;
}

CellIndex KeptImages::keyOf(const std::array<double, 3>& p) const {
    CellIndex key{};
    for (int c = 0; c < 3; ++c) {
        key[c] = static_cast<std::int64_t>(std::floor((p[c] - centre_[c]) / width_[c]));
    }
    return key;
}

// False where a key would not be exact: the images are then compared one by one.
bool KeptImages::insert(std::size_t n) {
    const std::array<double, 3>& p = kept_[n].position;
    for (int c = 0; c < 3; ++c) {
        if (!(std::fabs((p[c] - centre_[c]) / width_[c]) < MaxKey)) return false;
    }
    auto [at, added] = heads_.try_emplace(keyOf(p), -1);
    next_.resize(kept_.size(), -1);
    next_[n] = at->second;
    at->second = static_cast<int>(n);
    return true;
}

}  // namespace tarnell
