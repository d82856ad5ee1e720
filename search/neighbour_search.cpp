#include "search/neighbour_search.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>
#include <vector>

#include "settings/text.h"

namespace tarnell {
namespace {

using Position = std::array<double, 3>;

// A cheap squared distance through the metric, to pass over the images that lie far outside
// the window and to compare images with each other; whatever lies near the window's edges is
// measured exactly by distanceIn.
struct Metric {
    double aa, bb, cc, bc2, ca2, ab2;

    explicit Metric(const CellGeometry& g)
        : aa(g.cell[0] * g.cell[0]),
          bb(g.cell[1] * g.cell[1]),
          cc(g.cell[2] * g.cell[2]),
          bc2(2.0 * g.cell[1] * g.cell[2] * g.cosines[0]),
          ca2(2.0 * g.cell[2] * g.cell[0] * g.cosines[1]),
          ab2(2.0 * g.cell[0] * g.cell[1] * g.cosines[2]) {}

    double squared(double u, double v, double w) const {
        return u * u * aa + v * v * bb + w * w * cc + v * w * bc2 + w * u * ca2 + u * v * ab2;
    }

    // The smallest eigenvalue of the metric tensor: no difference vector u is shorter than
    // sqrt(smallestEigenvalue()·|u|²) Å.
    double smallestEigenvalue() const {
        const double a11 = aa, a22 = bb, a33 = cc;
        const double a12 = ab2 / 2, a13 = ca2 / 2, a23 = bc2 / 2;
        const double offDiagonal = a12 * a12 + a13 * a13 + a23 * a23;
        const double q = (a11 + a22 + a33) / 3;
        const double p = std::sqrt(((a11 - q) * (a11 - q) + (a22 - q) * (a22 - q) +
                                    (a33 - q) * (a33 - q) + 2 * offDiagonal) /
                                   6);
        if (p == 0.0) return q;
        const double b11 = (a11 - q) / p, b22 = (a22 - q) / p, b33 = (a33 - q) / p;
        const double b12 = a12 / p, b13 = a13 / p, b23 = a23 / p;
        const double half = (b11 * (b22 * b33 - b23 * b23) - b12 * (b12 * b33 - b23 * b13) +
                             b13 * (b12 * b23 - b22 * b13)) /
                            2;
        const double phi = std::acos(std::clamp(half, -1.0, 1.0)) / 3;
        constexpr double TwoPiOverThree = 2.0943951023931957;
        return q + 2 * p * std::cos(phi + TwoPiOverThree);
    }
};

// The squared length of the shortest vector u + t that a translation t of the box can give, in
// fractions of the cell edges along each axis.
double nearestSquared(const Position& u, int hMin, int hMax) {
    double sum = 0;
    for (double component : u) {
        const double t = std::clamp(std::round(-component), static_cast<double>(hMin),
                                    static_cast<double>(hMax));
        sum += (component + t) * (component + t);
    }
    return sum;
}

// Far wider than any rounding difference between the two ways of computing a distance.
constexpr double PrefilterMargin = 1e-9;

Position image(const SymmetryOperator& op, const Site& site) {
    Position v{};
    for (int c = 0; c < 3; ++c) {
        v[c] = op.r[c][0] * site.x + op.r[c][1] * site.y + op.r[c][2] * site.z + op.t[c];
    }
    return v;
}

using Translation = std::array<int, 3>;
using Cell = std::array<std::int64_t, 3>;

// How far a sphere of radius r reaches along each fractional axis: r times the length of the
// reciprocal axis (one over the spacing of the (100), (010) and (001) planes). Infinite for a
// cell that has no volume, so that only the translations tried bound such a search.
std::array<double, 3> reciprocalLengths(const Metric& m) {
    const double ab = m.ab2 / 2, ca = m.ca2 / 2, bc = m.bc2 / 2;
    const double cofactors[3] = {m.bb * m.cc - bc * bc, m.cc * m.aa - ca * ca,
                                 m.aa * m.bb - ab * ab};
    const double det =
        m.aa * cofactors[0] + ab * (bc * ca - ab * m.cc) + ca * (ab * bc - m.bb * ca);
    std::array<double, 3> lengths{};
    for (int c = 0; c < 3; ++c) {
        const double squared = cofactors[c] / det;
        lengths[c] = det > 0.0 && std::isfinite(squared) && squared > 0.0
                         ? std::sqrt(squared)
                         : std::numeric_limits<double>::infinity();
    }
    return lengths;
}

std::int64_t floorDivide(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return q * b > a ? q - 1 : q;
}

// One image of one site: operator `op` applied to the site's own coordinates, as the operator
// leaves it (`raw`), and the cell it lies in, floor(raw).
struct Image {
    int site = 0;
    int op = 0;
    Position raw{};
    Cell cell{};
};

// Coordinates beyond these are no real structure's; such images and centres are kept out of the
// bins (whose indices they would overflow) and compared directly, as every image once was. A
// centre below the first bound cannot reach an image beyond the second, which lies more than
// the 1e6 cells away that the search ever looks.
constexpr double BinnedCentreBound = 1e12;
constexpr double BinnedImageBound = 2e12;

// Every image of every site, each wrapped into the cell [0, 1)³ and binned on a grid of that
// cell. A centre's neighbours then come from the few bins, repeated over the cell translations,
// that its window overlaps: the expanded cell is never built, only walked.
struct ImageBins {
    std::array<std::int64_t, 3> count{1, 1, 1};  // bins along each axis
    std::vector<std::size_t> start;              // images of bin b: [start[b], start[b + 1])
    std::vector<Image> images;                   // grouped by bin
    std::vector<Image> outliers;                 // beyond BinnedImageBound or not finite

