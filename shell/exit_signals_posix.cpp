// The exit signals on POSIX systems: SIGINT, SIGTERM, SIGHUP and SIGQUIT by sigaction.
#include "shell/exit_signals_system.h"
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {
const int kExitSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
} // namespace

// SDL shows the start-up question from a forked child that holds the box's window; a
// signal sent to this process alone must take the box down too. The main thread's
// children are listed by the kernel; only async-signal-safe calls are used.
void endQuestionChildren() {
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
}

// A second signal: the shut-down the first one started is stuck, or the user insists. The
// process ends by the signal's own default action, so the parent sees which signal it was
// and SIGQUIT dumps core where core dumps are enabled.
//
// What a handler may do is limited to async-signal-safe calls (sigaction, raise, _exit,
// kill, write), and the main thread may be stopped anywhere: inside Xlib holding its lock,
// inside the GL driver, inside malloc. The display mode cannot be put back from here,
// since that takes SDL and the window system; so it is not tried. Where the system undoes
// the switch itself when the process ends (Wayland, where fullscreen is the compositor's
// affair; Windows, where a CDS_FULLSCREEN mode is temporary) nothing is lost. On X11 a
// RandR mode outlives the process and stays until the desktop resets it; the first
// signal's shut-down is the way out that restores it, and this one is the user's choice.
void endByDefaultAction(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    // Blocked while its handler runs: unblocked, the raise acts before raise returns.
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal); // not reached: the default action of all four ends the process
}

// A signal that the show was started with ignored (nohup's SIGHUP) stays ignored: whoever
// started it asked for that signal to pass unnoticed.
void takeExitSignals(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // SDL installs its own SIGINT/SIGTERM handlers only where none is set, so these stay
    // (and it leaves an ignored one ignored too).
    for (int signal : kExitSignals) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}
