// The first coordination shell of a site: the bonds a crystallographer counts as its coordination,
// as distinct from every contact inside the search window.
#pragma once

#include <vector>

namespace tarnell {

// A gap between shells must weaken the bond valence at least this many times (with b 0.37 a
// step in d of 0.26 Å); a smaller step is the spread inside one distorted shell.
inline constexpr double ShellGapRatio = 2.0;
// The first shell carries at least this share of the sum in the window: a large cation's one
// short bond (K–O 2.70 Å in sanidine, the next 2.97 Å) is not a shell of its own.
inline constexpr double FirstShellShare = 0.5;

// How many of the bonds, taken in order of falling bond valence, form the first shell.
// `fullValences` are the bond valences of fully occupied neighbours, exp((r0 - d)/b), so that a
// half-occupied neighbour does not look like a distant one. The shell ends at the largest drop
// between consecutive values, among the drops after which the bonds before it carry
// FirstShellShare of the sum, when that drop is at least ShellGapRatio; without such a drop the
// window holds one shell only and every bond counts.
int firstShellSize(std::vector<double> fullValences);

}  // namespace tarnell
