#include "landscape/landscape_grid.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <numbers>
#include <thread>

#include "settings/text.h"

namespace tarnell {

namespace {

using Vec3 = std::array<double, 3>;
using Axes = std::array<Vec3, 3>;

// Grid points are taken in blocks of this many along each edge; each block gathers the ions
// that can reach any of its points once, so a point looks only at ions near it.
constexpr int BlockEdge = 8;
// A point too close to a like ion, until the grid's largest value is known.
constexpr double Blocked = std::numeric_limits<double>::infinity();

Vec3 cartesian(const Axes& axes, const Vec3& f) {
    Vec3 r{};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) r[k] += f[i] * axes[i][k];
    return r;
}

double lengthOf(const Vec3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

Vec3 cross(const Vec3& u, const Vec3& v) {
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

// The ions that may act on a point of the cell, as Cartesian positions of their images.
struct Sources {
    std::vector<double> x, y, z;
    std::vector<double> weight;  // g·exp(r0/b) for a counter-ion
    std::vector<double> inverseB;

    void add(const Vec3& p, double w, double ib) {
        x.push_back(p[0]);
        y.push_back(p[1]);
        z.push_back(p[2]);
        weight.push_back(w);
        inverseB.push_back(ib);
    }
    std::size_t size() const { return x.size(); }
};

// Every image of the selected ions within `reach` of the cell: the cell's planes are
// 1/|a*|, 1/|b*|, 1/|c*| apart, so `reach` is reach·|a*| cells along a, and so on.
template <typename Select>
Sources imagesNearCell(const LandscapeFrame& frame, const Axes& axes, double reach, Select select) {
    const double volume = std::fabs(axes[0][0] * cross(axes[1], axes[2])[0] +
                                    axes[0][1] * cross(axes[1], axes[2])[1] +
                                    axes[0][2] * cross(axes[1], axes[2])[2]);
    std::array<double, 3> margin{};
    std::array<int, 3> span{};
    for (int i = 0; i < 3; ++i) {
        margin[i] = reach * lengthOf(cross(axes[(i + 1) % 3], axes[(i + 2) % 3])) / volume;
        span[i] = static_cast<int>(std::ceil(margin[i])) + 1;
    }
    Sources sources;
    for (const FrameIon& ion : frame.ions) {
        if (!select(ion)) continue;
        const double weight = ion.counterIon ? ion.occupancy * std::exp(ion.r0 / ion.b) : 0.0;
        const double inverseB = ion.counterIon ? 1.0 / ion.b : 0.0;
        for (int u = -span[0]; u <= span[0]; ++u)
            for (int v = -span[1]; v <= span[1]; ++v)
                for (int w = -span[2]; w <= span[2]; ++w) {
                    const Vec3 f{ion.position[0] + u, ion.position[1] + v, ion.position[2] + w};
                    bool near = true;
                    for (int i = 0; i < 3; ++i)
                        near = near && f[i] >= -margin[i] && f[i] <= 1.0 + margin[i];
                    if (near) sources.add(cartesian(axes, f), weight, inverseB);
                }
    }
    return sources;
}

// The indices of `sources` within `radius` of `centre`.
void gather(const Sources& sources, const Vec3& centre, double radius,
            std::vector<std::size_t>& picked) {
    picked.clear();
    const double r2 = radius * radius;
    for (std::size_t n = 0; n < sources.size(); ++n) {
        const double dx = sources.x[n] - centre[0], dy = sources.y[n] - centre[1],
                     dz = sources.z[n] - centre[2];
        if (dx * dx + dy * dy + dz * dz <= r2) picked.push_back(n);
    }
}

struct Near {
    std::vector<double> x, y, z, weight, inverseB;
    void take(const Sources& s, const std::vector<std::size_t>& picked) {
        x.clear();
        y.clear();
        z.clear();
        weight.clear();
        inverseB.clear();
        for (std::size_t n : picked) {
            x.push_back(s.x[n]);
            y.push_back(s.y[n]);
            z.push_back(s.z[n]);
            weight.push_back(s.weight[n]);
            inverseB.push_back(s.inverseB[n]);
        }
    }
};

}  // namespace

std::array<int, 3> landscapePoints(const std::array<double, 6>& cell, double step) {
    std::array<int, 3> n{};
    for (int i = 0; i < 3; ++i)
        n[i] = std::max(2, static_cast<int>(std::ceil(cell[i] / step - 1e-9)));
    return n;
}

std::array<std::array<double, 3>, 3> cartesianAxes(const std::array<double, 6>& cell) {
    const double toRad = std::numbers::pi / 180.0;
    const double ca = std::cos(cell[3] * toRad), cb = std::cos(cell[4] * toRad),
                 cg = std::cos(cell[5] * toRad), sg = std::sin(cell[5] * toRad);
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(std::max(0.0, 1.0 - cb * cb - cy * cy));
    return {{{cell[0], 0.0, 0.0},
             {cell[1] * cg, cell[1] * sg, 0.0},
             {cell[2] * cb, cell[2] * cy, cell[2] * cz}}};
}

Status computeLandscape(const LandscapeFrame& frame, const LandscapeOptions& options,
                        Landscape& landscape) {
    if (!(options.step > 0.0) || !std::isfinite(options.step)) {
        return Status::failed(MessageId::GridStepNotPositive, options.step);
    }
    if (!(options.cutoff > 0.0) || !(options.cutoff <= MaxLandscapeCutoff)) {
        return Status::failed(MessageId::CutoffOutOfRange, MaxLandscapeCutoff, options.cutoff);
    }
    // Counted in reals first: a tiny step would overflow the integer counts.
    double wanted = 1.0;
    for (int i = 0; i < 3; ++i) wanted *= std::max(2.0, std::ceil(frame.cell[i] / options.step));
    if (!(wanted <= static_cast<double>(MaxLandscapePoints))) {
        return Status::failed(MessageId::TooManyGridPoints, options.step, wanted,
                              MaxLandscapePoints);
    }
    const std::array<int, 3> n = landscapePoints(frame.cell, options.step);
    const long long total = static_cast<long long>(n[0]) * n[1] * n[2];
    const Axes axes = cartesianAxes(frame.cell);
    const double valence = std::fabs(static_cast<double>(frame.ion.valence));
    const Sources counter =
        imagesNearCell(frame, axes, options.cutoff, [](const FrameIon& i) { return i.counterIon; });
    const Sources like = imagesNearCell(frame, axes, LikeIonExclusion, [&](const FrameIon& i) {
        return i.valence * frame.ion.valence > 0.0;
    });

    Landscape made;
    made.points = n;
    made.values.assign(static_cast<std::size_t>(total), 0.0f);
    std::array<int, 3> blocks{};
    for (int i = 0; i < 3; ++i) blocks[i] = (n[i] + BlockEdge - 1) / BlockEdge;
    const int blockCount = blocks[0] * blocks[1] * blocks[2];
    std::atomic<int> next{0};
    const double cutoff2 = options.cutoff * options.cutoff;
    const double exclusion2 = LikeIonExclusion * LikeIonExclusion;

    auto work = [&] {
        std::vector<std::size_t> picked;
        Near nearCounter, nearLike;
        for (int block = next++; block < blockCount; block = next++) {
            const int bi = block / (blocks[1] * blocks[2]);
            const int bj = (block / blocks[2]) % blocks[1];
            const int bk = block % blocks[2];
            const std::array<int, 3> lo{bi * BlockEdge, bj * BlockEdge, bk * BlockEdge};
            const std::array<int, 3> hi{std::min(n[0], lo[0] + BlockEdge),
                                        std::min(n[1], lo[1] + BlockEdge),
                                        std::min(n[2], lo[2] + BlockEdge)};
            Vec3 fLo{}, fHi{};
            for (int d = 0; d < 3; ++d) {
                fLo[d] = static_cast<double>(lo[d]) / n[d];
                fHi[d] = static_cast<double>(hi[d] - 1) / n[d];
            }
            const Vec3 centre = cartesian(
                axes, {(fLo[0] + fHi[0]) / 2, (fLo[1] + fHi[1]) / 2, (fLo[2] + fHi[2]) / 2});
            double radius = 0.0;
            for (int corner = 0; corner < 8; ++corner) {
                const Vec3 c =
                    cartesian(axes, {corner & 1 ? fHi[0] : fLo[0], corner & 2 ? fHi[1] : fLo[1],
                                     corner & 4 ? fHi[2] : fLo[2]});
                radius = std::max(radius,
                                  lengthOf({c[0] - centre[0], c[1] - centre[1], c[2] - centre[2]}));
            }
            gather(counter, centre, options.cutoff + radius, picked);
            nearCounter.take(counter, picked);
            gather(like, centre, LikeIonExclusion + radius, picked);
            nearLike.take(like, picked);
            const std::size_t counterCount = nearCounter.x.size();
            const std::size_t likeCount = nearLike.x.size();

            for (int i = lo[0]; i < hi[0]; ++i)
                for (int j = lo[1]; j < hi[1]; ++j)
                    for (int k = lo[2]; k < hi[2]; ++k) {
                        const Vec3 p = cartesian(
                            axes, {static_cast<double>(i) / n[0], static_cast<double>(j) / n[1],
                                   static_cast<double>(k) / n[2]});
                        double bvs = 0.0;
                        for (std::size_t m = 0; m < counterCount; ++m) {
                            const double dx = nearCounter.x[m] - p[0];
                            const double dy = nearCounter.y[m] - p[1];
                            const double dz = nearCounter.z[m] - p[2];
                            const double d2 = dx * dx + dy * dy + dz * dz;
                            if (d2 < cutoff2)
                                bvs += nearCounter.weight[m] *
                                       std::exp(-std::sqrt(d2) * nearCounter.inverseB[m]);
                        }
                        double value = std::fabs(bvs - valence);
                        for (std::size_t m = 0; m < likeCount; ++m) {
                            const double dx = nearLike.x[m] - p[0];
                            const double dy = nearLike.y[m] - p[1];
                            const double dz = nearLike.z[m] - p[2];
                            if (dx * dx + dy * dy + dz * dz < exclusion2) {
                                value = Blocked;
                                break;
                            }
                        }
                        made.values[(static_cast<std::size_t>(i) * n[1] + j) * n[2] + k] =
                            static_cast<float>(value);
                    }
        }
    };
    unsigned threads = options.threads > 0 ? static_cast<unsigned>(options.threads)
                                           : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min<unsigned>(threads, static_cast<unsigned>(blockCount));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    // A blocked point takes the largest value of the grid: the percolation never passes it
    // below that value, and a viewer's colour scale stays that of the real values.
    float largest = 0.0f;
    for (const float v : made.values)
        if (std::isfinite(v)) largest = std::max(largest, v);
    for (float& v : made.values)
        if (!std::isfinite(v)) v = largest;
    landscape = std::move(made);
    return {};
}

}  // namespace tarnell
