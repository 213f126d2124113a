// A PulseAudio server (or PipeWire's PulseAudio service) as an output: a threaded main
// loop, one stream, and the position the server says is being heard.
#include "shell/music/audio_output.h"
#include "shell/music/music_clock.h"
#include <atomic>
#include <pulse/pulseaudio.h>

namespace {

// Latency asked of the server: enough buffered to ride out a busy machine, written in
// blocks of a tenth of it. The clock does not depend on it: the server reports it.
const pa_usec_t kTargetLatency = 250000; // µs
const pa_usec_t kBlock = 25000;          // µs
// Longest wait for the server to answer a connection or accept a stream: a server that
// hangs must not hold the caller (the keeper thread, or shut-down) for good.
const pa_usec_t kAnswerWithin = 3000000; // µs

enum Loss { kNone, kServerGone, kStreamFailed };

class PulseOutput final : public AudioOutput {
  public:
    ~PulseOutput() override { close(); }

    bool open(int rate, std::string* why) override {
        rate_ = rate;
        if (context_ && loss_ != kServerGone && pa_context_get_state(context_) == PA_CONTEXT_READY)
            return true;
        close();
        loss_ = kNone;
        loop_ = pa_threaded_mainloop_new();
        if (!loop_)
            return fail(why, "sound: cannot start a PulseAudio main loop", PA_ERR_INTERNAL);
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Glimwick");
        pa_context_set_state_callback(context_, contextChanged, this);
        // No autospawn: a machine without a server falls back to SDL's own drivers.
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            int code = pa_context_errno(context_);
            close();
            return fail(why, "sound: no PulseAudio server", code);
        }
        pa_threaded_mainloop_lock(loop_);
        started_ = pa_threaded_mainloop_start(loop_) == 0;
        bool ok = started_ &&
                  waitFor([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; });
        int code = timedOut_ ? PA_ERR_TIMEOUT : pa_context_errno(context_);
        pa_threaded_mainloop_unlock(loop_);
        if (!ok) {
            close();
            return fail(why, "sound: no PulseAudio server", code);
        }
        return true;
    }

