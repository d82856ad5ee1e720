#include "landscape/percolation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <unordered_map>

namespace tarnell {

namespace {

LatticeVector operator+(const LatticeVector& u, const LatticeVector& v) {
    return {u[0] + v[0], u[1] + v[1], u[2] + v[2]};
}
LatticeVector operator-(const LatticeVector& u, const LatticeVector& v) {
    return {u[0] - v[0], u[1] - v[1], u[2] - v[2]};
}

bool isZero(const LatticeVector& v) {
    return v[0] == 0 && v[1] == 0 && v[2] == 0;
}

LatticeVector crossOf(const LatticeVector& u, const LatticeVector& v) {
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

long long dot(const LatticeVector& u, const LatticeVector& v) {
    return static_cast<long long>(u[0]) * v[0] + static_cast<long long>(u[1]) * v[1] +
           static_cast<long long>(u[2]) * v[2];
}

// In lowest terms, first non-zero component positive: [0 -2 0] and [0 2 0] are both [0 1 0].
LatticeVector direction(LatticeVector v) {
    const int g = std::gcd(std::gcd(std::abs(v[0]), std::abs(v[1])), std::abs(v[2]));
    if (g == 0) return v;
    for (int& c : v) c /= g;
    for (int c : v) {
        if (c != 0) {
            if (c < 0)
                for (int& d : v) d = -d;
            break;
        }
    }
    return v;
}

// Independent wrapping vectors of one cluster, as many as it has dimensions.
struct Wraps {
    std::array<LatticeVector, 3> basis{};
    int rank = 0;

    void add(const LatticeVector& v) {
        if (isZero(v) || rank == 3) return;
        if (rank == 1 && isZero(crossOf(basis[0], v))) return;
        if (rank == 2 && dot(crossOf(basis[0], basis[1]), v) == 0) return;
        basis[rank++] = v;
    }
};

// Two vectors of one plane made short and nearly orthogonal (Lagrange's reduction), so that
// the plane is named by directions a reader recognises.
std::array<LatticeVector, 2> reducedPair(LatticeVector u, LatticeVector v) {
    for (int round = 0; round < 100; ++round) {
        if (dot(u, u) > dot(v, v)) std::swap(u, v);
        const long long uu = dot(u, u);
        if (uu == 0) break;
        const long long q = std::llround(static_cast<double>(dot(u, v)) / static_cast<double>(uu));
        if (q == 0) break;
        for (int c = 0; c < 3; ++c) v[c] -= static_cast<int>(q) * u[c];
    }
    // In a fixed order, so that one plane is always named alike: [1 0 0] before [0 1 0].
    std::array<LatticeVector, 2> pair{direction(u), direction(v)};
    if (pair[0] < pair[1]) std::swap(pair[0], pair[1]);
    return pair;
}

// Union-find whose links remember in which cell, relative to its parent, a point was placed.
class PeriodicClusters {
public:
    explicit PeriodicClusters(std::size_t size)
        : parent_(size), shift_(size, LatticeVector{}), size_(size, 1) {
        std::iota(parent_.begin(), parent_.end(), 0u);
    }

    // The root of `x`, and in `shift` the cell of x's placement relative to the root's.
    std::uint32_t find(std::uint32_t x, LatticeVector& shift) {
        LatticeVector total{};
        std::uint32_t root = x;
        while (parent_[root] != root) {
            total = total + shift_[root];
            root = parent_[root];
        }
        // Point every node of the path at the root, with its own shift.
        LatticeVector remaining = total;
        while (parent_[x] != root && x != root) {
            const std::uint32_t up = parent_[x];
            const LatticeVector own = shift_[x];
            parent_[x] = root;
            shift_[x] = remaining;
            remaining = remaining - own;
            x = up;
        }
        shift = total;
        return root;
    }

    // Joins p and its grid neighbour q, whose image next to p lies `step` cells from q's own
    // place; returns the root of the joined cluster.
    std::uint32_t join(std::uint32_t p, std::uint32_t q, const LatticeVector& step) {
        LatticeVector sp{}, sq{};
        const std::uint32_t rp = find(p, sp);
        const std::uint32_t rq = find(q, sq);
        // Where the cluster of p would place q's neighbouring image, against where it is.
        const LatticeVector link = sp + step - sq;
        if (rp == rq) {
            if (!isZero(link)) wraps_[rp].add(link);
            return rp;
        }
        std::uint32_t big = rp, small = rq;
        LatticeVector smallShift = link;
        if (size_[rq] > size_[rp]) {
            big = rq;
            small = rp;
            smallShift = LatticeVector{} - link;
        }
        parent_[small] = big;
        shift_[small] = smallShift;
        size_[big] += size_[small];
        if (const auto moved = wraps_.find(small); moved != wraps_.end()) {
            const Wraps from = moved->second;
            wraps_.erase(moved);
            Wraps& into = wraps_[big];
            for (int r = 0; r < from.rank; ++r) into.add(from.basis[r]);
        }
        return big;
    }

    const Wraps* wraps(std::uint32_t root) const {
        const auto it = wraps_.find(root);
        return it == wraps_.end() ? nullptr : &it->second;
    }

private:
    std::vector<std::uint32_t> parent_;
    std::vector<LatticeVector> shift_;
    std::vector<std::uint32_t> size_;
    std::unordered_map<std::uint32_t, Wraps> wraps_;  // only clusters that wrap
};

}  // namespace

Percolation findPercolation(const std::array<int, 3>& points, const std::vector<float>& values) {
    Percolation result;
    const std::size_t total = values.size();
    if (total == 0) return result;
    std::vector<std::uint32_t> order(total);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return values[a] < values[b] || (values[a] == values[b] && a < b);
    });
    const float largest = values[order.back()];

    PeriodicClusters clusters(total);
    std::vector<bool> taken(total, false);
    const int n1 = points[1], n2 = points[2];
    int rank = 0;
    for (const std::uint32_t p : order) {
        const float value = values[p];
        // Percolation that needs the grid's largest value needs every point: none.
        if (value >= largest) break;
        taken[p] = true;
        const int i = static_cast<int>(p / (static_cast<std::uint32_t>(n1) * n2));
        const int j = static_cast<int>((p / n2) % n1);
        const int k = static_cast<int>(p % n2);
        const std::array<int, 3> at{i, j, k};
        for (int axis = 0; axis < 3; ++axis) {
            for (const int sign : {-1, 1}) {
                std::array<int, 3> to = at;
                LatticeVector step{};
                to[axis] += sign;
                if (to[axis] < 0) {
                    to[axis] += points[axis];
                    step[axis] = -1;
                } else if (to[axis] >= points[axis]) {
                    to[axis] -= points[axis];
                    step[axis] = 1;
                }
                const std::uint32_t q =
                    (static_cast<std::uint32_t>(to[0]) * n1 + to[1]) * n2 + to[2];
                if (!taken[q]) continue;
                // p's neighbour in the cell `step` is q placed there: q sits `step` from q.
                const std::uint32_t root = clusters.join(p, q, step);
                const auto* wraps = clusters.wraps(root);
                if (wraps == nullptr || wraps->rank <= rank) continue;
                for (int d = rank; d < wraps->rank; ++d) result.thresholds[d] = value;
                if (rank < 1) result.direction1d = direction(wraps->basis[0]);
                if (rank < 2 && wraps->rank >= 2)
                    result.plane2d = reducedPair(wraps->basis[0], wraps->basis[1]);
                rank = wraps->rank;
            }
        }
        if (rank == 3) break;
    }
    return result;
}

}  // namespace tarnell
