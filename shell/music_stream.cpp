// The music stream's interface over the player: which output plays, and the keeper that
// watches it and brings sound back, so that the frame loop never waits on either.
#include "shell/music_stream.h"
#include "shell/music/music_keeper.h"
#include "shell/music/music_player.h"
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

} // namespace

void resetMusicSlots() {
    closeSound();
}

bool initSound(std::string* why) {
    closeSound();
    // The first output that opens plays; only the last one's failure is the reason given.
    std::vector<MakeOutput> choice = outputChoice();
    for (size_t i = 0; i < choice.size(); ++i)
        if (useOutput(choice[i](), i + 1 == choice.size() ? why : nullptr))
            return true;
    return false;
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
