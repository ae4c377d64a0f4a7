// The job a real terminal runs in the end-to-end tests: its terminal set to
// -icanon -iexten -echo isig min 1 (every byte arrives as typed, Control+C
// still interrupts), a line of words to select at the top left, and a log of
// every byte it reads (two hex digits a line) and of each SIGINT ("SIGINT")
// in the file named by its argument.
#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int logFile = -1;

void put(const char* text) {
    if (write(logFile, text, std::strlen(text)) < 0) _exit(3);
}

void onInterrupt(int) { put("SIGINT\n"); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    logFile = open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (logFile < 0) return 2;
    termios mode{};
    if (tcgetattr(STDIN_FILENO, &mode) != 0) return 2;
    mode.c_lflag &= static_cast<tcflag_t>(~(ICANON | IEXTEN | ECHO));
    mode.c_lflag |= ISIG;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &mode) != 0) return 2;
    struct sigaction interrupt {};
    interrupt.sa_handler = onInterrupt;
    sigaction(SIGINT, &interrupt, nullptr);  // no SA_RESTART: the read below sees EINTR

    const char screen[] = "\033[2J\033[Hselectme selectme selectme\r\n> ";
    if (write(STDOUT_FILENO, screen, sizeof screen - 1) < 0) return 2;
    put("ready\n");
    for (;;) {
        unsigned char byte = 0;
        const ssize_t count = read(STDIN_FILENO, &byte, 1);
        if (count == 1) {
            char line[8];
            std::snprintf(line, sizeof line, "%02x\n", byte);
            put(line);
        } else if (count == 0 || errno != EINTR) {
            return 0;
        }
    }
}
