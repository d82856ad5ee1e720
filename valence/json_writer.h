// A result's document written as a stream of values: as JSON text (JsonWriter), exactly the text
// that nlohmann's dump(1, ' ') gives the same values, or as another language's objects. A batch
// spent more time building a tree of each result than calculating it.
#pragma once

#include <concepts>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tarnell {

class DocumentWriter {
public:
    virtual ~DocumentWriter() = default;

    // In an object: the member's name; its value follows.
    virtual DocumentWriter& key(std::string_view name) = 0;

    virtual void beginObject() = 0;
    virtual void endObject() = 0;
    virtual void beginArray() = 0;
    virtual void endArray() = 0;

    virtual void value(std::nullptr_t) = 0;
    virtual void value(bool flag) = 0;
    virtual void value(std::string_view text) = 0;
    // A small part of the document built as a tree.
    virtual void value(const nlohmann::ordered_json& json) = 0;
    void value(const char* text) { value(std::string_view(text)); }
    void value(const std::string& text) { value(std::string_view(text)); }
    template <typename T>
    requires(std::integral<T> && !std::same_as<T, bool>) void value(T number) {
        if constexpr (std::signed_integral<T>)
            integer(static_cast<long long>(number));
        else
            unsignedInteger(static_cast<unsigned long long>(number));
    }
    template <std::floating_point T>
    void value(T number) {
        real(static_cast<double>(number));
    }

    template <typename T>
    DocumentWriter& field(std::string_view name, const T& v) {
        key(name).value(v);
        return *this;
    }

protected:
    virtual void integer(long long number) = 0;
    virtual void unsignedInteger(unsigned long long number) = 0;
    // Not finite: null, as JSON has no such number.
    virtual void real(double number) = 0;
};

class JsonWriter final : public DocumentWriter {
public:
    // Appends to `out`.
    explicit JsonWriter(std::string& out);

    using DocumentWriter::value;
    JsonWriter& key(std::string_view name) override;
    void beginObject() override;
    void endObject() override;
    void beginArray() override;
    void endArray() override;
    void value(std::nullptr_t) override;
    void value(bool flag) override;
    void value(std::string_view text) override;
    void value(const nlohmann::ordered_json& json) override;

private:
    void integer(long long number) override;
    void unsignedInteger(unsigned long long number) override;
    void real(double number) override;
    void separate();
    void string(std::string_view text);

    std::string& out_;
    std::vector<bool> empty_;  // per open container: nothing in it yet
    bool afterKey_ = false;
    nlohmann::detail::serializer<nlohmann::ordered_json> serializer_;
};

}  // namespace tarnell
