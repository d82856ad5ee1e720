// Where Kestrin's messages go: a message box in the program, a list in the tests. The readers
// and writers name their failures, which Kestrin words as its own (Program::FrontEnd).
#pragma once

#include <functional>
#include <string>

namespace tarnell {

using MessageSink = std::function<void(const std::string&)>;

}  // namespace tarnell
