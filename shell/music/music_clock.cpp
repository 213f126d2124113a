// The music clock's arithmetic and the lock-free hand-off of its anchor.
#include "shell/music/music_clock.h"
#include <algorithm>
#include <chrono>
#include <cmath>

int64_t musicNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double audibleFrames(const Anchor& anchor, int64_t now, int rate) {
    double elapsed = now > anchor.at ? double(now - anchor.at) * 1e-9 : 0.0;
    return anchor.frames + std::min(elapsed * rate, anchor.reach);
}

double framesIntoPass(const Anchor& anchor, double audible, const PassShape& shape) {
    double start = audible >= anchor.passStart ? anchor.passStart : anchor.passBefore;
    double into = std::max(0.0, audible - start);
    if (shape.loop && shape.length > 0 && into >= shape.length)
        into = std::fmod(into, shape.length);
    return into;
}

double clockSeconds(double framesIntoPass, int rate) {
    if (rate <= 0)
        return 0;
    // Truncated to whole milliseconds, as a sound library's millisecond position is;
    // held below the 32-bit limit (24 days) rather than overflow.
    double ms = std::min(std::floor(framesIntoPass * 1000.0 / rate), double(INT32_MAX));
    return double(int32_t(ms)) * double(0.001f);
}

double clockReading(const Anchor& anchor, int64_t now, const PassShape& shape, double* floor) {
    double audible = std::max(audibleFrames(anchor, now, shape.rate), *floor);
    *floor = audible;
    return clockSeconds(framesIntoPass(anchor, audible, shape), shape.rate);
}

void AnchorMailbox::publish(const Anchor& anchor) {
    uint32_t sequence = sequence_.load(std::memory_order_relaxed);
    sequence_.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    frames_.store(anchor.frames, std::memory_order_relaxed);
    at_.store(anchor.at, std::memory_order_relaxed);
    reach_.store(anchor.reach, std::memory_order_relaxed);
    passStart_.store(anchor.passStart, std::memory_order_relaxed);
    passBefore_.store(anchor.passBefore, std::memory_order_relaxed);
    sequence_.store(sequence + 2, std::memory_order_release);
}

Anchor AnchorMailbox::read() const {
    Anchor anchor;
    for (;;) {
        uint32_t before = sequence_.load(std::memory_order_acquire);
        anchor.frames = frames_.load(std::memory_order_relaxed);
        anchor.at = at_.load(std::memory_order_relaxed);
        anchor.reach = reach_.load(std::memory_order_relaxed);
        anchor.passStart = passStart_.load(std::memory_order_relaxed);
        anchor.passBefore = passBefore_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((before & 1) == 0 && sequence_.load(std::memory_order_relaxed) == before)
            return anchor;
    }
}
