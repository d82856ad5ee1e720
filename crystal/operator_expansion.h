// The symmetry operators of a space group, completed from the part that a space-group record
// lists: the record gives coordinate triplets such as -x,y+1/2,-z without the inverted half (for
// a centrosymmetric group) and without the centring translations; the expansion adds both and
// rewrites every operator as normalised text. Operators act on fractional coordinates.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "crystal/matrix.h"

namespace tarnell {

// Capacity of the operator table; the largest groups need 192.
inline constexpr int MaxOperators = 193;
// How close a translation must be to a fraction of the table of fractions to be written as it.
inline constexpr double TranslationTolerance = 0.0001;

// x' = r·x + t; row i of r gives new coordinate i as coefficients of x, y, z.
struct SymmetryOperator {
    Matrix3 r{};
    std::array<double, 3> t{};
};

// Operator k of the report's symmetry codes is entry k - 1.
using OperatorTable = std::vector<SymmetryOperator>;

// The image r·p + t of the fractional position p.
inline std::array<double, 3> applyOperator(const SymmetryOperator& op,
                                           const std::array<double, 3>& p) {
    std::array<double, 3> v{};
    for (int c = 0; c < 3; ++c) {
        v[c] = op.r[c][0] * p[0] + op.r[c][1] * p[1] + op.r[c][2] * p[2] + op.t[c];
    }
    return v;
}

// How many operators the expansion of such a record gives (a negative line count counts as 0);
// -1 for a centring code it does not know. Centring codes: 0, 15, 21 none; 4 A; 5 B; 6 C; 7 F;
// 13 I; 14 R on hexagonal axes.
int expandedOperatorCount(int operatorLineCount, int centrosymmetricFlag, int centringCode);

// The translations that the centring code adds, besides (0, 0, 0); empty for a code the
// expansion does not know.
std::vector<std::array<double, 3>> centringVectors(int centringCode);

// Parses the record's operator texts (the first `operatorLineCount` of `operatorTexts`), adds
// the inverted operators when `centrosymmetricFlag` is 1 and the copies shifted by the centring
// vectors of groupCodes[6], and returns their count N. `table` then holds the N operators, with
// each translation reduced once toward the cell, and `operatorTexts` their N normalised texts.
// Nothing is checked against MaxOperators here: the space-group lookup refuses records that
// would exceed it. An unknown centring code adds no translations.
int expandSymmetryOperators(int operatorLineCount, int centrosymmetricFlag,
                            std::vector<std::string>& operatorTexts,
                            const std::array<int, 14>& groupCodes, OperatorTable& table);

}  // namespace tarnell
