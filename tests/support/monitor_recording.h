// Records a PulseAudio source (a sink's monitor) as mono float frames, with the time at
// which they were captured, for measuring when sound was actually played.
#pragma once
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

// CLOCK_MONOTONIC in seconds: the clock both the recording and its users stamp with.
double monotonicSeconds();

// The monitor's samples, and for reads the capture time of their first sample (the
// time of the read less the recording latency the server reports, which on a monitor is
// negative by the sink's own latency: the monitor hears a block before it is played).
struct MonitorRecording {
    std::vector<float> samples;
    std::vector<double> anchorFrame, anchorTime;
    std::vector<double> readTime; // when each read happened, latency not taken off
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
};

bool startMonitorRecording(MonitorRecording& rec, const char* source, int rate);
void stopMonitorRecording(MonitorRecording& rec);
// Capture time of frame 0 (monotonic s). A null sink, and so its monitor, runs on the
// system clock: frames follow at the nominal rate from one offset, the median over all
// reads (a late read is made good by the latency reported with it; the median drops the
// rest). *spread: the median distance of the reads from that line, s.
double firstFrameTime(const MonitorRecording& rec, int rate, double* spread);
// How fast the monitor's frames came by the system clock, in parts per million off the
// nominal rate: least-squares slopes of the reads' capture times and of their plain
// times (the latter free of the server's latency reports, noisier by scheduling).
void monitorRateError(const MonitorRecording& rec, int rate, double* byCapture, double* byRead);
