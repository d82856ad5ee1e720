#include "valence/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace tarnell {
namespace {

using nlohmann::ordered_json;

// Writes `json` value by value through the writer, its scalars as the engine's own C++ types.
void writeTree(DocumentWriter& out, const ordered_json& json) {
    switch (json.type()) {
        case ordered_json::value_t::object:
            out.beginObject();
            for (const auto& [name, item] : json.items()) writeTree(out.key(name), item);
            out.endObject();
            break;
        case ordered_json::value_t::array:
            out.beginArray();
            for (const auto& item : json) writeTree(out, item);
            out.endArray();
            break;
        case ordered_json::value_t::string:
            out.value(json.get_ref<const std::string&>());
            break;
        case ordered_json::value_t::boolean:
            out.value(json.get<bool>());
            break;
        case ordered_json::value_t::number_integer:
            out.value(json.get<long long>());
            break;
        case ordered_json::value_t::number_unsigned:
            out.value(json.get<std::size_t>());
            break;
        case ordered_json::value_t::number_float:
            out.value(json.get<double>());
            break;
        default:
            out.value(nullptr);
            break;
    }
}

// Stored JSON files and scripts compare texts: the stream must give the tree's dump to the byte,
// whatever the values.
TEST(JsonWriter, WritesExactlyWhatTheTreeDumps) {
    const double inf = std::numeric_limits<double>::infinity();
    const ordered_json tree = {
        {"empty_object", ordered_json::object()},
        {"empty_array", ordered_json::array()},
        {"numbers",
         {0.0, -0.0, 1.0, 0.37, 1e-7, 1e16, 123456789.125, -2.5e-300, 1.0 / 3.0, inf, -inf,
          std::nan(""), 0, -7, std::numeric_limits<long long>::min(),
          std::numeric_limits<std::size_t>::max()}},
        {"texts",
         {"", "Fe3+", "quote \" and \\ backslash", "tab\tline\nbreak\x01", "Å and – dash",
          std::string("bad \xff\xfe bytes"), "\x7f"}},
        {"nested", {{"a", {{"b", ordered_json::array({ordered_json::object()})}}}, {"c", nullptr}}},
        {"flags", {true, false}},
        {"key \"quoted\" é", 1}};
    std::string text;
    JsonWriter out(text);
    writeTree(out, tree);
    EXPECT_EQ(text, tree.dump(1, ' ', false, ordered_json::error_handler_t::replace));

    // A tree handed over whole sits at the writer's depth.
    std::string mixed;
    JsonWriter writer(mixed);
    writer.beginObject();
    writer.key("outer").beginArray();
    writer.value(ordered_json{{"inner", {1, 2}}, {"empty", ordered_json::array()}});
    writer.endArray();
    writer.endObject();
    const ordered_json expected = {
        {"outer", {{{"inner", {1, 2}}, {"empty", ordered_json::array()}}}}};
    EXPECT_EQ(mixed, expected.dump(1, ' ', false, ordered_json::error_handler_t::replace));
}

}  // namespace
}  // namespace tarnell
