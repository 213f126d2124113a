// The music through an output, its clock, and the way back from a lost output.
#include "shell/music/music_player.h"
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void sayLoss(MusicPlayer& player, const std::string& reason) {
    const char* what = reason.c_str();
    if (strncmp(what, "sound: ", 7) == 0)
        what += 7;
    std::string line = std::string("glimwick: sound lost (") + what + "); going on silent";
    if (player.say) {
        player.say(line.c_str());
    } else {
        fprintf(stderr, "%s\n", line.c_str());
        fflush(stderr);
    }
}

// A new stream begins: the output's reports count from there.
void beginStream(MusicPlayer& player, double at) {
    player.streamBase = at;
    player.delivered = at;
    player.heardBefore = -HUGE_VAL;
    player.heardAtBefore = 0;
}

// The output is stopped (or never started): the clock runs on in real time from where it
// stands at `now`, and a try to bring sound back is due in a second.
void goSilent(MusicPlayer& player, int64_t now, const std::string& reason) {
    player.output->stop();
    Anchor anchor = player.mailbox.read();
    anchor.frames = audibleFrames(anchor, now, player.shape.rate);
    anchor.at = now;
    anchor.reach = kRunsFree;
    player.anchor = anchor;
    player.mailbox.publish(anchor);
    player.silent = true;
    player.tries = 0;
    player.nextTry = now + kRetryEvery;
    sayLoss(player, reason);
}

// Opens and starts the output again with the music where the silent clock stands now,
// in whichever pass it has reached.
void tryToResume(MusicPlayer& player) {
    ++player.tries;
    player.output->stop();
    player.output->close();
    if (!player.output->open(player.shape.rate, nullptr))
        return;
    const Anchor running = player.anchor; // as goSilent published it
    int64_t now = player.now();
    double at = std::round(audibleFrames(running, now, player.shape.rate));
    double into = std::floor(framesIntoPass(running, at, player.shape));
    seekMusic(player.decoder, uint64_t(into));
    Anchor anchor = running;
    anchor.frames = at;
    anchor.at = now;
    anchor.passStart = at - into;
    anchor.passBefore = anchor.passStart - player.shape.length;
    player.anchor = anchor;
    player.mailbox.publish(anchor);
    beginStream(player, at);
    if (player.output->start(player, nullptr)) {
        player.silent = false;
        return;
    }
    // Still silent: the clock goes on as before the try, whatever the output said meanwhile.
    player.output->stop();
    player.anchor = running;
    player.mailbox.publish(running);
}

} // namespace

void MusicPlayer::fill(float* out, int frames, const Heard& heard) {
    // A report that repeats the last one (one request served in several pieces) changes
    // nothing; one that has not moved on holds the clock where it says.
    bool repeat = heard.frames == heardBefore && heard.at == heardAtBefore;
    if (!repeat)
        anchor.reach = heard.frames > heardBefore ? heard.reach : 0;
    heardBefore = heard.frames;
    heardAtBefore = heard.at;
    anchor.frames = streamBase + heard.frames;
    anchor.at = heard.at;
    mailbox.publish(anchor);
    long began = decodeMusic(decoder, out, frames);
    if (began >= 0) {
        anchor.passBefore = anchor.passStart;
        anchor.passStart = delivered + double(began);
        mailbox.publish(anchor);
    }
    delivered += frames;
}

bool startPlayer(MusicPlayer& player, bool loop, std::string* why) {
    if (!player.decoder.isOpen || !player.output) {
        if (why)
            *why = player.output ? "music: no music is open" : "sound: no sound output is open";
        return false;
    }
    player.output->stop();
    player.playing = false;
    rewindMusic(player.decoder, loop);
    player.shape.rate = player.decoder.rate;
    player.shape.length = double(player.decoder.fileFrames);
    player.shape.loop = loop;
    player.floor = 0;
    player.anchor = Anchor{};
    player.anchor.at = player.now();
    player.mailbox.publish(player.anchor);
    beginStream(player, 0);
    player.silent = false;
    player.playing = true;
    std::string reason;
    if (!player.output->start(player, &reason))
        goSilent(player, player.now(), reason);
    return true;
}

double playerTime(MusicPlayer& player) {
    if (!player.playing)
        return 0;
    return clockReading(player.mailbox.read(), player.now(), player.shape, &player.floor);
}

void keepPlayer(MusicPlayer& player) {
    if (!player.playing || !player.output)
        return;
    int64_t now = player.now();
    std::string reason;
    if (!player.silent) {
        if (player.output->lost(&reason))
            goSilent(player, now, reason);
        return;
    }
    if (now < player.nextTry)
        return;
    player.nextTry = now + kRetryEvery;
    tryToResume(player);
}

void stopPlayer(MusicPlayer& player) {
    if (player.output)
        player.output->stop();
    player.playing = false;
}
