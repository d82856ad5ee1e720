#include "settings/uncertain_number.h"

#include <cmath>
#include <cstdlib>

namespace tarnell {

std::optional<UncertainNumber> readUncertainNumber(std::string_view token, bool fractionAllowed) {
    const std::size_t open = token.find('(');
    if (open == std::string_view::npos) {
        const std::size_t slash = token.find('/');
        if (!fractionAllowed || slash == std::string_view::npos || slash == 0) {
            const std::optional<double> value = readReal(token);
            if (!value) return std::nullopt;
            return UncertainNumber{*value, 0.0};
        }
        const std::optional<double> numerator = readReal(token.substr(0, slash));
        const std::optional<double> denominator = readReal(token.substr(slash + 1));
        if (!numerator || !denominator || *denominator == 0.0) return std::nullopt;
        return UncertainNumber{*numerator / *denominator, 0.0};
    }

    const std::string_view valueText = token.substr(0, open);
    const std::optional<double> value = readReal(valueText);
    // Only digits may stand in the parentheses, and nothing after them.
    const std::string_view inner = token.substr(open + 1);
    const std::size_t close = inner.find(')');
    if (!value || close == std::string_view::npos || close + 1 != inner.size()) {
        return std::nullopt;
    }
    const std::string_view digits = inner.substr(0, close);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    double units = 0.0;
    for (char digit : digits) units = units * 10.0 + (digit - '0');
    // The uncertainty counts in the last digit of the mantissa, which an exponent then scales:
    // 5.6402e0(9) is 5.6402 +- 0.0009.
    const std::size_t exponentAt = valueText.find_first_of("eE");
    const std::string_view mantissa = valueText.substr(0, exponentAt);
    int exponent = 0;
    if (exponentAt != std::string_view::npos) {
        const std::optional<int> written = readInteger(valueText.substr(exponentAt + 1));
        if (!written) return std::nullopt;
        exponent = *written;
    }
    const std::size_t point = mantissa.find('.');
    const int decimals =
        point == std::string_view::npos ? 0 : static_cast<int>(mantissa.size() - point - 1);
    // Dividing by an exact power of ten gives the nearest double to the written uncertainty.
    const int shift = decimals - exponent;
    double scale = 1.0;
    for (int i = 0; i < std::abs(shift) && std::isfinite(scale); ++i) scale *= 10.0;
    // Hundreds of digits in the parentheses would give an infinite uncertainty, which every
    // distance it enters would inherit.
    const double sigma = shift >= 0 ? units / scale : units * scale;
    if (!std::isfinite(sigma)) return std::nullopt;
    return UncertainNumber{*value, sigma};
}

}  // namespace tarnell
