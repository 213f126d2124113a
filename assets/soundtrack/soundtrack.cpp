// Mixes the soundtrack's score: buses, kick-ducking, reverb and delay, loudness and the fade.
#include "assets/soundtrack/soundtrack.h"
#include "shell/schedule.h"
#include <algorithm>
#include <cmath>

namespace {

// How each instrument sits in the mix: level, effect sends and whether the kick ducks it.
struct Channel {
    double level, reverbSend, delaySend;
    bool ducked;
};

Channel channelFor(Instrument instrument) {
    switch (instrument) {
    case Instrument::Kick:
        return {1.0, 0.0, 0.0, false};
    case Instrument::Snare:
    case Instrument::Clap:
        return {0.9, 0.25, 0.0, false};
    case Instrument::ClosedHat:
    case Instrument::OpenHat:
        return {0.8, 0.05, 0.0, false};
    case Instrument::Tom:
        return {0.8, 0.2, 0.0, false};
    case Instrument::Crash:
        return {0.8, 0.3, 0.0, false};
    case Instrument::Impact:
        return {0.9, 0.35, 0.0, false};
    case Instrument::Riser:
        return {0.8, 0.3, 0.0, true};
    case Instrument::Bass:
        return {1.0, 0.0, 0.0, true};
    case Instrument::Pad:
        return {1.0, 0.35, 0.0, true};
    case Instrument::Arp:
        return {1.0, 0.2, 0.45, true};
    case Instrument::Lead:
        return {1.0, 0.25, 0.3, false};
    default: // Bell
        return {1.0, 0.5, 0.25, false};
    }
}

size_t frameAt(double seconds) {
    return size_t(std::lround(seconds * kSampleRate));
}

// Gain the kick leaves to ducked instruments: dips by `depth` within 5 ms of each kick and
// recovers over about 150 ms, so the pads breathe with the beat.
std::vector<float> duckingGain(const std::vector<Note>& score, size_t frames, double depth) {
    std::vector<float> gain(frames, 1.0f);
    const double fall = 0.005, recover = 0.15;
    for (const Note& n : score) {
        if (n.instrument != Instrument::Kick)
            continue;
        size_t start = frameAt(n.start);
        size_t end = std::min(frames, start + frameAt(5.0 * recover));
        for (size_t i = start; i < end; ++i) {
            double t = double(i - start) / kSampleRate;
            double dip = t < fall ? 0.5 * (1.0 - std::cos(M_PI * t / fall))
                                  : std::exp(-(t - fall) / recover);
            gain[i] = std::min(gain[i], float(1.0 - depth * n.velocity * dip));
        }
    }
    return gain;
}

// Breaks: the ducked instruments fall to a tenth over 20 ms from the start of a break and
// come back within 3 ms at its end, so the accent that follows lands in a moment of space.
void applyBreaks(const std::vector<Note>& score, std::vector<float>& gain) {
    const double fall = 0.02, rise = 0.003, floor = 0.1;
    for (const Note& n : score) {
        if (n.instrument != Instrument::Break)
            continue;
        size_t start = frameAt(n.start), end = std::min(gain.size(), frameAt(n.start + n.length));
        for (size_t i = start; i < end; ++i) {
            double t = double(i - start) / kSampleRate, left = double(end - i) / kSampleRate;
            double down = t < fall ? 0.5 * (1.0 + std::cos(M_PI * t / fall)) : 0.0;
            double up = left < rise ? 0.5 * (1.0 - std::cos(M_PI * (rise - left) / rise)) : 0.0;
            double g = floor + (1.0 - floor) * std::max(down, up);
            gain[i] = std::min(gain[i], float(g));
        }
    }
}

double rmsOver(const StereoBuffer& b, double from, double to) {
    double sum = 0;
    size_t a = frameAt(from), e = std::min(frameAt(to), b.left.size());
    for (size_t i = a; i < e; ++i)
        sum += double(b.left[i]) * b.left[i] + double(b.right[i]) * b.right[i];
    return std::sqrt(sum / double(2 * (e - a)));
}

} // namespace

std::vector<float> mixSoundtrack(const std::vector<Note>& score) {
    size_t frames = frameAt(kSoundtrackSeconds);
    StereoBuffer dry = makeStereoBuffer(frames), ducked = makeStereoBuffer(frames);
    StereoBuffer reverbBus = makeStereoBuffer(frames), delayBus = makeStereoBuffer(frames);
    for (size_t k = 0; k < score.size(); ++k) {
        const Note& n = score[k];
        Channel ch = channelFor(n.instrument);
        StereoBuffer voice = renderNote(n, uint32_t(k + 1));
        size_t start = frameAt(n.start);
        size_t count = std::min(voice.left.size(), frames > start ? frames - start : 0);
        StereoBuffer& target = ch.ducked ? ducked : dry;
        for (size_t i = 0; i < count; ++i) {
            float l = voice.left[i] * float(ch.level), r = voice.right[i] * float(ch.level);
            target.left[start + i] += l;
            target.right[start + i] += r;
            reverbBus.left[start + i] += l * float(ch.reverbSend);
            reverbBus.right[start + i] += r * float(ch.reverbSend);
            delayBus.left[start + i] += l * float(ch.delaySend);
            delayBus.right[start + i] += r * float(ch.delaySend);
        }
    }

    std::vector<float> duck = duckingGain(score, frames, 0.55);
    applyBreaks(score, duck);
    for (size_t i = 0; i < frames; ++i) {
        dry.left[i] += ducked.left[i] * duck[i];
        dry.right[i] += ducked.right[i] * duck[i];
    }
    // Echoes a dotted eighth apart (0.375 s at 120 beats a minute), then everything into the room.
    StereoBuffer echoes = pingPongDelay(delayBus, 0.375, 0.38, 3500.0);
    mixInto(dry, echoes, 0.5);
    mixInto(reverbBus, echoes, 0.3);
    mixInto(dry, reverb(reverbBus, 0.86, 0.3), 0.7);
    highPass(dry, 20.0);

    // Loudness: the part with drums (from scene 2, row 4 of the script, to the end part,
    // row 21) at -14 dBFS RMS, peaks held under -3 dBFS so the encoded file, whose peaks
    // overshoot by up to about 1 dB, stays below -1 dBFS.
    double gain = std::pow(10.0, -14.0 / 20.0) / rmsOver(dry, rowStart(4), rowStart(21));
    for (size_t i = 0; i < frames; ++i) {
        dry.left[i] = float(dry.left[i] * gain);
        dry.right[i] = float(dry.right[i] * gain);
    }
    limitPeaks(dry, std::pow(10.0, -3.0 / 20.0), 0.005, 0.08);

    // Fade to silence over the last 2 s of the run (raised cosine), silence after.
    const double runEnd = kSchedule[kScheduleRows - 1].seconds, fadeFrom = runEnd - 2.0;
    std::vector<float> out(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        double t = double(i) / kSampleRate;
        double fade = t < fadeFrom  ? 1.0
                      : t >= runEnd ? 0.0
                                    : 0.5 * (1.0 + std::cos(M_PI * (t - fadeFrom) / 2.0));
        out[2 * i] = float(dry.left[i] * fade);
        out[2 * i + 1] = float(dry.right[i] * fade);
    }
    return out;
}
