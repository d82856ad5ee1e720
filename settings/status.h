// How a reader or a phase of a run ended: done, or failed with the one message that says why.
// Every reader and every phase returns one, so that failure travels the same way everywhere.
#pragma once

#include <string>
#include <utility>

#include "settings/messages.h"

namespace tarnell {

// The message names what failed; the program that shows it words it (messageText), so a
// caller passes the status on as it stands. code() keeps the engine's convention of 0 for done
// and -1 for failed.
class [[nodiscard]] Status {
public:
    Status() = default;  // done

    static Status failed(Message message) {
        Status status;
        status.failed_ = true;
        status.message_ = std::move(message);
        return status;
    }
    template <typename... Args>
    static Status failed(MessageId id, const Args&... args) {
        return failed(tarnell::message(id, args...));
    }

    bool ok() const { return !failed_; }
    int code() const { return failed_ ? -1 : 0; }
    const Message& message() const { return message_; }
    // The message as `program` shows it; empty when done.
    std::string text(Program program) const {
        return failed_ ? messageText(message_, program) : std::string();
    }

private:
    bool failed_ = false;
    Message message_;
};

}  // namespace tarnell