    bool start(AudioSource& source, std::string* why) override {
        stop();
        if (!context_ || loss_ == kServerGone)
            return fail(why, "sound: the PulseAudio server is gone", PA_ERR_CONNECTIONTERMINATED);
        pa_threaded_mainloop_lock(loop_);
        loss_ = kNone;
        source_ = &source;
        writes_ = 0;
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, uint32_t(rate_), 2};
        stream_ = pa_stream_new(context_, "Music", &spec, nullptr);
        bool ok = stream_ != nullptr;
        if (ok) {
            pa_stream_set_state_callback(stream_, streamChanged, this);
            pa_stream_set_write_callback(stream_, writeWanted, this);
            pa_buffer_attr attr;
            attr.maxlength = uint32_t(-1);
            attr.tlength = uint32_t(pa_usec_to_bytes(kTargetLatency, &spec));
            attr.prebuf = uint32_t(-1);
            attr.minreq = uint32_t(pa_usec_to_bytes(kBlock, &spec));
            attr.fragsize = uint32_t(-1);
            auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING |
                                           PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
            ok =
                pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) == 0 &&
                waitFor([this] { return pa_stream_get_state(stream_) == PA_STREAM_READY; });
        }
        int code = timedOut_ ? PA_ERR_TIMEOUT : pa_context_errno(context_);
        pa_threaded_mainloop_unlock(loop_);
        if (!ok) {
            stop();
            return fail(why, "sound: cannot play on the PulseAudio server", code);
        }
        return true;
    }

    void stop() override {
        if (!stream_)
            return;
        pa_threaded_mainloop_lock(loop_);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        source_ = nullptr;
        pa_threaded_mainloop_unlock(loop_);
    }

    bool lost(std::string* why) override {
        Loss loss = loss_.load();
        if (loss == kNone)
            return false;
        if (why)
            *why = std::string(loss == kServerGone ? "the PulseAudio server went away: "
                                                   : "the PulseAudio server dropped the stream: ") +
                   pa_strerror(code_);
        return true;
    }

    void close() override {
        stop();
        if (started_)
            pa_threaded_mainloop_stop(loop_);
        started_ = false;
        if (context_) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        context_ = nullptr;
        if (loop_)
            pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }

  private:
    static void contextChanged(pa_context* context, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        pa_context_state_t s = pa_context_get_state(context);
        if (s == PA_CONTEXT_FAILED || s == PA_CONTEXT_TERMINATED) {
            out->code_ = pa_context_errno(context);
            out->loss_ = kServerGone;
        }
        pa_threaded_mainloop_signal(out->loop_, 0);
    }

    static void streamChanged(pa_stream* stream, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        if (pa_stream_get_state(stream) == PA_STREAM_FAILED && out->loss_ == kNone) {
            out->code_ = pa_context_errno(pa_stream_get_context(stream));
            out->loss_ = kStreamFailed;
        }
        pa_threaded_mainloop_signal(out->loop_, 0);
    }

    // The server wants `bytes` more: the music decodes straight into its buffer.
    static void writeWanted(pa_stream* stream, size_t bytes, void* self) {
        static_cast<PulseOutput*>(self)->serve(stream, bytes);
    }

    void serve(pa_stream* stream, size_t bytes) {
        // Fresh timing from the server every fourth block (100 ms): left to itself the
        // library asks ever more rarely (up to every 1.5 s) and interpolates in between.
        if (writes_++ % 4 == 0)
            if (pa_operation* op = pa_stream_update_timing_info(stream, nullptr, nullptr))
                pa_operation_unref(op);
        pa_usec_t played = 0;
        Heard heard;
        // Interpolated between the server's timing reports; fails only before the first.
        heard.frames = pa_stream_get_time(stream, &played) == 0 ? double(played) * rate_ / 1e6 : 0;
        heard.at = musicNow();
        // The reports come with each block written (25 ms): the clock may run on for two
        // blocks past the last, but not before the server has begun to play.
        heard.reach = heard.frames > 0 ? rate_ / 20.0 : 0.0;
        while (bytes >= 2 * sizeof(float)) {
            void* data = nullptr;
            size_t size = bytes;
            if (pa_stream_begin_write(stream, &data, &size) != 0 || !data)
                return;
            int frames = int(size / (2 * sizeof(float)));
            source_->fill(static_cast<float*>(data), frames, heard);
            pa_stream_write(stream, data, size_t(frames) * 2 * sizeof(float), nullptr, 0,
                            PA_SEEK_RELATIVE);
            bytes -= size_t(frames) * 2 * sizeof(float);
        }
    }

    static void timeUp(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->timedOut_ = true;
        pa_threaded_mainloop_signal(out->loop_, 0);
    }

    // Waits (main loop locked) until `ready`, a failure or kAnswerWithin; false unless ready.
    template <typename Ready> bool waitFor(Ready ready) {
        timedOut_ = false;
        pa_time_event* timer =
            pa_context_rttime_new(context_, pa_rtclock_now() + kAnswerWithin, timeUp, this);
        bool ok = true;
        while (!ready()) {
            if (loss_ != kNone || timedOut_) {
                ok = false;
                break;
            }
            pa_threaded_mainloop_wait(loop_);
        }
        if (timer)
            pa_threaded_mainloop_get_api(loop_)->time_free(timer);
        return ok;
    }

    bool fail(std::string* why, const char* what, int code) {
        if (why)
            *why = std::string(what) + ": " + pa_strerror(code);
        return false;
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool started_ = false; // the main loop's thread runs
    int rate_ = 0;
    bool timedOut_ = false; // main loop locked
    // Main loop's thread while playing:
    AudioSource* source_ = nullptr;
    int writes_ = 0; // write requests served since the stream began
    // Set on the main loop's thread, read anywhere:
    std::atomic<Loss> loss_{kNone};
    std::atomic<int> code_{0};
};

} // namespace

std::unique_ptr<AudioOutput> makePulseOutput() {
    return std::make_unique<PulseOutput>();
}
