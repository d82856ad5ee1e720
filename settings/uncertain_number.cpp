#include "settings/uncertain_number.h"

#include <cmath>

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
    const std::size_t point = valueText.find('.');
    const std::size_t decimals = point == std::string_view::npos ? 0 : valueText.size() - point - 1;
    // Dividing by an exact power of ten gives the nearest double to the written uncertainty.
    double scale = 1.0;
    for (std::size_t i = 0; i < decimals; ++i) scale *= 10.0;
    // Hundreds of digits in the parentheses would give an infinite uncertainty, which every
    // distance it enters would inherit.
    const double sigma = units / scale;
    if (!std::isfinite(sigma)) return std::nullopt;
    return UncertainNumber{*value, sigma};
}

}  // namespace tarnell
