// Numbers as crystallographic text writes them: a value with its standard uncertainty in
// parentheses after its last digits (5.4321(12) is 5.4321 with 0.0012), and coordinates also as
// fractions (1/4). Reading is strict and independent of the C locale: a token reads only when all
// of it is a number, because a half-read token would give a made-up value.
#pragma once

#include <optional>
#include <string_view>

#include "settings/numbers.h"

namespace tarnell {

struct UncertainNumber {
    double value = 0.0;
    double sigma = 0.0;  // 0 when the token gives none
};

// A token of value and optional "(digits)". The uncertainty is the digits scaled to the decimals
// of the value: 5.4321(12) gives 0.0012, 12(3) gives 3; one that would not be finite does not
// read. With `fractionAllowed`, a token without
// parentheses that holds "/" after its first character is a fraction (1/4 gives 0.25); a
// denominator of 0 does not read.
std::optional<UncertainNumber> readUncertainNumber(std::string_view token,
                                                   bool fractionAllowed = false);

}  // namespace tarnell
