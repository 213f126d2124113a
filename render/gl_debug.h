// GL error reporting for checked runs: the driver's debug output (KHR_debug) where it has
// it, glGetError at the end of each pass otherwise; off unless turned on.
#pragma once

// Turns the checks on for contexts created from now on (the window asks for debug
// contexts then). Call before the window exists.
void enableGlChecks();
bool glChecksEnabled();
// In the context just made current: installs the debug-output callback (synchronous, so
// an error is reported at the call that made it). contextName appears in each report.
void watchGlErrors(const char* contextName);
// Without debug output: reads and reports every pending glGetError of the current
// context, naming where. With it, or with checks off, does nothing.
void checkGlErrors(const char* where);
// The name of a glGetError value ("GL_INVALID_ENUM", ...), for reports.
const char* glErrorName(unsigned error);
// GL errors reported so far, in every context; each also gave one line on stderr.
int glErrorCount();
