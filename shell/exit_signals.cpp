// Handlers for the signals that ask a program to end: they only set a flag (or, before
// anything is set up, leave at once), so the shut-down runs on the main thread.
#include "shell/exit_signals.h"
#include <csignal>
#include <cstdlib>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Windows' C runtime knows only these two of them (a GUI program rarely gets either).
const int kExitSignals[] = {SIGINT, SIGTERM};
#else
const int kExitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
#endif

// Written by the handler, which may run on any thread (the audio thread included).
struct {
    volatile sig_atomic_t atOnce = 1;
    volatile sig_atomic_t requested = 0;
} state;

// SDL shows the start-up question from a forked child that holds the box's window; a
// signal sent to this process alone must take the box down too. The main thread's
// children are listed by the kernel; only async-signal-safe calls are used.
void endQuestionChildren() {
#ifdef _WIN32
    // The question box is a window of this process there: it goes with the process.
#else
    char path[64] = "/proc/self/task/";
    char digits[16];
    int n = 0;
    for (pid_t pid = getpid(); pid > 0; pid /= 10)
        digits[n++] = char('0' + pid % 10);
    size_t at = 16;
    while (n > 0)
        path[at++] = digits[--n];
    const char tail[] = "/children";
    for (char c : tail)
        path[at++] = c;
    int fd = open(path, O_RDONLY);
    if (fd < 0)
        return;
    char list[256];
    ssize_t got = read(fd, list, sizeof list - 1);
    close(fd);
    pid_t child = 0;
    for (ssize_t i = 0; i < got; ++i) {
        if (list[i] >= '0' && list[i] <= '9') {
            child = child * 10 + (list[i] - '0');
        } else {
            if (child > 0)
                kill(child, SIGKILL);
            child = 0;
        }
    }
    if (child > 0)
        kill(child, SIGKILL);
#endif
}

void onExitSignal(int) {
    if (state.atOnce) {
        endQuestionChildren();
        _exit(0); // nothing is switched or held yet
    }
    state.requested = 1;
}

} // namespace

void installExitSignals() {
#ifdef _WIN32
    for (int signal : kExitSignals)
        std::signal(signal, onExitSignal);
#else
    struct sigaction action {};
    action.sa_handler = onExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SDL installs its own SIGINT/SIGTERM handlers only where none is set, so these stay.
    for (int signal : kExitSignals)
        sigaction(signal, &action, nullptr);
#endif
}

void holdExitSignals() {
    state.atOnce = 0;
}

bool exitSignalled() {
    return state.requested != 0;
}
