// The music stream's interface over the player: which output plays, and the keeper that
// watches it and brings sound back, so that the frame loop never waits on either.
#include "shell/music_stream.h"
#include "shell/music_keeper.h"
#include "shell/music_player.h"
#include <cstdlib>
#include <memory>

namespace {

const int kDeviceRate = 44100; // frames per second asked of the output before a file is open

// Playing or not, nothing of it may outlive the process's static destruction running.
struct MusicState {
    ~MusicState();
    std::unique_ptr<AudioOutput> output;
    MusicPlayer player;
} music;

MusicState::~MusicState() {
    closeSound(); // an exit that skipped shut-down: the keeper ends before its player goes
}

void keepShowPlayer() {
    keepPlayer(music.player);
}

bool useOutput(std::unique_ptr<AudioOutput> output, std::string* why) {
    if (!output->open(kDeviceRate, why))
        return false;
    music.output = std::move(output);
    music.player.output = music.output.get();
    return true;
}

#ifndef __EMSCRIPTEN__
// SDL plays whenever SDL_AUDIODRIVER names a driver, whichever (pulseaudio included).
bool sdlAsked() {
    const char* driver = getenv("SDL_AUDIODRIVER");
    return driver && *driver;
}
#endif

} // namespace

void resetMusicSlots() {
    closeSound();
}

bool initSound(std::string* why) {
    closeSound();
#ifdef __EMSCRIPTEN__
    // A browser has one way to sound: the page's AudioContext.
    return useOutput(makeWebOutput(), why);
#else
    // A PulseAudio server (PipeWire's included) is played to directly: it says which frame
    // is being heard, where SDL reports no latency at all.
    if (!sdlAsked()) {
        std::unique_ptr<AudioOutput> server = makePulseOutput();
        if (server && useOutput(std::move(server), nullptr))
            return true;
    }
    return useOutput(makeSdlOutput(), why);
#endif
}

bool openMusic(const char* path, std::string* why) {
    stopKeeper();
    stopPlayer(music.player); // a stream opened before goes first, with the output stopped
    if (!openMusicFile(music.player.decoder, path, why))
        return false;
    // The output runs at the file's own rate, so its frames are the clock's frames.
    if (music.output && !music.output->open(music.player.decoder.rate, why)) {
        closeMusicDecoder(music.player.decoder);
        return false;
    }
    return true;
}

int playMusic(bool loop, std::string* why) {
    stopKeeper();
    if (!startPlayer(music.player, loop, why))
        return -1;
    startKeeper(keepShowPlayer);
    return 0;
}

double musicTime() {
    return playerTime(music.player);
}

void closeSound() {
    stopKeeper();
    stopPlayer(music.player); // no fill calls once it returns, before the file goes
    if (music.output)
        music.output->close();
    music.player.output = nullptr;
    music.output.reset();
    closeMusicDecoder(music.player.decoder);
}
