// The music clock: what the output last said was audible (an anchor), handed from the
// audio thread to the frame loop without a lock, and the pure arithmetic that turns an
// anchor and the time now into the reading musicTime() returns.
#pragma once
#include <atomic>
#include <cstdint>
#include <limits>

// The monotonic clock anchors are stamped with, in nanoseconds (CLOCK_MONOTONIC on Linux,
// the clock PulseAudio stamps its timing with).
int64_t musicNow();

// Reach of an anchor while no output plays: the clock runs on in real time, unbounded.
const double kRunsFree = std::numeric_limits<double>::infinity();

struct Anchor {
    double frames = 0;     // audible position at `at`, in file frames since playMusic
    int64_t at = 0;        // ns, musicNow()'s clock
    double reach = 0;      // frames the reading may run on past `frames` by real time
    double passStart = 0;  // frame (since playMusic) at which the latest pass began
    double passBefore = 0; // where the pass before it began
};

// What the clock needs to know of the music besides the anchor.
struct PassShape {
    int rate = 0;      // file frames per second
    double length = 0; // frames in one pass; 0 when unknown
    bool loop = false; // a pass follows the last one
};

// Frames since playMusic audible at `now`: the anchor run on by real time, at most
// `reach` past it (so a late report holds the clock rather than let it guess).
double audibleFrames(const Anchor& anchor, int64_t now, int rate);
// Frames into the pass that `audible` falls in: since the latest pass start if it has
// been reached (it is published when decoded, before it is heard), else since the one
// before; past a pass's length when looping (no decoder told where: sound was lost), wrapped.
double framesIntoPass(const Anchor& anchor, double audible, const PassShape& shape);
// Whole milliseconds times the single-precision 0.001, the product formed in double.
double clockSeconds(double framesIntoPass, int rate);
// The reading at `now`, never below *floor (frames since playMusic), which it raises:
// monotonic within a pass for whoever keeps the floor.
double clockReading(const Anchor& anchor, int64_t now, const PassShape& shape, double* floor);

// A sequence lock over one Anchor: the writer makes the count odd while it writes, even
// when done; a reader retries while it is odd or has changed under it. One writer at a
// time (the output's thread while it plays, the keeper while none does); the writer never
// waits, a reader only for the few stores of one publication.
class AnchorMailbox {
  public:
    void publish(const Anchor& anchor);
    Anchor read() const;

  private:
    std::atomic<uint32_t> sequence_{0};
    std::atomic<double> frames_{0}, reach_{0}, passStart_{0}, passBefore_{0};
    std::atomic<int64_t> at_{0};
};
