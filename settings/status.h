// How a reader or a phase of a run ended: done, or failed with the one message that says why.
// Every reader and every phase returns one, so that failure travels the same way everywhere.
#pragma once

#include <string>
#include <utility>

namespace tarnell {

// The message is already in the wording of the program that asked (each passes its Wording
// down), so a caller passes it on as it stands: the engine into its report, Kestrin into a
// message box. code() keeps the engine's convention of 0 for done and -1 for failed.
class [[nodiscard]] Status {
public:
    Status() = default;  // done

    static Status failed(std::string message) {
        Status status;
        status.failed_ = true;
        status.message_ = std::move(message);
        return status;
    }

    bool ok() const { return !failed_; }
    int code() const { return failed_ ? -1 : 0; }
    const std::string& message() const { return message_; }

private:
    bool failed_ = false;
    std::string message_;
};

}  // namespace tarnell