    std::size_t binOf(const Position& raw, const Cell& cell) const {
        std::size_t bin = 0;
        for (int c = 0; c < 3; ++c) {
            const double wrapped = raw[c] - static_cast<double>(cell[c]);
            const auto index = std::clamp<std::int64_t>(
                static_cast<std::int64_t>(wrapped * static_cast<double>(count[c])), 0,
                count[c] - 1);
            bin = bin * static_cast<std::size_t>(count[c]) + static_cast<std::size_t>(index);
        }
        return bin;
    }
};

// Bins about half as wide as the farthest reach of any centre along each axis, so that a window
// overlaps about five bins along each; never more bins than twice the images, so that memory
// stays linear in the structure however large the cell.
constexpr double BinsPerReach = 2.0;

ImageBins binImages(const std::vector<Site>& sites, const OperatorTable& operators,
                    const std::array<double, 3>& halfWidths) {
    ImageBins bins;
    std::vector<Image> all;
    all.reserve(sites.size() * operators.size());
    for (std::size_t j = 0; j < sites.size(); ++j) {
        for (std::size_t k = 0; k < operators.size(); ++k) {
            Image im;
            im.site = static_cast<int>(j);
            im.op = static_cast<int>(k);
            im.raw = image(operators[k], sites[j]);
            bool inside = true;
            for (int c = 0; c < 3; ++c) {
                if (!(std::fabs(im.raw[c]) < BinnedImageBound)) {
                    inside = false;
                    break;
                }
                im.cell[c] = static_cast<std::int64_t>(std::floor(im.raw[c]));
            }
            (inside ? all : bins.outliers).push_back(im);
        }
    }

    constexpr std::int64_t MaxBinsPerAxis = 1 << 20;
    for (int c = 0; c < 3; ++c) {
        const double wanted = BinsPerReach / halfWidths[c];
        bins.count[c] =
            wanted >= 1.0
                ? static_cast<std::int64_t>(std::min(wanted, static_cast<double>(MaxBinsPerAxis)))
                : 1;
    }
    const auto total = [&] { return bins.count[0] * bins.count[1] * bins.count[2]; };
    const std::int64_t most = std::max<std::int64_t>(64, 2 * static_cast<std::int64_t>(all.size()));
    while (total() > most) {
        auto& largest = *std::max_element(bins.count.begin(), bins.count.end());
        largest = std::max<std::int64_t>(1, largest / 2);
    }

    std::vector<std::size_t> binIndex(all.size());
    bins.start.assign(static_cast<std::size_t>(total()) + 1, 0);
    for (std::size_t n = 0; n < all.size(); ++n) {
        binIndex[n] = bins.binOf(all[n].raw, all[n].cell);
        ++bins.start[binIndex[n] + 1];
    }
    for (std::size_t b = 1; b < bins.start.size(); ++b) bins.start[b] += bins.start[b - 1];
    bins.images.resize(all.size());
    std::vector<std::size_t> next(bins.start.begin(), bins.start.end() - 1);
    for (std::size_t n = 0; n < all.size(); ++n) bins.images[next[binIndex[n]]++] = all[n];
    return bins;
}

// One image within a centre's window, before it is compared with the images of its site that
// were handed over already.
struct Candidate {
    int site = 0;
    int op = 0;
    Translation whole{};
    Position position{};
    double d = 0.0;
};

// The order in which the neighbours of one centre are handed over: by site, operator and
// translation, the order in which every image was once tried.
bool comesBefore(const Candidate& x, const Candidate& y) {
    if (x.site != y.site) return x.site < y.site;
    if (x.op != y.op) return x.op < y.op;
    return x.whole < y.whole;
}

// The images of one site already handed over around one centre, to pass over any later image
// closer than SamePositionTolerance to one of them. A handful is compared one by one; a tiny cell
// under a wide window can hand over thousands, which a grid of cells twice the tolerance wide
// keeps linear: every image within the tolerance lies in one of the 27 cells around.
class KeptImages {
public:
    KeptImages(const Metric& metric, const std::array<double, 3>& reciprocal) : metric_(metric) {
        for (int c = 0; c < 3; ++c) width_[c] = 2.0 * SamePositionTolerance * reciprocal[c];
    }

