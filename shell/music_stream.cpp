// The music: Ogg Vorbis decoded on SDL's audio thread, and the audible position as a clock.
#include "shell/music_stream.h"
#include "shell/memory_file.h"
#include <SDL2/SDL.h>
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

const int kRate = 44100;              // frames per second, of the device and of the file
const int kDeviceFrames = 1024;       // frames per device buffer asked for
const long kLargestFile = 256L << 20; // bytes; the music is read into memory whole

struct {
    bool audioStarted = false; // SDL's audio subsystem is ours to quit
    SDL_AudioDeviceID device = 0;
    // Frames per callback as granted; also what the device still holds after a callback,
    // the latency subtracted from what was handed over.
    int deviceFrames = 0;
    std::vector<unsigned char> bytes; // the whole file: the audio thread never waits on a disk
    MemoryFile reader;                // the decoder's view of bytes
    OggVorbis_File file;
    bool fileOpen = false;
    bool playing = false; // playMusic has started the device
    int channels = 0;
    char error[320] = "";

    // Written by the audio callback, read by the main thread under the device lock.
    bool loop = false;
    bool ended = false;           // a stream that does not loop has run out
    Uint64 framesDelivered = 0;   // handed to the device since playMusic
    Uint64 passStart[2] = {0, 0}; // [0] frame at which the current pass began, [1] the one before
    double anchorFrames = 0;      // audible position (frames, since playMusic) at anchorCounter
    Uint64 anchorCounter = 0;     // performance counter at the last callback

    // Main thread only: audible frames reported last, so the clock never steps back.
    double lastAudible = 0;
} state;

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

// Fills out with decoded frames; at the end of the stream starts over from frame 0 when
// looping (recording where the new pass begins), else pads with silence.
void SDLCALL fillAudio(void*, Uint8* bytes, int length) {
    float* out = reinterpret_cast<float*>(bytes);
    int frames = length / int(2 * sizeof(float));
    // Everything handed over before this call, less what the device still holds, is
    // what is audible now.
    state.anchorFrames = double(state.framesDelivered) - state.deviceFrames;
    state.anchorCounter = SDL_GetPerformanceCounter();

    int done = 0;
    int restarts = 0; // a stream that decodes to nothing must not spin here
    while (done < frames && !state.ended) {
        float** pcm = nullptr;
        int section = 0;
        long got = ov_read_float(&state.file, &pcm, frames - done, &section);
        if (got > 0) {
            const int right = state.channels > 1 ? 1 : 0; // mono plays on both sides
            for (long i = 0; i < got; ++i) {
                out[2 * (done + i)] = pcm[0][i];
                out[2 * (done + i) + 1] = pcm[right][i];
            }
            done += int(got);
            restarts = 0;
        } else if (got == OV_HOLE) {
            continue; // a gap in the data: decoding goes on after it
        } else if (got == 0 && state.loop && restarts == 0 && ov_pcm_seek(&state.file, 0) == 0) {
            ++restarts;
            state.passStart[1] = state.passStart[0];
            state.passStart[0] = state.framesDelivered + Uint64(done);
        } else {
            state.ended = true; // end of a stream that does not loop, or unreadable data
        }
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    state.framesDelivered += Uint64(frames);
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

bool initSound(const char** error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return fail(error, "sound: cannot start the audio system: %s", SDL_GetError());
    state.audioStarted = true;
    SDL_AudioSpec want{}, have{};
    want.freq = kRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = fillAudio;
    // The callback then fills the device's own buffers, so one callback's worth is what
    // the device holds; a buffer size of SDL's choosing would add a queue the clock
    // cannot see.
    state.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (state.device == 0) {
        fail(error, "sound: cannot open an audio device: %s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        state.audioStarted = false;
        return false;
    }
    state.deviceFrames = have.samples;
    return true;
}

bool openMusic(const char* path, const char** error) {
    if (state.device) { // a stream opened before goes first, with the callback stopped
        SDL_PauseAudioDevice(state.device, 1);
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
    if (ov_streams(&state.file) != 1 || !vi || vi->rate != kRate || vi->channels < 1 ||
        vi->channels > 2) {
        closeMusicFile();
        return fail(error, "music: cannot open %s: %s", path,
                    "not a single 44100 Hz mono or stereo stream");
    }
    state.channels = vi->channels;
    return true;
}

int playMusic(bool loop) {
    if (!state.device || !state.fileOpen)
        return -1;
    SDL_LockAudioDevice(state.device);
    ov_pcm_seek(&state.file, 0);
    state.loop = loop;
    state.ended = false;
    state.framesDelivered = 0;
    state.passStart[0] = state.passStart[1] = 0;
    state.anchorFrames = -double(state.deviceFrames);
    state.anchorCounter = SDL_GetPerformanceCounter();
    state.lastAudible = 0;
    state.playing = true;
    SDL_UnlockAudioDevice(state.device);
    SDL_PauseAudioDevice(state.device, 0);
    return 0;
}

double musicTime() {
    if (!state.playing)
        return 0;
    SDL_LockAudioDevice(state.device);
    Uint64 now = SDL_GetPerformanceCounter();
    double elapsed = double(now - state.anchorCounter) / double(SDL_GetPerformanceFrequency());
    // Between callbacks the position runs on the high-resolution clock, but never past the
    // next buffer boundary (a late callback holds it there) and never backwards.
    double audible = state.anchorFrames + std::min(elapsed * kRate, double(state.deviceFrames));
    audible = std::max(audible, state.lastAudible);
    state.lastAudible = audible;
    double start = audible >= double(state.passStart[0]) ? double(state.passStart[0])
                                                         : double(state.passStart[1]);
    SDL_UnlockAudioDevice(state.device);
    double inPass = std::max(0.0, audible - start);
    int32_t ms = int32_t(inPass * 1000.0 / kRate);
    return double(ms) * double(0.001f);
}

void closeSound() {
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
