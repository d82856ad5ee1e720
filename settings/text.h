// Small text helpers shared by every reader and writer of the system's line-oriented files.
// Lines are read whole, whatever their length; a line loses its break ("\n", and a "\r" before it).
#pragma once

#include <cstddef>
#include <cstdio>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace tarnell {

// No line of any input is longer than this, without its line break: an endless line (a device
// such as /dev/zero, or binary data) must not take all memory.
inline constexpr std::size_t MaxLineLength = std::size_t{1} << 20;

// Reads the next line without its line break; false at the end of the stream. A Windows line end
// (CR LF) reads exactly like a Unix one. A line longer than MaxLineLength is not read: the stream
// fails (without reaching its end) and the result is false.
bool readLine(std::istream& in, std::string& line);

// The text as it may stand in a report or a message: control characters and bytes that are not
// UTF-8 become "?", and the text is cut after `maxCharacters` characters. Blanks stay.
std::string printableText(std::string_view text, std::size_t maxCharacters);

// The text without blanks (spaces and tabs) at either end.
std::string trimBlanks(std::string_view text);

bool startsWith(std::string_view text, std::string_view prefix);

// The first blank-delimited word of `text` from `pos` on; `pos` moves past it.
std::string nextToken(std::string_view text, std::size_t& pos);

// A field of a CSV line: quoted, with its quotes doubled, when it holds a comma, a quote or a
// line break.
std::string csvField(const std::string& text);
// The kind of value a printf conversion takes, and the kind an argument is; formatText refuses a
// format whose conversions do not take its arguments, one by one.
enum class FormatArgument { Int, Long, LongLong, Size, Double, LongDouble, Text, Pointer, Other };

template <typename T>
constexpr FormatArgument formatArgumentOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
        return FormatArgument::Text;
    } else if constexpr (std::is_pointer_v<U>) {
        return FormatArgument::Pointer;
    } else if constexpr (std::is_same_v<U, float> || std::is_same_v<U, double>) {
        return FormatArgument::Double;
    } else if constexpr (std::is_same_v<U, long double>) {
        return FormatArgument::LongDouble;
    } else if constexpr (std::is_integral_v<U> && sizeof(U) <= sizeof(int)) {
        return FormatArgument::Int;  // what the call promotes it to
    } else if constexpr (std::is_same_v<U, std::size_t> ||
                         std::is_same_v<U, std::make_signed_t<std::size_t>>) {
        return FormatArgument::Size;
    } else if constexpr (std::is_same_v<U, long> || std::is_same_v<U, unsigned long>) {
        return FormatArgument::Long;
    } else if constexpr (std::is_same_v<U, long long> || std::is_same_v<U, unsigned long long>) {
        return FormatArgument::LongLong;
    } else {
        return FormatArgument::Other;
    }
}

// Whether the conversions of `format` take arguments of these kinds, in this order; arguments
// left over are allowed.
bool formatTakes(const char* format, const FormatArgument* arguments, std::size_t count);

// printf-style formatting into a string of whatever length the result needs. The system's
// message and file formats are printf formats, and the exact text they give is part of the
// files and reports (widths count bytes, also of UTF-8 text), so they are kept as they stand
// rather than rewritten as streams. A format that does not fit its arguments is a fault of the
// program, never passed on to printf: it throws std::logic_error.
template <typename... Args>
std::string formatText(const char* format, Args... args) {
    static_assert(((formatArgumentOf<Args>() != FormatArgument::Other) && ...),
                  "formatText takes numbers and C strings only");
    constexpr std::size_t count = sizeof...(Args);
    const FormatArgument kinds[count + 1] = {formatArgumentOf<Args>()..., FormatArgument::Other};
    if (format == nullptr || !formatTakes(format, kinds, count)) {
        throw std::logic_error("format does not fit its arguments: " +
                               std::string(format == nullptr ? "(none)" : format));
    }
    if constexpr (count == 0) {
        // No conversions but "%%": printf would only halve those, and a format that is no literal
        // is better not handed to it alone.
        std::string text;
        for (const char* c = format; *c != '\0'; ++c) {
            text += *c;
            if (*c == '%') ++c;
        }
        return text;
    } else {
        const int length = std::snprintf(nullptr, 0, format, args...);
        if (length <= 0) return {};
        std::string text(static_cast<std::size_t>(length), '\0');
        std::snprintf(text.data(), text.size() + 1, format, args...);
        return text;
    }
}

}  // namespace tarnell
