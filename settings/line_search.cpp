#include "settings/line_search.h"

#include "settings/text.h"

namespace tarnell {

int findLine(std::istream& in, std::string_view prefix, std::string& line) {
    while (readLine(in, line)) {
        if (startsWith(line, prefix)) return 0;
    }
    return -1;
}

int findKeyLine(std::istream& in, std::string_view key, std::string& line, std::string& message,
                const Wording& wording) {
    if (findLine(in, key, line) == 0) return 0;
    message = formatText(wording.keyNotFound, std::string(key).c_str());
    return -1;
}

}  // namespace tarnell