    void clear(const Position& centre) {
        positions_.clear();
        heads_.clear();
        next_.clear();
        gridded_ = false;
        centre_ = centre;
    }

    bool near(const Position& p) const {
        if (!gridded_) {
            return std::any_of(positions_.begin(), positions_.end(),
                               [&](const Position& q) { return close(p, q); });
        }
        const Cell key = keyOf(p);
        for (std::int64_t d0 = -1; d0 <= 1; ++d0) {
            for (std::int64_t d1 = -1; d1 <= 1; ++d1) {
                for (std::int64_t d2 = -1; d2 <= 1; ++d2) {
                    const auto at = heads_.find({key[0] + d0, key[1] + d1, key[2] + d2});
                    if (at == heads_.end()) continue;
                    for (int n = at->second; n >= 0; n = next_[static_cast<std::size_t>(n)]) {
                        if (close(p, positions_[static_cast<std::size_t>(n)])) return true;
                    }
                }
            }
        }
        return false;
    }

    void add(const Position& p) {
        positions_.push_back(p);
        if (gridded_) {
            if (!insert(positions_.size() - 1)) gridded_ = false;
        } else if (positions_.size() == GridFrom && gridUsable()) {
            gridded_ = true;
            for (std::size_t n = 0; n < positions_.size() && gridded_; ++n) gridded_ = insert(n);
        }
    }

private:
    static constexpr std::size_t GridFrom = 32;
    // Keys of a grid cell stay exact integers well below this.
    static constexpr double MaxKey = 1e15;

    struct KeyHash {
        std::size_t operator()(const Cell& k) const {
            const auto part = [](std::int64_t v, std::uint64_t prime) {
                return static_cast<std::uint64_t>(v) * prime;
            };
            return static_cast<std::size_t>(part(k[0], 73856093u) ^ part(k[1], 19349663u) ^
                                            part(k[2], 83492791u));
        }
    };

    bool close(const Position& p, const Position& q) const {
        return metric_.squared(p[0] - q[0], p[1] - q[1], p[2] - q[2]) <
               SamePositionTolerance * SamePositionTolerance;
    }

