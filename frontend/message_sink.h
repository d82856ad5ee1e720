// Where Kestrin's messages go: a message box in the program, a list in the tests. The readers
// and writers word their failures for Kestrin already (they are given its Wording).
#pragma once

#include <functional>
#include <string>

namespace tarnell {

using MessageSink = std::function<void(const std::string&)>;

}  // namespace tarnell
