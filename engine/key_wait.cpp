#include "engine/key_wait.h"

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace tarnell {

#ifdef _WIN32

void waitForKey() {
    if (_isatty(_fileno(stdin))) _getch();
}

bool outputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}

#else

void waitForKey() {
    if (!isatty(STDIN_FILENO)) return;
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return;
    char key = 0;
    [[maybe_unused]] const ssize_t ignored = read(STDIN_FILENO, &key, 1);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

bool outputIsTerminal() {
    return isatty(STDOUT_FILENO) != 0;
}

#endif

}  // namespace tarnell