    bool gridUsable() const {
        return std::all_of(width_.begin(), width_.end(),
                           [](double w) { return std::isfinite(w) && w > 0.0; });
    }

    // Relative to the centre, so that the keys stay small wherever the structure lies.
    Cell keyOf(const Position& p) const {
        Cell key{};
        for (int c = 0; c < 3; ++c) {
            key[c] = static_cast<std::int64_t>(std::floor((p[c] - centre_[c]) / width_[c]));
        }
        return key;
    }

    // False when a key would not be exact: the grid is then given up for plain comparison.
    bool insert(std::size_t n) {
        const Position& p = positions_[n];
        for (int c = 0; c < 3; ++c) {
            if (!(std::fabs((p[c] - centre_[c]) / width_[c]) < MaxKey)) return false;
        }
        auto [at, added] = heads_.try_emplace(keyOf(p), -1);
        next_.resize(positions_.size(), -1);
        next_[n] = at->second;
        at->second = static_cast<int>(n);
        return true;
    }

    const Metric& metric_;
    std::array<double, 3> width_{};
    Position centre_{};
    std::vector<Position> positions_;
    std::unordered_map<Cell, int, KeyHash> heads_;  // the last image added to each grid cell
    std::vector<int> next_;                         // the image added before it in its cell
    bool gridded_ = false;
};

}  // namespace

std::string symmetryCode(const NeighbourImage& image) {
    const auto& t = image.translation;
    const bool oneDigit = std::all_of(t.begin(), t.end(), [](int v) { return v >= -4 && v <= 4; });
    if (oneDigit) {
        return formatText("%2d_%d%d%d", image.operatorIndex + 1, t[0] + 5, t[1] + 5, t[2] + 5);
    }
    return formatText("%d_%d_%d_%d", image.operatorIndex + 1, t[0] + 5, t[1] + 5, t[2] + 5);
}

bool samePosition(const CellGeometry& geometry, const Position& p, const Position& q) {
    const Metric metric(geometry);
    return metric.squared(p[0] - q[0], p[1] - q[1], p[2] - q[2]) <
           SamePositionTolerance * SamePositionTolerance;
}

void forEachNeighbour(const CrystalStructure& structure, const OperatorTable& operators,
                      const Settings& settings,
                      const std::function<bool(const Neighbour&)>& visit) {
    const std::vector<Site>& sites = structure.sites;
    const int hMin = settings.hMin;
    const int hMax = settings.hMax;
    if (hMin > hMax || sites.empty() || operators.empty()) return;
    const CellGeometry geometry = makeCellGeometry(structure.cell, structure.cellSigma);
    const Metric metric(geometry);
    const double smallestEigenvalue = metric.smallestEigenvalue() * (1.0 - 1e-6);
    const std::array<double, 3> reciprocal = reciprocalLengths(metric);

    // An image counts for a centre only when it lies within the window and the translation that
    // takes it there, counted from the image brought next to the centre, is one of those tried:
    // along axis c that confines it to [hMin - 1/2, hMax + 1/2) cells around the centre. A window
    // far wider than the cell (a tiny cell, or a site's limit far beyond D-max) is thus cut to
    // the translations tried, and bins sized for it would hold every image in one.
    const double translationReach = std::max(std::fabs(hMin - 0.5), std::fabs(hMax + 0.5));
    double farthest = 0.0;
    for (const Site& site : sites) {
        if (site.dLimit > farthest) farthest = site.dLimit;  // NaN never counts
    }
    std::array<double, 3> halfWidths{};
    for (int c = 0; c < 3; ++c) {
        halfWidths[c] = std::min(farthest * reciprocal[c], translationReach);
    }
    const ImageBins bins = binImages(sites, operators, halfWidths);

    const double dMin = settings.dMin;
    const double lowest = dMin > 0.0 ? dMin * dMin * (1.0 - PrefilterMargin)
                                     : -std::numeric_limits<double>::infinity();
    // An image next to its centre is nearest to it without translation.
    const bool zeroInRange = hMin <= 0 && hMax >= 0;

    KeptImages kept(metric, reciprocal);
    std::vector<Candidate> buffer;

    for (std::size_t i = 0; i < sites.size(); ++i) {
        const Site& central = sites[i];
        const Position a{central.x, central.y, central.z};
        const Position sa{central.sx, central.sy, central.sz};
        const double dLimit = central.dLimit;
        if (!(dLimit >= 0.0)) continue;  // no distance is within a negative or NaN limit
        const double highest = dLimit * dLimit * (1.0 + PrefilterMargin);

        // Whether the image `im`, moved by `whole` cells, is a neighbour, decided exactly as
        // when every image was tried with every translation: the image is first brought next
        // to the centre, and only the translations hMin..hMax from there count.
        const auto consider = [&](const Image& im, const Cell& whole, Candidate& found) {
            const Position& raw = im.raw;
            Translation tried{};
            Position u{};
            for (int c = 0; c < 3; ++c) {
                const double difference = raw[c] + 0.5 - a[c];
                // Coordinates beyond any real cell: nothing of the image is within reach.
                if (!(std::fabs(difference) < 1e6)) return false;
                // floor(), without the library call.
                int below = static_cast<int>(difference);
                if (below > difference) --below;
                const std::int64_t t = whole[c] + below;
                if (t < hMin || t > hMax) return false;
                tried[c] = static_cast<int>(t);
                u[c] = raw[c] - a[c] - below;
            }
            if (!(smallestEigenvalue * (zeroInRange ? u[0] * u[0] + u[1] * u[1] + u[2] * u[2]
                                                    : nearestSquared(u, hMin, hMax)) <=
                  highest)) {
                return false;
            }
            const double approx = metric.squared(u[0] + tried[0], u[1] + tried[1], u[2] + tried[2]);
            if (approx > highest || approx < lowest) return false;
            for (int c = 0; c < 3; ++c) {
                found.whole[c] = static_cast<int>(whole[c]);
                found.position[c] = raw[c] + found.whole[c];
            }
            found.d = distanceIn(geometry, a, found.position);
            if (!(dMin <= found.d && found.d <= dLimit)) return false;
            found.site = im.site;
            found.op = im.op;
            return true;
        };

        // Hands every neighbour of the centre to `take`, in no particular order.
        const bool binned = std::all_of(a.begin(), a.end(),
                                        [](double x) { return std::fabs(x) < BinnedCentreBound; });
        std::array<std::int64_t, 3> first{}, last{};
        bool empty = false;
        for (int c = 0; c < 3 && binned; ++c) {
            // The window, and the translations tried, along axis c; widened by far more than
            // the rounding of coordinates this large.
            double reach = dLimit * reciprocal[c] * (1.0 + 1e-6) + 1e-9;
            if (std::isnan(reach)) reach = std::numeric_limits<double>::infinity();  // 0 · ∞
            const double lo = std::max(-reach, hMin - 0.5);
            const double hi = std::min(reach, hMax + 0.5);
            if (!(lo <= hi)) empty = true;
            const double margin = 1e-9 + 1e-14 * (std::fabs(a[c]) + std::fabs(lo) + std::fabs(hi));
            const double whole = std::floor(a[c]);
            const double rest = a[c] - whole;
            const auto n = static_cast<double>(bins.count[c]);
            const auto base = static_cast<std::int64_t>(whole) * bins.count[c];
            first[c] = base + static_cast<std::int64_t>(std::floor((rest + lo - margin) * n));
            last[c] = base + static_cast<std::int64_t>(std::floor((rest + hi + margin) * n));
        }
        const auto generate = [&](const auto& take) {
            Candidate found;
            if (!binned) {
                // Far from the bins: every image with every translation, as before.
                for (const auto* list : {&bins.images, &bins.outliers}) {
                    for (const Image& im : *list) {
                        for (int t0 = hMin; t0 <= hMax; ++t0) {
                            for (int t1 = hMin; t1 <= hMax; ++t1) {
                                for (int t2 = hMin; t2 <= hMax; ++t2) {
                                    Cell whole{};
                                    const int t[3] = {t0, t1, t2};
                                    bool reachable = true;
                                    for (int c = 0; c < 3; ++c) {
                                        const double difference = im.raw[c] + 0.5 - a[c];
                                        if (!(std::fabs(difference) < 1e6))
                                            reachable = false;
                                        else
                                            whole[c] = t[c] - static_cast<std::int64_t>(
                                                                  std::floor(difference));
                                    }
                                    if (reachable && consider(im, whole, found)) take(found);
                                }
                            }
                        }
                    }
                }
                return;
            }
            if (empty) return;
            for (std::int64_t g0 = first[0]; g0 <= last[0]; ++g0) {
                const std::int64_t cell0 = floorDivide(g0, bins.count[0]);
                const std::int64_t b0 = g0 - cell0 * bins.count[0];
                for (std::int64_t g1 = first[1]; g1 <= last[1]; ++g1) {
                    const std::int64_t cell1 = floorDivide(g1, bins.count[1]);
                    const std::int64_t b1 = g1 - cell1 * bins.count[1];
                    for (std::int64_t g2 = first[2]; g2 <= last[2]; ++g2) {
                        const std::int64_t cell2 = floorDivide(g2, bins.count[2]);
                        const std::int64_t b2 = g2 - cell2 * bins.count[2];
                        const auto bin = static_cast<std::size_t>(
                            (b0 * bins.count[1] + b1) * bins.count[2] + b2);
                        for (std::size_t n = bins.start[bin]; n < bins.start[bin + 1]; ++n) {
                            const Image& im = bins.images[n];
                            const Cell whole{cell0 - im.cell[0], cell1 - im.cell[1],
                                             cell2 - im.cell[2]};
                            if (consider(im, whole, found)) take(found);
                        }
                    }
                }
            }
        };

        // The neighbours are handed over in order, a batch at a time: each pass over the window
        // keeps the `capacity` first of those not handed over yet. One pass serves any real
        // structure; a window holding millions of images takes a few passes, with capacity
        // doubling, so that the memory stays linear in what the visitor has taken, and a visitor
        // that stops early stops the search at once.
        std::size_t capacity = 4096;
        bool resumed = false;
        Candidate after;
        int keptSite = -1;
        while (true) {
            buffer.clear();
            bool cut = false;
            Candidate cutoff;
            generate([&](const Candidate& found) {
                if (resumed && !comesBefore(after, found)) return;
                if (cut && comesBefore(cutoff, found)) return;
                buffer.push_back(found);
                if (buffer.size() >= 2 * capacity) {
                    const auto nth = buffer.begin() + static_cast<std::ptrdiff_t>(capacity - 1);
                    std::nth_element(buffer.begin(), nth, buffer.end(), comesBefore);
                    cutoff = *nth;
                    buffer.resize(capacity);
                    cut = true;
                }
            });
            std::sort(buffer.begin(), buffer.end(), comesBefore);
            if (buffer.size() > capacity) {
                buffer.resize(capacity);
                cut = true;
            }
            for (const Candidate& c : buffer) {
                if (c.site != keptSite) {
                    kept.clear(a);
                    keptSite = c.site;
                }
                if (kept.near(c.position)) continue;
                kept.add(c.position);

                Neighbour found;
                found.centre = static_cast<int>(i);
                found.neighbour = c.site;
                found.image = {c.op, c.whole};
                found.position = c.position;
                found.d = c.d;
                const Site& other = sites[static_cast<std::size_t>(c.site)];
                const Position sb{other.sx, other.sy, other.sz};
                found.sigma = distanceSigma(geometry, a, found.position, sa, sb, c.d,
                                            &operators[static_cast<std::size_t>(c.op)].r);
                if (!visit(found)) return;
            }
            if (!cut) break;
            after = buffer.back();
            resumed = true;
            capacity *= 2;
        }
    }
}

}  // namespace tarnell
