#include "crystal/operator_text.h"

#include <cmath>

#include "settings/text.h"

namespace tarnell {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

int letterColumn(char c) {
    switch (c) {
        case 'x':
        case 'X':
            return 0;
        case 'y':
        case 'Y':
            return 1;
        case 'z':
        case 'Z':
            return 2;
        default:
            return -1;
    }
}

std::string characterText(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) return formatText("byte 0x%02X", static_cast<unsigned>(byte));
    return formatText("\"%c\"", c);
}

// Digits with at most one decimal point (`decimalAllowed`), at least one digit, no longer than
// MaxOperatorNumberLength; `pos` moves past it.
std::optional<double> readNumber(std::string_view text, std::size_t& pos, bool decimalAllowed,
                                 std::string& reason) {
    const std::size_t begin = pos;
    bool point = false;
    int digits = 0;
    while (pos < text.size() && (isDigit(text[pos]) || (text[pos] == '.' && decimalAllowed))) {
        if (text[pos] == '.') {
            if (point) {
                reason = "a number has two decimal points";
                return std::nullopt;
            }
            point = true;
        } else {
            ++digits;
        }
        ++pos;
    }
    const std::string_view number = text.substr(begin, pos - begin);
    if (digits == 0) {
        reason = "a number has no digits";
        return std::nullopt;
    }
    if (number.size() > MaxOperatorNumberLength) {
        reason = formatText("the number %s is too long", std::string(number).c_str());
        return std::nullopt;
    }
    double value = 0.0;
    double scale = 0.0;
    for (char c : number) {
        if (c == '.') {
            scale = 1.0;
            continue;
        }
        value = value * 10.0 + (c - '0');
        scale *= 10.0;
    }
    return scale > 0.0 ? value / scale : value;
}

// One component into row `row` of `op`.
bool readComponent(std::string_view text, int number, SymmetryOperator& op, int row,
                   std::string& reason) {
    std::size_t pos = 0;
    bool anyTerm = false;
    bool used[3] = {false, false, false};
    for (;;) {
        while (pos < text.size() && isBlank(text[pos])) ++pos;
        if (pos == text.size()) break;
        const char first = text[pos];
        if (first != '+' && first != '-' && first != '.' && first != '/' && !isDigit(first) &&
            letterColumn(first) < 0) {
            reason = characterText(first) + " is not part of an operator";
            return false;
        }
        double sign = 1.0;
        const bool signed_ = text[pos] == '+' || text[pos] == '-';
        if (signed_) {
            sign = text[pos] == '-' ? -1.0 : 1.0;
            ++pos;
            while (pos < text.size() && isBlank(text[pos])) ++pos;
        } else if (anyTerm) {
            reason = formatText("component %d has terms without a sign between them", number);
            return false;
        }
        if (pos == text.size()) {
            reason = formatText("component %d ends with a sign", number);
            return false;
        }
        const char c = text[pos];
        const int column = letterColumn(c);
        if (column >= 0) {
            if (used[column]) {
                reason = formatText("component %d names %c twice", number, "xyz"[column]);
                return false;
            }
            used[column] = true;
            op.r[row][column] = sign;
            ++pos;
        } else if (isDigit(c) || c == '.') {
            const std::optional<double> numerator = readNumber(text, pos, true, reason);
            if (!numerator) return false;
            double value = *numerator;
            if (pos < text.size() && text[pos] == '/') {
                ++pos;
                const std::optional<double> denominator = readNumber(text, pos, false, reason);
                if (!denominator) return false;
                if (*denominator == 0.0) {
                    reason = "a denominator is 0";
                    return false;
                }
                value /= *denominator;
            }
            if (pos < text.size() && letterColumn(text[pos]) >= 0) {
                reason = formatText("component %d has a number before a letter", number);
                return false;
            }
            op.t[row] += sign * value;
            if (!(std::fabs(op.t[row]) <= MaxOperatorTranslation)) {
                reason = formatText(
                    "component %d translates by more than %g cells, where the "
                    "place in the cell is lost",
                    number, MaxOperatorTranslation);
                return false;
            }
        } else {
            reason = characterText(c) + " is not part of an operator";
            return false;
        }
        anyTerm = true;
    }
    if (!anyTerm) {
        reason = formatText("component %d is empty", number);
        return false;
    }
    return true;
}

double determinant(const Matrix3& r) {
    return r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
           r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
           r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
}

}  // namespace

std::optional<SymmetryOperator> readOperatorText(std::string_view text, std::string& reason) {
    std::size_t components = 1;
    for (char c : text) components += c == ',';
    if (components != 3) {
        reason = formatText("it has %d components instead of 3", static_cast<int>(components));
        return std::nullopt;
    }
    SymmetryOperator op;
    std::size_t begin = 0;
    for (int row = 0; row < 3; ++row) {
        const std::size_t comma = text.find(',', begin);
        const std::string_view part = text.substr(
            begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin);
        if (!readComponent(part, row + 1, op, row, reason)) return std::nullopt;
        begin = comma + 1;
    }
    if (std::fabs(std::fabs(determinant(op.r)) - 1.0) > 1e-9) {
        reason = "its rotation is not a symmetry operation";
        return std::nullopt;
    }
    return op;
}

}  // namespace tarnell
