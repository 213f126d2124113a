// The music: Ogg Vorbis decoded on SDL's audio thread, and the audible position as a clock.
#include "shell/music_stream.h"
#include "shell/memory_file.h"
#include "shell/pulse_output.h"
#include <SDL2/SDL.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

const int kDeviceRate = 44100; // frames per second asked of the device before a file is open
// Frames per device buffer asked for: a power of two, as SDL 2.26 sizes some of its own
// buffers that way whatever it grants (other sizes overrun them).
const int kDeviceFrames = 1024;
const long kLargestFile = 256L << 20; // bytes; the music is read into memory whole

// What the audio callback last published: the audible position and where passes begin.
// Written by the audio thread only; read by the clock without any lock (see readAnchor).
struct Anchor {
    double frames = 0;     // audible position in file frames since playMusic, at counter
    Uint64 counter = 0;    // performance counter when the callback began
    Uint64 passStart = 0;  // frame at which the current pass began
    Uint64 passBefore = 0; // where the pass before it began
    double reach = 0;      // frames the clock may run on past `frames` by the wall clock
};

// A sequence lock: the writer makes the count odd while it writes, even when done; a
// reader retries while the count is odd or has changed under it. The audio thread never
// waits on a reader, and a reader waits only for the few stores of one publication.
struct PublishedAnchor {
    std::atomic<Uint32> sequence{0};
    std::atomic<double> frames{0};
    std::atomic<Uint64> counter{0}, passStart{0}, passBefore{0};
    std::atomic<double> reach{0};
};

struct {
    bool audioStarted = false; // SDL's audio subsystem is ours to quit
    bool onServer = false;     // playing through PulseAudio itself, not through SDL
    SDL_AudioDeviceID device = 0;
    // Frames per callback as granted; also what the device still holds after a callback,
    // the latency subtracted from what was handed over.
    int deviceFrames = 0;
    int deviceRate = 0;               // frames per second the callback is asked for
    std::vector<unsigned char> bytes; // the whole file: the audio thread never waits on a disk
    MemoryFile reader;                // the decoder's view of bytes
    OggVorbis_File file;
    bool fileOpen = false;
    std::atomic<bool> playing{false}; // playMusic has started the device
    int channels = 0;
    int rate = 0; // of the file: the clock counts its frames
    char error[320] = "";

    // Audio thread only while playing (set by playMusic with the callback held off).
    bool loop = false;
    bool ended = false;         // a stream that does not loop has run out
    Uint64 framesDelivered = 0; // handed to the device since playMusic
    Anchor anchor;              // the audio thread's copy of what it published last
    Uint64 passFrames = 0;      // frames of the file handed over in the current pass
    Uint64 fileFrames = 0;      // length of one pass, as the file's last page gives it

    PublishedAnchor published;

    // Main thread only: audible frames reported last, so the clock never steps back.
    double lastAudible = 0;
    // Frames since playMusic at which the server's current stream began: 0, or where the
    // clock stood when the music resumed on a server that came back.
    Uint64 streamBase = 0;
    Uint64 nextRetry = 0; // performance counter before which no reconnection is tried
} state;

void publishAnchor(const Anchor& anchor) {
    PublishedAnchor& p = state.published;
    Uint32 sequence = p.sequence.load(std::memory_order_relaxed);
    p.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    p.frames.store(anchor.frames, std::memory_order_relaxed);
    p.counter.store(anchor.counter, std::memory_order_relaxed);
    p.passStart.store(anchor.passStart, std::memory_order_relaxed);
    p.passBefore.store(anchor.passBefore, std::memory_order_relaxed);
    p.reach.store(anchor.reach, std::memory_order_relaxed);
    p.sequence.store(sequence + 2, std::memory_order_release);
}

