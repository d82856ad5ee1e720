#include "settings/text.h"

#include <algorithm>

namespace tarnell {

bool readLine(std::istream& in, std::string& line) {
    // std::getline scans the stream's buffer for the break a block at a time; reading character
    // by character made reading the tables a fifth of a whole run.
    line.clear();
    if (!std::getline(in, line)) return false;
    // A line written on Windows loses its "\r" too, before its length is counted.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > MaxLineLength) {
        in.setstate(std::ios::failbit);
        return false;
    }
    return true;
}

namespace {

// The length of the UTF-8 sequence that starts `text`, or 0 when it is not one.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0) low = 0xA0;   // overlong
        if (first == 0xED) high = 0x9F;  // surrogates
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0) low = 0x90;
        if (first == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::string printableText(std::string_view text, std::size_t maxCharacters) {
    std::string result;
    result.reserve(std::min(text.size(), maxCharacters));
    std::size_t characters = 0;
    std::size_t pos = 0;
    while (pos < text.size() && characters < maxCharacters) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        ++characters;
        if (c < 0x80) {
            result += c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
            ++pos;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text.substr(pos));
        if (length == 0) {
            result += '?';
            ++pos;
        } else {
            result.append(text.substr(pos, length));
            pos += length;
        }
    }
    return result;
}

std::string trimBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string nextToken(std::string_view text, std::size_t& pos) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    while (pos < text.size() && isSpace(text[pos])) ++pos;
    const std::size_t begin = pos;
    while (pos < text.size() && !isSpace(text[pos])) ++pos;
    return std::string(text.substr(begin, pos - begin));
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

bool formatTakes(const char* format, const FormatArgument* arguments, std::size_t count) {
    std::size_t next = 0;
    const auto take = [&](auto fits) { return next < count && fits(arguments[next++]); };
    const auto isInt = [](FormatArgument a) { return a == FormatArgument::Int; };
    // long and size_t are one type where they have one size.
    constexpr bool longIsSize = sizeof(long) == sizeof(std::size_t);
    const auto isLong = [&](FormatArgument a) {
        return a == FormatArgument::Long || (longIsSize && a == FormatArgument::Size);
    };
    for (const char* c = format; *c != '\0'; ++c) {
        if (*c != '%') continue;
        ++c;
        if (*c == '%') continue;
        while (*c != '\0' && std::string_view("-+ #0").find(*c) != std::string_view::npos) ++c;
        const auto widthOrPrecision = [&]() {
            if (*c == '*') {
                ++c;
                return take(isInt);
            }
            while (*c >= '0' && *c <= '9') ++c;
            return true;
        };
        if (!widthOrPrecision()) return false;
        if (*c == '.') {
            ++c;
            if (!widthOrPrecision()) return false;
        }
        std::string length;
        while (*c != '\0' && std::string_view("hlLzjt").find(*c) != std::string_view::npos) {
            length += *c++;
        }
        const char conversion = *c;
        bool fits = false;
        if (std::string_view("diouxXc").find(conversion) != std::string_view::npos) {
            if (length.empty() || length == "h" || length == "hh") {
                fits = take(isInt);
            } else if (length == "l" || length == "j" || length == "t") {
                fits = take(isLong);
            } else if (length == "z") {
                fits = take([&](FormatArgument a) {
                    return a == FormatArgument::Size || (longIsSize && a == FormatArgument::Long);
                });
            } else if (length == "ll") {
                fits = take([&](FormatArgument a) {
                    return a == FormatArgument::LongLong ||
                           (sizeof(long long) == sizeof(long) && isLong(a));
                });
            }
        } else if (std::string_view("fFeEgGaA").find(conversion) != std::string_view::npos) {
            if (length.empty() || length == "l") {
                fits = take([](FormatArgument a) { return a == FormatArgument::Double; });
            } else if (length == "L") {
                fits = take([](FormatArgument a) { return a == FormatArgument::LongDouble; });
            }
        } else if (conversion == 's' && length.empty()) {
            fits = take([](FormatArgument a) { return a == FormatArgument::Text; });
        } else if (conversion == 'p' && length.empty()) {
            fits = take([](FormatArgument a) {
                return a == FormatArgument::Pointer || a == FormatArgument::Text;
            });
        }
        // Anything else, %n included, is refused.
        if (!fits) return false;
    }
    // Arguments beyond the format's are ignored, as printf does: a wording may leave out a
    // number that the other states.
    return true;
}

}  // namespace tarnell
