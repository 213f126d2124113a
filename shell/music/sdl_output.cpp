// SDL's audio device as an output: SDL reports no latency, so the audible frame is taken
// to be one device buffer behind what was handed over, a guess.
#include "shell/music/audio_output.h"
#include "shell/music/music_clock.h"
#include <SDL2/SDL.h>

namespace {

// Frames per device buffer asked for: a power of two, as SDL 2.26 sizes some of its own
// buffers that way whatever it grants (other sizes overrun them).
const int kDeviceFrames = 1024;

class SdlOutput final : public AudioOutput {
  public:
    ~SdlOutput() override { close(); }

    bool open(int rate, std::string* why) override {
        if (device_ && rate == rate_)
            return true;
        closeDevice();
        if (!audioStarted_) {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
                return fail(why, "sound: cannot start the audio system: ");
            audioStarted_ = true;
        }
        SDL_AudioSpec want{}, have{};
        want.freq = rate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kDeviceFrames;
        want.callback = callback;
        want.userdata = this;
        // SDL converts to whatever the device runs at. The callback fills the device's own
        // buffers, so one callback's worth is what the device holds; a buffer of SDL's
        // choosing would add a queue the clock cannot see.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
        if (device_ == 0)
            return fail(why, "sound: cannot open an audio device: ");
        bufferFrames_ = have.samples;
        rate_ = rate;
        return true;
    }

    bool start(AudioSource& source, std::string* why) override {
        if (!device_) {
            if (why)
                *why = "sound: no audio device is open";
            return false;
        }
        SDL_LockAudioDevice(device_);
        source_ = &source;
        handedOver_ = 0;
        SDL_UnlockAudioDevice(device_);
        SDL_PauseAudioDevice(device_, 0);
        std::string reason;
        if (lost(&reason)) {
            stop();
            if (why)
                *why = reason;
            return false;
        }
        return true;
    }

    // SDL checks the pause flag under the device lock that the callback runs under.
    void stop() override {
        if (device_)
            SDL_PauseAudioDevice(device_, 1);
    }

    // A device SDL has found gone (SDL_AUDIODEVICEREMOVED: a card unplugged, SDL's own
    // server connection dropped) reports itself stopped for good.
    bool lost(std::string* why) override {
        if (!device_ || SDL_GetAudioDeviceStatus(device_) != SDL_AUDIO_STOPPED)
            return false;
        if (why)
            *why = "the audio device was removed";
        return true;
    }

    // The whole audio system goes too: a driver whose server went away reaches a new one
    // only when started afresh.
    void close() override {
        closeDevice();
        if (audioStarted_)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioStarted_ = false;
    }

  private:
    static void SDLCALL callback(void* self, Uint8* bytes, int length) {
        static_cast<SdlOutput*>(self)->serve(reinterpret_cast<float*>(bytes),
                                             length / int(2 * sizeof(float)));
    }

    void serve(float* out, int frames) {
        if (!source_) { // never started: nothing to play
            SDL_memset(out, 0, size_t(frames) * 2 * sizeof(float));
            return;
        }
        Heard heard;
        heard.frames = double(handedOver_) - bufferFrames_;
        heard.at = musicNow();
        heard.reach = bufferFrames_; // up to the next buffer boundary
        source_->fill(out, frames, heard);
        handedOver_ += uint64_t(frames);
    }

    bool fail(std::string* why, const char* what) {
        if (why)
            *why = std::string(what) + SDL_GetError();
        return false;
    }

    void closeDevice() {
        if (device_)
            SDL_CloseAudioDevice(device_); // stops the callback
        device_ = 0;
        rate_ = 0;
    }

    bool audioStarted_ = false; // SDL's audio subsystem is ours to quit
    SDL_AudioDeviceID device_ = 0;
    int rate_ = 0;
    int bufferFrames_ = 0;          // frames per callback as granted
    AudioSource* source_ = nullptr; // audio thread only while playing
    uint64_t handedOver_ = 0;       // frames handed to the device since start
};

} // namespace

std::unique_ptr<AudioOutput> makeSdlOutput() {
    return std::make_unique<SdlOutput>();
}
