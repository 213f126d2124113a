// The music on the web: the Ogg Vorbis file decoded whole, played looped through Web Audio
// on the AudioContext the page made on the viewer's click, and the audible position as the
// clock. All of the web build's sound is here (it stands in for music_stream.cpp).
#include "shell/music_decoder.h"
#include "shell/music_stream.h"
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <emscripten.h>
#include <vector>

// clang-format off
// 1 when the page's AudioContext exists and runs (the page resumes it on the click).
EM_JS(int, webAudioRunning, (), {
    var context = Module.glimwickAudio;
    return context && context.state === "running" ? 1 : 0;
});

// The decoded music as the one AudioBuffer; 0 when the browser refuses it.
EM_JS(int, webAudioLoad, (const float* left, const float* right, int frames, int rate), {
    try {
        var context = Module.glimwickAudio;
        var buffer = context.createBuffer(2, frames, rate);
        buffer.copyToChannel(HEAPF32.subarray(left >> 2, (left >> 2) + frames), 0);
        buffer.copyToChannel(HEAPF32.subarray(right >> 2, (right >> 2) + frames), 1);
        Module.glimwickMusic = { buffer: buffer, source: null, start: 0 };
        return 1;
    } catch (e) {
        return 0;
    }
});

// Starts the buffer from its beginning now; the position counts from this context time.
EM_JS(void, webAudioPlay, (int loop), {
    var context = Module.glimwickAudio;
    var music = Module.glimwickMusic;
    music.source = context.createBufferSource();
    music.source.buffer = music.buffer;
    music.source.loop = loop != 0;
    music.source.connect(context.destination);
    music.start = context.currentTime;
    music.source.start(music.start);
});

// Seconds of the music heard so far: the context time at the output (the timestamp the
// browser gives for what the speakers play now, carried forward to this moment), else the
// context's playback time less the output latency it reports, else less its base latency.
EM_JS(double, webAudioHeard, (), {
    var context = Module.glimwickAudio;
    var music = Module.glimwickMusic;
    var heard;
    if (context.getOutputTimestamp) {
        var stamp = context.getOutputTimestamp();
        if (stamp.contextTime > 0 && stamp.performanceTime > 0)
            heard = Math.min(context.currentTime,
                             stamp.contextTime + (performance.now() - stamp.performanceTime) / 1000);
    }
    if (heard === undefined)
        heard = context.currentTime - (context.outputLatency || context.baseLatency || 0);
    return heard - music.start;
});

EM_JS(void, webAudioStop, (), {
    var music = Module.glimwickMusic;
    if (music && music.source) {
        music.source.stop();
        music.source.disconnect();
    }
    Module.glimwickMusic = null;
});
// clang-format on

namespace {

struct {
    bool loaded = false;  // the AudioBuffer exists
    bool playing = false; // playMusic started it
    bool loop = false;
    double seconds = 0;   // length of one pass
    double lastHeard = 0; // the clock never steps back
} state;

bool fail(std::string* why, const char* path, const char* reason) {
    if (why)
        *why = std::string("music: cannot open ") + path + ": " + reason;
    return false;
}

} // namespace

void resetMusicSlots() {
    state = {};
}

bool initSound(std::string* why) {
    if (webAudioRunning())
        return true;
    if (why)
        *why = "sound: the browser would not start audio";
    return false;
}

bool openMusic(const char* path, std::string* why) {
    closeSound();
    // The desktop's decoder, read to the end of one pass: damaged stretches become silence
    // in place, so the web's music keeps the file's own times as the desktop's does.
    MusicDecoder decoder;
    if (!openMusicFile(decoder, path, why))
        return false;
    if (decoder.fileFrames == 0 || decoder.fileFrames > uint64_t(INT32_MAX / 2))
        return fail(why, path, "cannot tell how long the file lasts");
    int frames = int(decoder.fileFrames);
    rewindMusic(decoder, false);
    size_t count = size_t(frames);
    std::vector<float> stereo(count * 2);
    decodeMusic(decoder, stereo.data(), frames);
    std::vector<float> left(count), right(count);
    for (size_t i = 0; i < count; ++i) {
        left[i] = stereo[i * 2];
        right[i] = stereo[i * 2 + 1];
    }
    if (!webAudioLoad(left.data(), right.data(), frames, decoder.rate))
        return fail(why, path, "the browser refuses a buffer of this rate or length");
    state.loaded = true;
    state.seconds = double(frames) / decoder.rate;
    return true;
}

int playMusic(bool loop, std::string* why) {
    if (!state.loaded) {
        if (why)
            *why = "music: nothing to play";
        return -1;
    }
    webAudioPlay(loop);
    state.playing = true;
    state.loop = loop;
    state.lastHeard = 0;
    return 0;
}

double musicTime() {
    if (!state.playing)
        return 0;
    double heard = std::max(webAudioHeard(), state.lastHeard);
    state.lastHeard = heard;
    double inPass = state.loop ? std::fmod(heard, state.seconds) : std::min(heard, state.seconds);
    int32_t ms = int32_t(inPass * 1000.0);
    return double(ms) * double(0.001f);
}

void closeSound() {
    if (state.loaded)
        webAudioStop();
    state.loaded = false;
    state.playing = false;
}
