// Handlers for the signals that ask a program to end: they only set a flag (or, before
// anything is set up, leave at once), so the shut-down runs on the main thread; a second
// signal ends the process at once. What differs per system is in exit_signals_system.h.
#include "shell/exit_signals.h"
#include "shell/exit_signals_system.h"
#include <atomic>
#include <cstdlib>

namespace {

// Written by the handler, which may run on any thread (the audio thread included), and
// by two at the same time when two signals come together: lock-free atomics, which a
// handler may use, where volatile sig_atomic_t is only safe on the thread it interrupts.
static_assert(std::atomic<int>::is_always_lock_free, "written by signal handlers");
struct {
    std::atomic<int> atOnce{1};
    std::atomic<int> requested{0};
} state;

void onExitSignal(int signal) {
    if (state.atOnce.load()) {
        endQuestionChildren();
        std::_Exit(0); // nothing is switched or held yet
    }
    // Windows' C runtime puts the default action back before calling a handler, so there a
    // second Ctrl-C never reaches this and ends the process by itself.
    if (state.requested.exchange(1) != 0)
        endByDefaultAction(signal);
}

} // namespace

void installExitSignals() {
    takeExitSignals(onExitSignal);
}

void holdExitSignals() {
    state.atOnce.store(0);
}

bool exitSignalled() {
    return state.requested.load() != 0;
}
