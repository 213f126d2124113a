// Ending the show on SIGINT, SIGTERM, SIGHUP and SIGQUIT the way Escape does.
#pragma once

// Takes over the four signals, except one inherited as ignored. Until holdExitSignals, a
// signal ends the process at once with status 0: only the start-up question exists then,
// and nothing needs undoing.
void installExitSignals();
// From now on a signal only records an end request, which the event pump takes like
// Escape, so the run goes through its whole shut-down; a second signal ends the process
// at once by that signal's default action.
void holdExitSignals();
// True once one of the four signals has arrived after holdExitSignals.
bool exitSignalled();
