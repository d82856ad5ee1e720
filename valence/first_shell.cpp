#include "valence/first_shell.h"

#include <algorithm>
#include <functional>

namespace tarnell {

int firstShellSize(std::vector<double> fullValences) {
    std::sort(fullValences.begin(), fullValences.end(), std::greater<>());
    const std::size_t count = fullValences.size();
    std::size_t size = count;
    double total = 0.0;
    for (double v : fullValences) total += v;
    double before = 0.0;
    double largest = ShellGapRatio;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        before += fullValences[k];
        if (before < FirstShellShare * total) continue;
        if (fullValences[k + 1] <= 0.0) break;
        const double ratio = fullValences[k] / fullValences[k + 1];
        // The first of equal drops wins, so that the nearer shell is the one counted.
        if (ratio >= largest && (size == count || ratio > largest)) {
            largest = ratio;
            size = k + 1;
        }
    }
    return static_cast<int>(size);
}

}  // namespace tarnell
