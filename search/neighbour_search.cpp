#include "search/neighbour_search.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "search/fractional_metric.h"
#include "search/image_bins.h"
#include "search/kept_images.h"
#include "settings/text.h"

namespace tarnell {
namespace {

using Position = std::array<double, 3>;
using Translation = std::array<int, 3>;

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
// translation, the order in which every image was once tried with every translation.
bool comesBefore(const Candidate& x, const Candidate& y) {
    if (x.site != y.site) return x.site < y.site;
    if (x.op != y.op) return x.op < y.op;
    return x.whole < y.whole;
}

// The neighbours of one centre are sorted in batches of at most this many, so that a window
// holding millions of images never holds them all at once. (A batch holds more only where one
// image has more translations within the window: at most those tried.)
constexpr std::size_t BatchSize = 1 << 16;

}  // namespace

std::string symmetryCode(const NeighbourImage& image) {
    // "%2d_%d%d%d", or "%d_%d_%d_%d" where a translation needs two digits, written directly:
    // formatting every code through snprintf took a twentieth of a batch.
    const auto& t = image.translation;
    const bool oneDigit = std::all_of(t.begin(), t.end(), [](int v) { return v >= -4 && v <= 4; });
    const int number = image.operatorIndex + 1;
    char buffer[64];
    char* at = buffer;
    char* const end = buffer + sizeof buffer;
    if (oneDigit && number >= 0 && number <= 9) *at++ = ' ';
    at = std::to_chars(at, end, number).ptr;
    *at++ = '_';
    for (std::size_t i = 0; i < 3; ++i) {
        if (!oneDigit && i > 0) *at++ = '_';
        at = std::to_chars(at, end, t[i] + 5).ptr;
    }
    return std::string(buffer, at);
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
    const std::array<double, 3> reciprocal = metric.reciprocalLengths();

    // An image counts for a centre only when it lies within the window and the translation that
    // takes it there, counted from the image brought next to the centre, is one of those tried:
    // along each axis that confines it to hMin - 1/2 .. hMax + 1/2 cells from the centre. A
    // window far wider than the cell (a tiny cell, or a site's limit far beyond D-max) is thus
    // cut to the translations tried, both for sizing the bins and for each centre's walk.
    const double translationReach = std::max(std::fabs(hMin - 0.5), std::fabs(hMax + 0.5));
    double farthest = 0.0;
    for (const Site& site : sites) farthest = std::max(farthest, site.dLimit);  // NaN never counts
    std::array<double, 3> halfWidths{};
    for (int c = 0; c < 3; ++c)
        halfWidths[c] = std::min(farthest * reciprocal[c], translationReach);
    const ImageBins bins = binImages(sites, operators, halfWidths);

    const double dMin = settings.dMin;
    const double lowest = dMin > 0.0 ? dMin * dMin * (1.0 - PrefilterMargin)
                                     : -std::numeric_limits<double>::infinity();
    // An image next to its centre is nearest to it without translation.
    const bool zeroInRange = hMin <= 0 && hMax >= 0;

    // How many neighbours each image (site and operator) has around the current centre.
    const auto keyCount = static_cast<std::int64_t>(sites.size() * operators.size());
    std::vector<int> counts(static_cast<std::size_t>(keyCount), 0);
    std::vector<std::int64_t> counted;
    std::vector<std::optional<SitePartners>> partners(sites.size());  // made when first needed
    // For a centre so far out that rounding approaches the tolerance: compare every image.
    const SitePartners untrusted;
    KeptImages kept(metric, reciprocal, hMin, hMax);
    std::vector<Candidate> buffer;
    std::vector<Candidate> sorted;
    std::vector<std::array<std::int64_t, 2>> batches;

    for (std::size_t i = 0; i < sites.size(); ++i) {
        const Site& central = sites[i];
        const Position a{central.x, central.y, central.z};
        const Position sa{central.sx, central.sy, central.sz};
        const double dLimit = central.dLimit;
        if (!(dLimit >= 0.0)) continue;  // no distance lies within a negative or NaN limit
        const double highest = dLimit * dLimit * (1.0 + PrefilterMargin);

        // Whether the image, moved by `whole` cells, is a neighbour, decided exactly as when
        // every image was tried with every translation: the image is first brought next to the
        // centre, and only the translations hMin..hMax from there count.
        const auto consider = [&](const SiteImage& im, const CellIndex& whole, Candidate& found) {
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

        // The bins that the window and the translations tried overlap along each axis.
        const bool binned = std::all_of(a.begin(), a.end(),
                                        [](double x) { return std::fabs(x) < BinnedPointBound; });
        CellIndex first{}, last{};
        bool empty = false;
        for (int c = 0; c < 3 && binned; ++c) {
            double reach = dLimit * reciprocal[c] * (1.0 + 1e-6) + 1e-9;
            if (std::isnan(reach)) reach = std::numeric_limits<double>::infinity();  // 0 · inf
            const double low = std::max(-reach, hMin - 0.5);
            const double high = std::min(reach, hMax + 0.5);
            if (!(low <= high)) {
                empty = true;
                break;
            }
            const auto span = bins.span(c, a[c], low, high);
            first[c] = span[0];
            last[c] = span[1];
        }

        // Hands every neighbour of the images with keys in [firstKey, endKey) to `take`, in no
        // particular order.
        const auto generate = [&](std::int64_t firstKey, std::int64_t endKey, const auto& take) {
            Candidate found;
            const auto offer = [&](const SiteImage& im, const CellIndex& whole) {
                if (consider(im, whole, found)) take(found);
            };
            if (binned) {
                if (!empty) bins.forEachInBins(first, last, firstKey, endKey, offer);
                return;
            }
            // A centre far beyond any real cell: every image with every translation.
            for (const auto* list : {&bins.images, &bins.outliers}) {
                for (const SiteImage& im : *list) {
                    const std::int64_t key = bins.keyOf(im);
                    if (key < firstKey || key >= endKey) continue;
                    CellIndex below{};
                    bool reachable = true;
                    for (int c = 0; c < 3 && reachable; ++c) {
                        const double difference = im.raw[c] + 0.5 - a[c];
                        reachable = std::fabs(difference) < 1e6;
                        if (reachable) below[c] = static_cast<std::int64_t>(std::floor(difference));
                    }
                    if (!reachable) continue;
                    for (int t0 = hMin; t0 <= hMax; ++t0) {
                        for (int t1 = hMin; t1 <= hMax; ++t1) {
                            for (int t2 = hMin; t2 <= hMax; ++t2) {
                                offer(im, {t0 - below[0], t1 - below[1], t2 - below[2]});
                            }
                        }
                    }
                }
            }
        };

        // Hands one neighbour over unless an image of its site handed over already lies at its
        // position.
        int keptSite = -1;
        const bool trustedCentre =
            std::all_of(a.begin(), a.end(), [](double x) { return std::fabs(x) < 1e6; });
        const auto handOver = [&](const Candidate& c) {
            if (c.site != keptSite) {
                kept.clear(a);
                keptSite = c.site;
            }
            const KeptImage image{c.position, c.op, c.whole};
            if (kept.near(image)) return true;
            kept.add(image);
            if (kept.size() == KeptImages::GridFrom) {
                auto& site = partners[static_cast<std::size_t>(c.site)];
                if (!site) {
                    std::vector<Position> raw;
                    for (const SymmetryOperator& op : operators) {
                        raw.push_back(imageOf(op, sites[static_cast<std::size_t>(c.site)]));
                    }
                    site = sitePartners(std::move(raw), smallestEigenvalue);
                }
                kept.narrow(trustedCentre ? *site : untrusted);
            }
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
            return visit(found);
        };
        const auto keyOf = [&](const Candidate& c) {
            return static_cast<std::int64_t>(c.site) * bins.operatorCount + c.op;
        };

        // The images that the walk will try: all in one batch for any real structure. A window
        // holding more is walked once per batch of images (by site and operator) that together
        // can give at most BatchSize neighbours, so that memory stays bounded by what one batch
        // holds however many neighbours the window has.
        const auto tally = [&](const SiteImage& im, std::size_t tries) {
            const auto key = static_cast<std::size_t>(bins.keyOf(im));
            if (counts[key] == 0) counted.push_back(static_cast<std::int64_t>(key));
            counts[key] += static_cast<int>(tries);
        };
        std::size_t tries = 0;
        const auto cells = static_cast<std::size_t>(hMax - hMin + 1);
        if (binned && !empty) {
            tries = bins.countInBins(first, last);
        } else if (!binned) {
            tries = (bins.images.size() + bins.outliers.size()) * cells * cells * cells;
        }
        batches.clear();
        if (tries <= BatchSize) {
            batches.push_back({0, keyCount});
        } else {
            if (binned) {
                bins.forEachInBins(first, last, 0, keyCount,
                                   [&](const SiteImage& im, const CellIndex&) { tally(im, 1); });
            } else {
                for (const auto* list : {&bins.images, &bins.outliers}) {
                    for (const SiteImage& im : *list) tally(im, cells * cells * cells);
                }
            }
            std::sort(counted.begin(), counted.end());
            std::size_t inBatch = 0;
            for (const std::int64_t key : counted) {
                const auto count = static_cast<std::size_t>(counts[static_cast<std::size_t>(key)]);
                if (batches.empty() || inBatch + count > BatchSize) {
                    batches.push_back({key, key + 1});
                    inBatch = 0;
                }
                batches.back()[1] = key + 1;
                inBatch += count;
                counts[static_cast<std::size_t>(key)] = 0;
            }
            counted.clear();
        }

        for (const auto& [firstKey, endKey] : batches) {
            buffer.clear();
            generate(firstKey, endKey, [&](const Candidate& found) {
                const auto key = static_cast<std::size_t>(keyOf(found));
                if (counts[key]++ == 0) counted.push_back(static_cast<std::int64_t>(key));
                buffer.push_back(found);
            });
            // Sorted by site and operator through their counts; the few translations of one
            // image then by comparison.
            std::sort(counted.begin(), counted.end());
            int at = 0;
            for (const std::int64_t key : counted) {
                const int count = counts[static_cast<std::size_t>(key)];
                counts[static_cast<std::size_t>(key)] = at;
                at += count;
            }
            sorted.resize(buffer.size());
            for (const Candidate& c : buffer) {
                sorted[static_cast<std::size_t>(counts[static_cast<std::size_t>(keyOf(c))]++)] = c;
            }
            auto begin = sorted.begin();
            for (const std::int64_t key : counted) {
                const auto end = sorted.begin() + counts[static_cast<std::size_t>(key)];
                if (end - begin > 1) std::sort(begin, end, comesBefore);
                begin = end;
                counts[static_cast<std::size_t>(key)] = 0;
            }
            counted.clear();
            for (const Candidate& c : sorted) {
                if (!handOver(c)) return;
            }
        }
    }
}

}  // namespace tarnell