Anchor readAnchor() {
    const PublishedAnchor& p = state.published;
    Anchor anchor;
    for (;;) {
        Uint32 before = p.sequence.load(std::memory_order_acquire);
        anchor.frames = p.frames.load(std::memory_order_relaxed);
        anchor.counter = p.counter.load(std::memory_order_relaxed);
        anchor.passStart = p.passStart.load(std::memory_order_relaxed);
        anchor.passBefore = p.passBefore.load(std::memory_order_relaxed);
        anchor.reach = p.reach.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((before & 1) == 0 && p.sequence.load(std::memory_order_relaxed) == before)
            return anchor;
    }
}

__attribute__((format(printf, 2, 3))) bool fail(const char** error, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(state.error, sizeof state.error, format, args);
    va_end(args);
    if (error)
        *error = state.error;
    return false;
}

// The whole file into state.bytes; false with errno set (or EFBIG) on failure.
bool readWholeFile(const char* path) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = size >= 0 && size <= kLargestFile && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        state.bytes.resize(size_t(size));
        ok = fread(state.bytes.data(), 1, state.bytes.size(), file) == state.bytes.size();
    } else if (size > kLargestFile) {
        errno = EFBIG;
    }
    fclose(file);
    state.reader = MemoryFile{state.bytes.data(), state.bytes.size(), 0};
    return ok;
}

const char* vorbisError(int code) {
    switch (code) {
    case OV_EREAD:
        return "read error";
    case OV_ENOTVORBIS:
        return "not an Ogg Vorbis file";
    case OV_EVERSION:
        return "unsupported Vorbis version";
    case OV_EBADHEADER:
        return "corrupt Vorbis header";
    default:
        return "cannot decode the file";
    }
}

// Up to `wanted` frames of the file into out as stereo; returns how many, 0 at the end
// of the stream. A damaged stretch (a hole, a bad packet) is skipped, a bounded number of
// times per call; at the end, silence makes up for what it lost, so every pass lasts as
// long as the file says and a loop comes round on time.
long decodeFrames(float* out, int wanted) {
    for (int tries = 0; tries < 64; ++tries) {
        float** pcm = nullptr;
        int section = 0;
        long got = ov_read_float(&state.file, &pcm, wanted, &section);
        if (got < 0)
            continue; // decoding resumes at the next good page
        if (got == 0) {
            got = long(std::min<Uint64>(
                state.fileFrames - std::min(state.passFrames, state.fileFrames), Uint64(wanted)));
            std::fill(out, out + 2 * got, 0.0f);
        } else {
            const int right = state.channels > 1 ? 1 : 0; // mono plays on both sides
            for (long i = 0; i < got; ++i) {
                out[2 * i] = pcm[0][i];
                out[2 * i + 1] = pcm[right][i];
            }
        }
        state.passFrames += Uint64(got);
        return got;
    }
    return -1;
}

// Fills out with decoded frames; at the end of the stream starts over from frame 0 when
// looping (recording where the new pass begins), else pads with silence.
void decodeBlock(float* out, int frames) {
    int done = 0;
    int restarts = 0; // a stream that decodes to nothing must not spin here
    bool passBegan = false;
    while (done < frames && !state.ended) {
        long got = decodeFrames(out + 2 * done, frames - done);
        if (got > 0) {
            done += int(got);
            restarts = 0;
        } else if (got == 0 && state.loop && restarts == 0 && ov_pcm_seek(&state.file, 0) == 0) {
            ++restarts;
            state.anchor.passBefore = state.anchor.passStart;
            state.anchor.passStart = state.framesDelivered + Uint64(done);
            state.passFrames = 0;
            passBegan = true;
        } else if (got < 0) {
            break; // a long damaged stretch: silence for now, decoding goes on next time
        } else {
            state.ended = true; // the end of a stream that does not loop
        }
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    state.framesDelivered += Uint64(frames);
    if (passBegan)
        publishAnchor(state.anchor);
}

// SDL's audio thread: SDL reports no latency, so the audible position is taken as
// everything handed over before this call less what the device still holds.
void SDLCALL fillAudio(void*, Uint8* bytes, int length) {
    state.anchor.frames = double(state.framesDelivered) - state.deviceFrames;
    state.anchor.counter = SDL_GetPerformanceCounter();
    state.anchor.reach = state.deviceFrames; // up to the next buffer boundary
    publishAnchor(state.anchor);
    decodeBlock(reinterpret_cast<float*>(bytes), length / int(2 * sizeof(float)));
}

// The sound server's thread, with the position the server says is being heard.
void fillFromServer(float* out, int frames, double audibleFrames) {
    double audible = double(state.streamBase) + audibleFrames;
    // While the server plays nothing (filling its buffer before it starts, or run dry)
    // its position stands still, and so does the clock.
    state.anchor.reach = audible > state.anchor.frames ? state.deviceFrames : 0;
    state.anchor.frames = audible;
    state.anchor.counter = SDL_GetPerformanceCounter();
    publishAnchor(state.anchor);
    decodeBlock(out, frames);
}

void closeMusicFile() {
    if (state.fileOpen)
        ov_clear(&state.file);
    state.fileOpen = false;
    state.reader = MemoryFile{};
    state.bytes.clear();
    state.bytes.shrink_to_fit();
}

} // namespace

