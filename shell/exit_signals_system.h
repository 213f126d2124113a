// What the exit-signal handling needs of the system (exit_signals_posix.cpp or
// exit_signals_windows.cpp, as the build picks): each is called from a signal handler
// except takeExitSignals, so each keeps to async-signal-safe calls.
#pragma once

// Ends the child processes that hold the start-up question's box, where there are any.
void endQuestionChildren();
// Ends the process by the default action of `signal` (a second signal: the shut-down the
// first one started is stuck, or the user insists), so the parent sees which signal it was.
[[noreturn]] void endByDefaultAction(int signal);
// Sets handler for each of the system's exit signals, except one inherited as ignored.
void takeExitSignals(void (*handler)(int));
