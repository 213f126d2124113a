// The music stream's interface over the player: which output plays, and the keeper thread
// that watches it and brings sound back, so that the frame loop never waits on either.
#include "shell/music_stream.h"
#include "shell/music_player.h"
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const int kDeviceRate = 44100; // frames per second asked of the output before a file is open
// How often the keeper looks at the output: a lost one is noticed within this.
const std::chrono::milliseconds kKeeperPeriod{20};

// Playing or not, nothing of it may outlive the process's static destruction running.
struct MusicState {
    ~MusicState();
    std::unique_ptr<AudioOutput> output;
    MusicPlayer player;
    std::thread keeper; // runs while the music plays
    std::mutex lock;
    std::condition_variable wake;
    bool quit = false; // under lock
} music;

MusicState::~MusicState() {
    closeSound(); // an exit that skipped shut-down: the keeper ends before its player goes
}

void keeperLoop() {
    std::unique_lock<std::mutex> held(music.lock);
    while (!music.quit) {
        music.wake.wait_for(held, kKeeperPeriod);
        if (music.quit)
            break;
        held.unlock();
        keepPlayer(music.player);
        held.lock();
    }
}

// Ends the keeper (waiting for a try under way, which the output bounds) so that the
// caller controls the output alone.
void stopKeeper() {
    if (!music.keeper.joinable())
        return;
    {
        std::lock_guard<std::mutex> held(music.lock);
        music.quit = true;
    }
    music.wake.notify_all();
    music.keeper.join();
}

void startKeeper() {
    stopKeeper();
    music.quit = false;
    music.keeper = std::thread(keeperLoop);
}

// SDL plays whenever SDL_AUDIODRIVER names a driver, whichever (pulseaudio included).
bool sdlAsked() {
    const char* driver = getenv("SDL_AUDIODRIVER");
    return driver && *driver;
}

} // namespace

void resetMusicSlots() {
    closeSound();
}

bool initSound(std::string* why) {
    closeSound();
    // A PulseAudio server (PipeWire's included) is played to directly: it says which frame
    // is being heard, where SDL reports no latency at all.
    if (!sdlAsked()) {
        std::unique_ptr<AudioOutput> server = makePulseOutput();
        if (server && server->open(kDeviceRate, nullptr)) {
            music.output = std::move(server);
            music.player.output = music.output.get();
            return true;
        }
    }
    std::unique_ptr<AudioOutput> device = makeSdlOutput();
    if (!device->open(kDeviceRate, why))
        return false;
    music.output = std::move(device);
    music.player.output = music.output.get();
    return true;
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
    startKeeper();
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
