// The capture's own handling of the signals that ask a program to end: each is recorded,
// and a descriptor turns readable so that any wait can be cut short and cleaned up after.
#pragma once
#include <string>

// Takes over SIGHUP, SIGINT, SIGTERM and SIGQUIT (one inherited as ignored, as under nohup,
// stays ignored) and ignores SIGPIPE. Called first thing, before anything is made.
bool installCaptureSignals(std::string* error);
// The first of the four signals that arrived, or 0.
int captureSignal();
// Readable from the first signal on (never drained): poll it beside what is waited for.
int captureSignalFd();
// After the clean-up for the signal captureSignal() names: ends the process by that
// signal's default action, so that a shell running captures in a loop sees the signal and
// stops too (an exit with 128 + n would say the capture handled it). 128 + n if the default
// action somehow did not end the process.
[[noreturn]] void endByCaptureSignal();
// In a child between fork and exec, with all signals blocked since before the fork: the
// default actions back, so that no signal runs the capture's handler in the child.
void resetCaptureSignalsInChild();