void resetMusicSlots() {
    state.device = 0;
    state.fileOpen = false;
    state.playing = false;
}

namespace {
// Opens the device for stereo float frames at `rate`; SDL converts when the device
// runs at another rate. False with the reason in state.error.
bool openDevice(int rate, const char** error) {
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = fillAudio;
    // The callback then fills the device's own buffers, so one callback's worth is what
    // the device holds; a buffer size of SDL's choosing would add a queue the clock
    // cannot see.
    state.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (state.device == 0)
        return fail(error, "sound: cannot open an audio device: %s", SDL_GetError());
    state.deviceFrames = have.samples;
    state.deviceRate = rate;
    return true;
}
} // namespace

namespace {
// A PulseAudio server (PipeWire's included) is played to directly: it says which frame
// is being heard, where SDL reports no latency at all. SDL's drivers serve everywhere
// else, and whenever SDL_AUDIODRIVER names one of them.
bool wantServer() {
    const char* driver = getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || strcmp(driver, "pulseaudio") == 0 ||
           strcmp(driver, "pipewire") == 0;
}
} // namespace

bool initSound(const char** error) {
    state.onServer = wantServer() && connectPulse(nullptr);
    if (state.onServer)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return fail(error, "sound: cannot start the audio system: %s", SDL_GetError());
    state.audioStarted = true;
    if (!openDevice(kDeviceRate, error)) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.audioStarted = false;
        return false;
    }
    return true;
}

bool openMusic(const char* path, const char** error) {
    if (state.device) { // a stream opened before goes first, with the callback stopped
        SDL_PauseAudioDevice(state.device, 1);
        state.playing = false;
    }
    if (state.onServer) {
        stopPulseStream();
        state.playing = false;
    }
    closeMusicFile();
    if (!readWholeFile(path))
        return fail(error, "music: cannot open %s: %s", path, strerror(errno));
    int code = ov_open_callbacks(&state.reader, &state.file, nullptr, 0, memoryFileCallbacks());
    if (code != 0) {
        state.bytes.clear();
        return fail(error, "music: cannot open %s: %s", path, vorbisError(code));
    }
    state.fileOpen = true;
    // One logical stream only: a chained file could change rate or channels mid-way.
    vorbis_info* vi = ov_info(&state.file, -1);
    if (ov_streams(&state.file) != 1 || !vi || vi->channels < 1 || vi->channels > 2) {
        closeMusicFile();
        return fail(error, "music: cannot open %s: %s", path, "not a single mono or stereo stream");
    }
    state.channels = vi->channels;
    state.rate = int(vi->rate);
    ogg_int64_t total = ov_pcm_total(&state.file, -1);
    state.fileFrames = total > 0 ? Uint64(total) : 0;
    // The callback runs at the file's own rate, so its frames are the clock's frames.
    if (state.device && state.deviceRate != state.rate) {
        SDL_CloseAudioDevice(state.device);
        state.device = 0;
        if (!openDevice(state.rate, error)) {
            closeMusicFile();
            return false;
        }
    }
    return true;
}

