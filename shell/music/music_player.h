// The music played through one output, read as a clock, and kept going when the output
// fails: the clock then runs on in real time, and the music resumes where it stands once
// an output plays again. music_stream.cpp holds the show's one player; tests make their own
// with a test output and a clock of their own.
#pragma once
#include "shell/music/audio_output.h"
#include "shell/music/music_clock.h"
#include "shell/music/music_decoder.h"
#include <atomic>
#include <cstdint>
#include <string>

// Nanoseconds between two tries to bring sound back.
const int64_t kRetryEvery = 1000000000;

struct MusicPlayer final : AudioSource {
    MusicDecoder decoder;
    AudioOutput* output = nullptr;           // not owned; open at the decoder's rate before start
    int64_t (*now)() = musicNow;             // the clock anchors are stamped with
    void (*say)(const char* line) = nullptr; // the loss line; null: stderr

    AnchorMailbox mailbox;
    PassShape shape; // set by startPlayer, then only read
    std::atomic<bool> playing{false};
    double floor = 0; // reader only: frames the next reading may not go below

    // The output's thread while it plays; whoever controls the output while none does.
    Anchor anchor;          // as last published
    double streamBase = 0;  // frame since playMusic at which the output's stream began
    double delivered = 0;   // frames handed over since playMusic
    double heardBefore = 0; // the output's previous report, to see it stand still
    int64_t heardAtBefore = 0;

    // Whoever controls the output (the caller of startPlayer, then the keeper).
    bool silent = false; // no output plays; the clock runs on by real time
    int64_t nextTry = 0; // no try to bring sound back before this
    int tries = 0;       // tries made since sound was lost

    void fill(float* out, int frames, const Heard& heard) override;
};

// From frame 0, looping or not. If the output does not start, the show goes on silent
// (saying why once) and keepPlayer tries again. False, with the reason, only when there is
// no music or no output.
bool startPlayer(MusicPlayer& player, bool loop, std::string* why);
// The clock (musicTime's reading) for the frame loop: 0 unless playing. Never waits.
double playerTime(MusicPlayer& player);
// One step of the keeper: an output found lost is stopped and the clock set running on
// from where it stood, the loss said once; while silent, at most once every kRetryEvery,
// the output is opened and started again with the music at the clock's position. May
// wait on the output, so never on the frame loop's thread.
void keepPlayer(MusicPlayer& player);
// Stops the output's calls; the clock reads 0 from now on.
void stopPlayer(MusicPlayer& player);
