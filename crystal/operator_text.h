// Symmetry operators as coordinate-triplet text (-x,y+1/2,-z), read strictly: what does not read
// as exactly one operator is refused rather than guessed at, wherever the text comes from.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crystal/operator_expansion.h"

namespace tarnell {

// Longest number in an operator text, digits and decimal point together.
inline constexpr std::size_t MaxOperatorNumberLength = 8;
// Largest translation of a component, in cells: beyond it the fraction that places an atom within
// its cell has lost its digits.
inline constexpr double MaxOperatorTranslation = 1e6;
// Longest part of a refused text that a message quotes.
inline constexpr std::size_t MaxOperatorTextLength = 80;

// Reads three comma-separated components, each a sum of signed terms: a coordinate letter
// (x, y, z in either case, at most once per component) or a translation (1/2, 0.25). Blanks may
// stand between terms. The rotation must have determinant 1 or -1. On failure the result is
// empty and `reason` says what is wrong, in a few words.
std::optional<SymmetryOperator> readOperatorText(std::string_view text, std::string& reason);

}  // namespace tarnell
