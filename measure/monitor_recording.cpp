// Recording a PulseAudio monitor with capture times (see monitor_recording.h).
#include "measure/monitor_recording.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <pulse/error.h>
#include <pulse/pulseaudio.h>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void readable(pa_stream* stream, size_t, void* user) {
    MonitorRecording& rec = *static_cast<MonitorRecording*>(user);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
           bytes > 0) {
        double now = monotonicSeconds();
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
            rec.anchorFrame.push_back(double(rec.samples.size()));
            rec.anchorTime.push_back(now - (negative ? -1e-6 : 1e-6) * double(latency));
            rec.readTime.push_back(now);
        }
        const float* f = static_cast<const float*>(data);
        if (f)
            rec.samples.insert(rec.samples.end(), f, f + bytes / sizeof(float));
        else
            rec.samples.resize(rec.samples.size() + bytes / sizeof(float), 0.0f); // a hole
        pa_stream_drop(stream);
    }
}

void signalLoop(void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

} // namespace

bool startMonitorRecording(MonitorRecording& rec, const char* source, int rate) {
    rec.loop = pa_threaded_mainloop_new();
    rec.context = pa_context_new(pa_threaded_mainloop_get_api(rec.loop), "glimwick-measure");
    pa_context_set_state_callback(
        rec.context, [](pa_context*, void* loop) { signalLoop(loop); }, rec.loop);
    if (pa_context_connect(rec.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    pa_threaded_mainloop_lock(rec.loop);
    pa_threaded_mainloop_start(rec.loop);
    pa_context_state_t cs;
    while ((cs = pa_context_get_state(rec.context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(cs))
        pa_threaded_mainloop_wait(rec.loop);
    bool ok = cs == PA_CONTEXT_READY;
    if (ok) {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, uint32_t(rate), 1};
        rec.stream = pa_stream_new(rec.context, "monitor", &spec, nullptr);
        pa_stream_set_read_callback(rec.stream, readable, &rec);
        pa_stream_set_state_callback(
            rec.stream, [](pa_stream*, void* loop) { signalLoop(loop); }, rec.loop);
        // Room for 4 s of sound on the server's side: a reader held off by a busy machine
        // must find its sound late, not dropped (PipeWire's service otherwise keeps little).
        pa_buffer_attr attr{uint32_t(4 * rate * sizeof(float)), uint32_t(-1), uint32_t(-1),
                            uint32_t(-1), uint32_t(256 * sizeof(float))};
        auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_ADJUST_LATENCY);
        ok = pa_stream_connect_record(rec.stream, source, &attr, flags) == 0;
        pa_stream_state_t ss;
        while (ok && (ss = pa_stream_get_state(rec.stream)) != PA_STREAM_READY)
            if (PA_STREAM_IS_GOOD(ss))
                pa_threaded_mainloop_wait(rec.loop);
            else
                ok = false;
    }
    pa_threaded_mainloop_unlock(rec.loop);
    if (!ok)
        fprintf(stderr, "cannot record %s: %s\n", source,
                pa_strerror(pa_context_errno(rec.context)));
    return ok;
}

void stopMonitorRecording(MonitorRecording& rec) {
    pa_threaded_mainloop_stop(rec.loop);
    if (rec.stream) {
        pa_stream_disconnect(rec.stream);
        pa_stream_unref(rec.stream);
    }
    pa_context_disconnect(rec.context);
    pa_context_unref(rec.context);
    pa_threaded_mainloop_free(rec.loop);
}

double monotonicSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

namespace {

double slopePpm(const std::vector<double>& frames, const std::vector<double>& times, int rate) {
    double n = double(frames.size()), sf = 0, st = 0, sff = 0, sft = 0;
    if (n < 2)
        return 0;
    for (size_t i = 0; i < frames.size(); ++i) {
        double f = frames[i], t = times[i] - times[0];
        sf += f, st += t, sff += f * f, sft += f * t;
    }
    double perFrame = (n * sft - sf * st) / (n * sff - sf * sf);
    return 1e6 * (1.0 / (perFrame * rate) - 1.0);
}

} // namespace

void monitorRateError(const MonitorRecording& rec, int rate, double* byCapture, double* byRead) {
    *byCapture = slopePpm(rec.anchorFrame, rec.anchorTime, rate);
    *byRead = slopePpm(rec.anchorFrame, rec.readTime, rate);
}

CaptureLine captureLine(const MonitorRecording& rec, int rate, double* spread) {
    double byCapture = 0, byRead = 0;
    monitorRateError(rec, rate, &byCapture, &byRead);
    CaptureLine line{0, 1.0 / (rate * (1 + 1e-6 * byCapture))};
    std::vector<double> offsets;
    for (size_t i = 0; i < rec.anchorFrame.size(); ++i)
        offsets.push_back(rec.anchorTime[i] - line.perFrame * rec.anchorFrame[i]);
    line.start = median(offsets);
    std::vector<double> residual;
    for (double o : offsets)
        residual.push_back(std::fabs(o - line.start));
    if (spread)
        *spread = median(residual);
    return line;
}
