// Signal handlers that record the signal and write one byte to a pipe: nothing else is
// async-signal-safe enough to do there, and the main thread cleans up on seeing either.
#include "capture/capture_signals.h"
#include "shell/exit_signals_system.h"
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace {

const int kEndSignals[] = {SIGHUP, SIGINT, SIGTERM, SIGQUIT};

// Set from handlers that may run on any thread (the writer's, SDL's), hence lock-free.
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler writes it");

struct {
    std::atomic<int> signal{0};
    int wake[2] = {-1, -1}; // read end polled, write end written by the handler
    bool handled[4] = {};   // per kEndSignals: our handler is installed
} state;

void onEndSignal(int signal) {
    int none = 0;
    state.signal.compare_exchange_strong(none, signal);
    int saved = errno;
    const char byte = 1;
    // Non-blocking: once the pipe holds a byte, more changes nothing.
    if (write(state.wake[1], &byte, 1) < 0) {
    }
    errno = saved;
}

} // namespace

bool installCaptureSignals(std::string* error) {
    if (pipe2(state.wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = std::string("cannot make a pipe for signals: ") + strerror(errno);
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 4; ++i) {
        struct sigaction old {};
        sigaction(kEndSignals[i], nullptr, &old);
        if (old.sa_handler == SIG_IGN)
            continue; // nohup's SIGHUP: the user asked for it to pass unnoticed
        sigaction(kEndSignals[i], &action, nullptr);
        state.handled[i] = true;
    }
    // A dead ffmpeg shows as EPIPE on the write instead.
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int captureSignal() {
    return state.signal.load();
}

int captureSignalFd() {
    return state.wake[0];
}

void endByCaptureSignal() {
    endByDefaultAction(state.signal.load());
}

void resetCaptureSignalsInChild() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 4; ++i)
        if (state.handled[i])
            sigaction(kEndSignals[i], &action, nullptr);
    sigaction(SIGPIPE, &action, nullptr);
}
