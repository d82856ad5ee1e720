// The engine's final key wait, the one console call that differs between systems.
#pragma once

namespace tarnell {

// Waits for one key, without echo, when standard input is a terminal. Without a terminal
// (scripts, CI, the front end) it returns at once, so nothing ever hangs.
void waitForKey();

}  // namespace tarnell