namespace {
// Everything the audio thread keeps, back to the start of the file; no callback may run.
void rewindPlayback(bool loop) {
    ov_pcm_seek(&state.file, 0);
    state.loop = loop;
    state.ended = false;
    state.framesDelivered = 0;
    state.passFrames = 0;
    state.anchor = Anchor{};
    state.anchor.frames = -double(state.deviceFrames);
    state.anchor.counter = SDL_GetPerformanceCounter();
    publishAnchor(state.anchor);
    state.lastAudible = 0;
}
} // namespace

int playMusic(bool loop) {
    if (!state.fileOpen)
        return -1;
    if (state.onServer) {
        stopPulseStream();
        // The server's reports come with each block written (25 ms); the clock runs on
        // the wall clock for at most two blocks past the last.
        state.deviceFrames = state.rate / 20;
        state.streamBase = 0;
        rewindPlayback(loop);
        state.anchor.frames = 0;
        publishAnchor(state.anchor);
        if (!startPulseStream(state.rate, fillFromServer, nullptr))
            return -1;
        state.playing = true;
        return 0;
    }
    if (!state.device)
        return -1;
    SDL_LockAudioDevice(state.device);
    rewindPlayback(loop);
    state.playing = true;
    SDL_UnlockAudioDevice(state.device);
    SDL_PauseAudioDevice(state.device, 0);
    return 0;
}

namespace {
// The server went away: about once a second, try to reach one again and resume the
// music where the clock, which ran on meanwhile, now stands. `audible` counts frames since
// playMusic, `inPass` the file's frames into the current pass.
void resumeOnServer(double audible, double inPass, Uint64 now) {
    if (now < state.nextRetry)
        return;
    state.nextRetry = now + SDL_GetPerformanceFrequency();
    disconnectPulse(); // no stream, so no fill calls, until the new one starts
    if (!connectPulse(nullptr))
        return;
    state.framesDelivered = Uint64(std::llround(audible));
    state.streamBase = state.framesDelivered;
    state.passFrames = Uint64(std::llround(inPass));
    state.ended = ov_pcm_seek(&state.file, ogg_int64_t(state.passFrames)) != 0;
    state.anchor.frames = double(state.streamBase);
    state.anchor.reach = 0; // held until the new stream is heard
    state.anchor.counter = now;
    publishAnchor(state.anchor);
    startPulseStream(state.rate, fillFromServer, nullptr);
}
} // namespace

// Never takes the device lock: the audio thread holds it for a whole callback, decoding
// included, and the frame loop reads the clock twice a frame.
double musicTime() {
    if (!state.playing)
        return 0;
    Anchor anchor = readAnchor();
    Uint64 now = SDL_GetPerformanceCounter();
    double elapsed = double(now - anchor.counter) / double(SDL_GetPerformanceFrequency());
    // Between callbacks the position runs on the high-resolution clock, but never further
    // than the anchor allows (a late callback holds it there) and never backwards. With
    // the server gone it runs on in real time from where the audio was.
    bool silent = state.onServer && pulseLost();
    double ahead = elapsed * state.rate;
    if (!silent)
        ahead = std::min(ahead, anchor.reach);
    double audible = std::max(anchor.frames + ahead, state.lastAudible);
    state.lastAudible = audible;
    double start =
        audible >= double(anchor.passStart) ? double(anchor.passStart) : double(anchor.passBefore);
    double inPass = std::max(0.0, audible - start);
    if (silent)
        resumeOnServer(audible, inPass, now);
    int32_t ms = int32_t(inPass * 1000.0 / state.rate);
    return double(ms) * double(0.001f);
}

void closeSound() {
    if (state.onServer) {
        disconnectPulse(); // stops the stream, and so its fill calls, before the file goes
        state.onServer = false;
        state.playing = false;
    }
    if (state.device) {
        SDL_CloseAudioDevice(state.device); // stops the callback before the file goes
        state.device = 0;
        state.playing = false;
    }
    closeMusicFile();
    if (state.audioStarted) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.audioStarted = false;
    }
}
