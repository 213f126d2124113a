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
// When each recorded frame was captured: start + perFrame * frame (monotonic s). The
// slope is the least-squares one through the reads' capture times (PulseAudio's null
// sink was measured playing some 250 ppm fast by the system clock, steadily); the
// offset is the median over the reads, so a read made
// late by the scheduler (beyond what its reported latency makes good) does not count.
// *spread: the median distance of the reads from that line, s.
struct CaptureLine {
    double start;    // s
    double perFrame; // s
};
CaptureLine captureLine(const MonitorRecording& rec, int rate, double* spread);

// How fast the monitor's frames came by the system clock, in parts per million off the
// nominal rate: least-squares slopes of the reads' capture times and of their plain
// times (the latter free of the server's latency reports, noisier by scheduling).
void monitorRateError(const MonitorRecording& rec, int rate, double* byCapture, double* byRead);
