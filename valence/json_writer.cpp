#include "valence/json_writer.h"

#include <charconv>
#include <cmath>

namespace tarnell {

JsonWriter::JsonWriter(std::string& out)
    : out_(out),
      serializer_(nlohmann::detail::output_adapter<char>(out), ' ',
                  nlohmann::ordered_json::error_handler_t::replace) {}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (empty_.empty()) return;
    out_ += empty_.back() ? "\n" : ",\n";
    empty_.back() = false;
    out_.append(empty_.size(), ' ');
}

JsonWriter& JsonWriter::key(std::string_view name) {
    separate();
    string(name);
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

void JsonWriter::beginObject() {
    separate();
    out_ += '{';
    empty_.push_back(true);
}

void JsonWriter::endObject() {
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) {
        out_ += '\n';
        out_.append(empty_.size(), ' ');
    }
    out_ += '}';
}

void JsonWriter::beginArray() {
    separate();
    out_ += '[';
    empty_.push_back(true);
}

void JsonWriter::endArray() {
    const bool wasEmpty = empty_.back();
    empty_.pop_back();
    if (!wasEmpty) {
        out_ += '\n';
        out_.append(empty_.size(), ' ');
    }
    out_ += ']';
}

void JsonWriter::value(std::nullptr_t) {
    separate();
    out_ += "null";
}

void JsonWriter::value(bool flag) {
    separate();
    out_ += flag ? "true" : "false";
}

void JsonWriter::value(std::string_view text) {
    separate();
    string(text);
}

void JsonWriter::string(std::string_view text) {
    // Printable ASCII without quote or backslash is written as it is; anything else (controls,
    // UTF-8, invalid bytes replaced) is nlohmann's to escape.
    bool plain = true;
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') {
            plain = false;
            break;
        }
    }
    if (!plain) {
        serializer_.dump(nlohmann::ordered_json(std::string(text)), true, false, 1, 0);
        return;
    }
    out_ += '"';
    out_ += text;
    out_ += '"';
}

void JsonWriter::value(const nlohmann::ordered_json& json) {
    separate();
    serializer_.dump(json, true, false, 1, static_cast<unsigned>(empty_.size()));
}

void JsonWriter::integer(long long number) {
    separate();
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    out_.append(buffer, end);
}

void JsonWriter::unsignedInteger(unsigned long long number) {
    separate();
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    out_.append(buffer, end);
}

void JsonWriter::real(double number) {
    separate();
    if (!std::isfinite(number)) {
        out_ += "null";
        return;
    }
    // nlohmann's own shortest form, so that every number reads as it did from the tree.
    char buffer[64];
    char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, number);
    out_.append(buffer, end);
}

}  // namespace tarnell
