// Where the music is played: one small interface over SDL's audio device, a PulseAudio
// server, a browser's Web Audio, and (in tests) an output that plays nothing and hears
// what the test says.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What an output can tell of its own sound at one moment.
struct Heard {
    double frames = 0; // frames of this stream audible at `at`, counted from its start
    int64_t at = 0;    // musicNow()'s clock, ns
    double reach = 0;  // frames the stream may be taken to play on past `frames` by real
                       // time before the output speaks again; 0 while it stands still
};

// The music, as an output asks for it.
class AudioSource {
  public:
    // On the output's own thread: `frames` stereo float frames into out, with what is
    // audible now.
    virtual void fill(float* out, int frames, const Heard& heard) = 0;

  protected:
    ~AudioSource() = default;
};

// Control calls come from one thread at a time (start-up and shut-down on the main
// thread, recovery on the music's keeper); only lost() must never wait.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // Ready to play stereo float frames at `rate` per second: a device opened, a server
    // reached. May wait. False with the reason ("sound: ...").
    virtual bool open(int rate, std::string* why) = 0;
    // Begins asking source for frames from the output's thread. May wait for the stream
    // to be accepted. False with the reason, and then nothing is asked for.
    virtual bool start(AudioSource& source, std::string* why) = 0;
    // Stops asking: no fill call runs or begins once this returns. Safe when not started.
    virtual void stop() = 0;
    // The sound went away since start (device removed, server gone, stream failed):
    // true with the reason, never waiting.
    virtual bool lost(std::string* why) = 0;
    // Releases what open made; open may be called again. Safe to call again.
    virtual void close() = 0;
};

// SDL's audio device (whatever driver SDL_AUDIODRIVER names, or SDL's own choice).
std::unique_ptr<AudioOutput> makeSdlOutput();
// The PulseAudio server (PipeWire's PulseAudio service included); built with libpulse only.
std::unique_ptr<AudioOutput> makePulseOutput();
// The page's AudioContext (made on the viewer's click): the web build's only output.
std::unique_ptr<AudioOutput> makeWebOutput();

using MakeOutput = std::unique_ptr<AudioOutput> (*)();
// The outputs this build plays on, the most wanted first: the one choice of output, its
// body picked by the build per platform (output_choice_*.cpp). Never empty.
std::vector<MakeOutput> outputChoice();
