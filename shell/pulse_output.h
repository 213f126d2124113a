// Stereo float playback on a PulseAudio server (or PipeWire's PulseAudio service), with
// the position the server says is audible now.
#pragma once

// Called on the connection's thread for `frames` stereo frames at out. audibleFrames is
// the stream's position being heard right now, in frames since the stream began
// (the sink's and the transport's latency accounted for by the server).
using PulseFill = void (*)(float* out, int frames, double audibleFrames);

// Connects to the default server; false (reason in *error) when there is none.
bool connectPulse(const char** error);
// A new stream at `rate` frames per second, playing at once; any stream before it goes.
bool startPulseStream(int rate, PulseFill fill, const char** error);
// Stops and drops the stream; the fill function is not called again once it returns.
void stopPulseStream();
// There is no working connection or stream: the server went away, or could not be reached.
bool pulseLost();
// Closes the connection; safe to call again.
void disconnectPulse();
