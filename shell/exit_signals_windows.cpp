// The exit signals on Windows: the two its C runtime knows (a GUI program rarely gets
// either), by signal().
#include "shell/exit_signals_system.h"
#include <csignal>
#include <cstdlib>

namespace {
const int kExitSignals[] = {SIGINT, SIGTERM};
} // namespace

// The question box is a window of this process there: it goes with the process.
void endQuestionChildren() {}

// Nothing is lost by ending at once: a CDS_FULLSCREEN mode is temporary.
void endByDefaultAction(int signal) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    _exit(128 + signal); // not reached: the default action ends the process
}

// A signal that the show was started with ignored (nohup's SIGHUP) stays ignored: whoever
// started it asked for that signal to pass unnoticed.
void takeExitSignals(void (*handler)(int)) {
    for (int signal : kExitSignals)
        if (std::signal(signal, handler) == SIG_IGN)
            std::signal(signal, SIG_IGN);
}
