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
// In a child between fork and exec, with all signals blocked since before the fork: the
// default actions back, so that no signal runs the capture's handler in the child.
void resetCaptureSignalsInChild();
