// Small text helpers shared by every reader and writer of the system's line-oriented files.
// Lines are read whole, whatever their length; a line loses its break ("\n", and a "\r" before it).
#pragma once

#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

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

// printf-style formatting into a string of whatever length the result needs. The system's
// message and file formats are printf formats, and the exact text they give is part of the
// files and reports, so they are kept as they stand rather than rewritten as streams.
template <typename... Args>
std::string formatText(const char* format, Args... args) {
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

}  // namespace tarnell
