// The engine's final key wait and the question whether the console is a terminal: the console
// calls that differ between systems.
#pragma once

namespace tarnell {

// Waits for one key, without echo, when standard input is a terminal. Without a terminal
// (scripts, CI, the front end) it returns at once, so nothing ever hangs.
void waitForKey();

// Whether standard output is a terminal, where a progress bar can redraw itself.
bool outputIsTerminal();

}  // namespace tarnell
