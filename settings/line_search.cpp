#include "settings/line_search.h"

#include "settings/text.h"

namespace tarnell {

bool findLine(std::istream& in, std::string_view prefix, std::string& line) {
    while (readLine(in, line)) {
        if (startsWith(line, prefix)) return true;
    }
    return false;
}

Status findKeyLine(std::istream& in, std::string_view key, std::string& line) {
    if (findLine(in, key, line)) return {};
    return Status::failed(message(MessageId::KeyNotFound, std::string(key).c_str()));
}

}  // namespace tarnell
