// A browser's Web Audio as an output: the music handed over in chunks, each an AudioBuffer
// scheduled back to back on the page's AudioContext a couple of seconds ahead, and the
// frame heard now read from the context's own account of its output.
#include "shell/music/audio_output.h"
#include "shell/music/music_clock.h"
#include <algorithm>
#include <emscripten.h>
#include <emscripten/eventloop.h>
#include <vector>

// clang-format off
// 1 while the page's AudioContext runs (the page resumes it on the viewer's click), 2 while
// it is suspended (not started yet, or suspended by the browser), 0 when there is none or
// it is closed.
EM_JS(int, webAudioState, (), {
    var context = Module.glimwickAudio;
    if (!context) return 0;
    return context.state === "running" ? 1 : context.state === "suspended" ? 2 : 0;
});

// A new stream: its frame 0 is played at the first whole sample of the context a short
// lead-in from now (time to schedule the first chunks), so chunk boundaries fall on samples.
EM_JS(void, webStreamBegin, (int rate), {
    var context = Module.glimwickAudio;
    var start = Math.ceil((context.currentTime + 0.05) * context.sampleRate) / context.sampleRate;
    Module.glimwickStream = { context: context, rate: rate, start: start, queued: 0, nodes: [] };
});

// Frames of the stream heard now (negative before its first): the context time at the
// output (the browser's timestamp of what the speakers play, carried forward to now), else
// the context's time less the output latency it reports, else less its base latency.
EM_JS(double, webStreamHeard, (), {
    var stream = Module.glimwickStream;
    var context = stream.context;
    var heard;
    if (context.getOutputTimestamp) {
        var stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0 && stamp.performanceTime > 0)
            heard = Math.min(context.currentTime,
                             stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000);
    }
    if (heard === undefined)
        heard = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    return (heard - stream.start) * stream.rate;
});

// Schedules count interleaved stereo frames right after those queued before: 1 when done,
// 0 when the browser refuses the buffer, -1 when their time has already passed (the page
// fell behind; Web Audio would play them late).
EM_JS(int, webStreamPush, (const float* frames, int count), {
    var stream = Module.glimwickStream;
    var context = stream.context;
    var when = stream.start + stream.queued / stream.rate;
    if (when < context.currentTime) return -1;
    try {
        var buffer = context.createBuffer(2, count, stream.rate);
        var left = buffer.getChannelData(0), right = buffer.getChannelData(1);
        for (var i = 0, at = frames >> 2; i < count; i++, at += 2) {
            left[i] = HEAPF32[at];
            right[i] = HEAPF32[at + 1];
        }
        var node = context.createBufferSource();
        node.buffer = buffer;
        node.connect(context.destination);
        node.onended = function() {
            stream.nodes.splice(stream.nodes.indexOf(node), 1);
            node.disconnect();
        };
        node.start(when);
        stream.nodes.push(node);
        stream.queued += count;
        return 1;
    } catch (e) {
        return 0;
    }
});

// Silences and forgets the stream's scheduled buffers.
EM_JS(void, webStreamEnd, (), {
    var stream = Module.glimwickStream;
    if (!stream) return;
    stream.nodes.forEach(function(node) {
        node.onended = null;
        try { node.stop(); } catch (e) {}
        node.disconnect();
    });
    Module.glimwickStream = null;
});
// clang-format on

namespace {

const int kChunkFrames = 4096;    // frames per scheduled buffer: 93 ms at 44.1 kHz
const double kAheadSeconds = 2.0; // queued past what is heard: a background tab's timers
                                  // run once a second, and the queue must outlast that
const double kPumpMs = 50;        // how often the queue is topped up

bool fail(std::string* why, const char* reason) {
    if (why)
        *why = reason;
    return false;
}

class WebOutput final : public AudioOutput {
  public:
    ~WebOutput() override { close(); }

    // A context still suspended opens: the browser may take seconds to start it (a device
    // waking up), and until then the show goes on silent while the keeper tries start()
    // once a second. The page hands over no context when the browser will not start sound.
    bool open(int rate, std::string* why) override {
        if (webAudioState() == 0)
            return fail(why, "sound: the browser would not start audio");
        rate_ = rate;
        return true;
    }

    bool start(AudioSource& source, std::string* why) override {
        stop();
        int state = webAudioState();
        if (rate_ <= 0 || state == 0)
            return fail(why, "sound: the browser would not start audio");
        if (state != 1)
            return fail(why, "sound: the browser has not started audio yet");
        source_ = &source;
        chunk_.assign(size_t(kChunkFrames) * 2, 0.0f);
        queued_ = 0;
        trouble_ = nullptr;
        webStreamBegin(rate_);
        pump();
        if (trouble_) {
            stop();
            return fail(why, trouble_);
        }
        timer_ = emscripten_set_interval(onTimer, kPumpMs, this);
        return true;
    }

    void stop() override {
        if (timer_)
            emscripten_clear_interval(timer_);
        timer_ = 0;
        if (source_)
            webStreamEnd();
        source_ = nullptr;
    }

    bool lost(std::string* why) override {
        if (!source_)
            return false;
        int state = webAudioState();
        if (state != 1) {
            fail(why, state == 2 ? "sound: the browser suspended audio"
                                 : "sound: the page's audio has closed");
            return true;
        }
        if (trouble_) {
            fail(why, trouble_);
            return true;
        }
        return false;
    }

    void close() override {
        stop();
        rate_ = 0;
    }

  private:
    static void onTimer(void* self) { static_cast<WebOutput*>(self)->pump(); }

    // Tops the queue up to kAheadSeconds past what is heard, telling the source what is
    // heard now. Nothing is scheduled once something went wrong: lost() says what.
    void pump() {
        if (!source_ || trouble_ || webAudioState() != 1)
            return;
        const double heard = webStreamHeard();
        Heard now;
        now.at = musicNow();
        now.frames = std::clamp(heard, 0.0, queued_);
        // The clock may run on through what is queued, once the stream is heard at all.
        now.reach = heard > 0 ? queued_ - now.frames : 0;
        while (queued_ - now.frames < kAheadSeconds * rate_) {
            source_->fill(chunk_.data(), kChunkFrames, now);
            int pushed = webStreamPush(chunk_.data(), kChunkFrames);
            if (pushed != 1) {
                trouble_ = pushed == 0 ? "sound: the browser refuses a buffer at this rate"
                                       : "sound: the page fell behind its sound";
                return;
            }
            queued_ += kChunkFrames;
        }
    }

    int rate_ = 0;
    AudioSource* source_ = nullptr; // set while started
    long timer_ = 0;                // the pump's interval id
    double queued_ = 0;             // frames scheduled since start
    const char* trouble_ = nullptr; // why the stream stopped being fed, if it did
    std::vector<float> chunk_;      // one chunk, interleaved stereo
};

} // namespace

std::unique_ptr<AudioOutput> makeWebOutput() {
    return std::make_unique<WebOutput>();
}
