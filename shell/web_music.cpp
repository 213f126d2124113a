// The music on the web: the Ogg Vorbis file decoded whole, played looped through Web Audio
// on the AudioContext the page made on the viewer's click, and the audible position as the
// clock. All of the web build's sound is here (it stands in for music_stream.cpp).
#include "shell/memory_file.h"
#include "shell/music_stream.h"
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <emscripten.h>
#include <vector>
#include <vorbis/vorbisfile.h>

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

bool readWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(size));
        ok = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    fclose(file);
    return ok;
}

// The whole stream as two planar channels (mono on both). False when it cannot be read;
// damaged stretches are skipped as the desktop decoder skips them.
bool decodeAll(OggVorbis_File& file, int channels, std::vector<float>& left,
               std::vector<float>& right) {
    ogg_int64_t total = ov_pcm_total(&file, -1);
    if (total > 0) {
        left.reserve(size_t(total));
        right.reserve(size_t(total));
    }
    int holes = 0;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        long got = ov_read_float(&file, &pcm, 4096, &section);
        if (got == 0)
            break;
        if (got < 0) {
            if (++holes > 1000)
                return false;
            continue;
        }
        left.insert(left.end(), pcm[0], pcm[0] + got);
        right.insert(right.end(), pcm[channels > 1 ? 1 : 0], pcm[channels > 1 ? 1 : 0] + got);
    }
    // A pass lasts as long as the file says, a lost stretch made up in silence.
    if (total > 0 && left.size() < size_t(total)) {
        left.resize(size_t(total), 0.0f);
        right.resize(size_t(total), 0.0f);
    }
    return !left.empty();
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
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes))
        return fail(why, path, strerror(errno ? errno : EIO));
    MemoryFile reader{bytes.data(), bytes.size(), 0};
    OggVorbis_File file;
    if (ov_open_callbacks(&reader, &file, nullptr, 0, memoryFileCallbacks()) != 0)
        return fail(why, path, "not an Ogg Vorbis file");
    vorbis_info* info = ov_info(&file, -1);
    bool usable = ov_streams(&file) == 1 && info && info->channels >= 1 && info->channels <= 2;
    int channels = usable ? info->channels : 0;
    int rate = usable ? int(info->rate) : 0;
    std::vector<float> left, right;
    bool decoded = usable && decodeAll(file, channels, left, right);
    ov_clear(&file);
    if (!usable)
        return fail(why, path, "not a single mono or stereo stream");
    if (!decoded)
        return fail(why, path, "cannot decode the file");
    if (!webAudioLoad(left.data(), right.data(), int(left.size()), rate))
        return fail(why, path, "the browser refuses a buffer of this rate or length");
    state.loaded = true;
    state.seconds = double(left.size()) / rate;
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
