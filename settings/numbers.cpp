#include "settings/numbers.h"

#include <charconv>
#include <cmath>
#include <string>

#include "settings/text.h"

namespace tarnell {

std::optional<double> readReal(std::string_view token) {
    if (token.size() > 1 && token.front() == '+' && token[1] != '-' && token[1] != '+') {
        token.remove_prefix(1);
    }
    if (token.empty()) return std::nullopt;
    double value = 0.0;
    const char* end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> readInteger(std::string_view token) {
    const std::string text = trimBlanks(token);
    std::string_view digits = text;
    if (digits.size() > 1 && digits.front() == '+' && digits[1] != '-') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace tarnell
