// PulseAudio playback for the music: a threaded main loop, one stream, the server's clock.
#include "shell/pulse_output.h"
#ifdef GLIMWICK_HAVE_PULSE
#include <atomic>
#include <cstdio>
#include <cstring>
#include <pulse/pulseaudio.h>

namespace {

// Latency asked of the server: enough buffered to ride out a busy machine, written in
// blocks of a tenth of it. The clock does not depend on it: the server reports it.
const pa_usec_t kTargetLatency = 250000; // µs
const pa_usec_t kBlock = 25000;          // µs

struct {
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    PulseFill fill = nullptr;
    int rate = 0;
    int writes = 0;       // write requests served since the stream began
    bool started = false; // the main loop's thread runs
    std::atomic<bool> lost{false};
    char error[160] = "";
} state;

bool fail(const char** error, const char* what, int code) {
    snprintf(state.error, sizeof state.error, "sound: %s: %s", what, pa_strerror(code));
    if (error)
        *error = state.error;
    return false;
}

void contextChanged(pa_context* context, void*) {
    pa_context_state_t s = pa_context_get_state(context);
    if (s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED)
        state.lost = true;
    pa_threaded_mainloop_signal(state.loop, 0);
}

void streamChanged(pa_stream* stream, void*) {
    if (pa_stream_get_state(stream) == PA_STREAM_FAILED)
        state.lost = true;
    pa_threaded_mainloop_signal(state.loop, 0);
}

// The server wants `bytes` more: the music decodes straight into its buffer.
void writeWanted(pa_stream* stream, size_t bytes, void*) {
    // Fresh timing from the server every fourth block (100 ms): left to itself the library
    // asks ever more rarely (up to every 1.5 s) and interpolates in between.
    if (state.writes++ % 4 == 0)
        if (pa_operation* op = pa_stream_update_timing_info(stream, nullptr, nullptr))
            pa_operation_unref(op);
    pa_usec_t played = 0;
    // Interpolated between the server's timing reports; fails only before the first.
    double audible =
        pa_stream_get_time(stream, &played) == 0 ? double(played) * state.rate / 1e6 : 0;
    while (bytes >= 2 * sizeof(float)) {
        void* data = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) != 0 || !data)
            return;
        int frames = int(size / (2 * sizeof(float)));
        state.fill(static_cast<float*>(data), frames, audible);
        pa_stream_write(stream, data, size_t(frames) * 2 * sizeof(float), nullptr, 0,
                        PA_SEEK_RELATIVE);
        bytes -= size_t(frames) * 2 * sizeof(float);
    }
}

// Waits (main loop locked) until `ready` or failure; false on failure.
template <typename Ready> bool waitFor(Ready ready) {
    while (!ready()) {
        if (state.lost)
            return false;
        pa_threaded_mainloop_wait(state.loop);
    }
    return true;
}

} // namespace

bool connectPulse(const char** error) {
    state.lost = false;
    state.loop = pa_threaded_mainloop_new();
    if (!state.loop)
        return fail(error, "cannot start a PulseAudio main loop", PA_ERR_INTERNAL);
    state.context = pa_context_new(pa_threaded_mainloop_get_api(state.loop), "Glimwick");
    pa_context_set_state_callback(state.context, contextChanged, nullptr);
    // No autospawn: a machine without a server falls back to SDL's own drivers.
    if (pa_context_connect(state.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        int code = pa_context_errno(state.context);
        disconnectPulse();
        state.lost = true;
        return fail(error, "no PulseAudio server", code);
    }
    pa_threaded_mainloop_lock(state.loop);
    state.started = pa_threaded_mainloop_start(state.loop) == 0;
    bool ok = waitFor([] { return pa_context_get_state(state.context) == PA_CONTEXT_READY; });
    int code = pa_context_errno(state.context);
    pa_threaded_mainloop_unlock(state.loop);
    if (!ok) {
        disconnectPulse();
        state.lost = true;
        return fail(error, "no PulseAudio server", code);
    }
    return true;
}

bool startPulseStream(int rate, PulseFill fill, const char** error) {
    stopPulseStream();
    if (!state.context || state.lost)
        return fail(error, "the PulseAudio server is gone", PA_ERR_CONNECTIONTERMINATED);
    pa_threaded_mainloop_lock(state.loop);
    state.fill = fill;
    state.rate = rate;
    state.writes = 0;
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, uint32_t(rate), 2};
    state.stream = pa_stream_new(state.context, "Music", &spec, nullptr);
    bool ok = state.stream != nullptr;
    if (ok) {
        pa_stream_set_state_callback(state.stream, streamChanged, nullptr);
        pa_stream_set_write_callback(state.stream, writeWanted, nullptr);
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(pa_usec_to_bytes(kTargetLatency, &spec));
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(pa_usec_to_bytes(kBlock, &spec));
        attr.fragsize = uint32_t(-1);
        auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_ADJUST_LATENCY);
        ok = pa_stream_connect_playback(state.stream, nullptr, &attr, flags, nullptr, nullptr) ==
                 0 &&
             waitFor([] { return pa_stream_get_state(state.stream) == PA_STREAM_READY; });
    }
    int code = pa_context_errno(state.context);
    pa_threaded_mainloop_unlock(state.loop);
    if (!ok) {
        stopPulseStream();
        return fail(error, "cannot play on the PulseAudio server", code);
    }
    return true;
}

void stopPulseStream() {
    if (!state.stream)
        return;
    pa_threaded_mainloop_lock(state.loop);
    pa_stream_set_write_callback(state.stream, nullptr, nullptr);
    pa_stream_set_state_callback(state.stream, nullptr, nullptr);
    pa_stream_disconnect(state.stream);
    pa_stream_unref(state.stream);
    state.stream = nullptr;
    pa_threaded_mainloop_unlock(state.loop);
}

bool pulseLost() {
    return state.lost;
}

void disconnectPulse() {
    stopPulseStream();
    if (state.started)
        pa_threaded_mainloop_stop(state.loop);
    state.started = false;
    if (state.context) {
        pa_context_disconnect(state.context);
        pa_context_unref(state.context);
        state.context = nullptr;
    }
    if (state.loop)
        pa_threaded_mainloop_free(state.loop);
    state.loop = nullptr;
}

#else // built without libpulse: there is never a server, SDL plays everything

bool connectPulse(const char** error) {
    if (error)
        *error = "sound: built without PulseAudio";
    return false;
}
bool startPulseStream(int, PulseFill, const char** error) {
    return connectPulse(error);
}
void stopPulseStream() {}
bool pulseLost() {
    return true;
}
void disconnectPulse() {}

#endif
