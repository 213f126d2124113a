// Signal-processing building blocks of the soundtrack synthesiser (see synth.h).
#include "assets/soundtrack/synth.h"
#include <algorithm>
#include <cmath>
#include <deque>

namespace {

// polyBLEP residual: smooths the step of a naive waveform at phase 0 over one sample.
double blep(double t, double step) {
    if (t < step) {
        t /= step;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - step) {
        t = (t - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// One damped feedback comb of the reverb.
struct Comb {
    std::vector<float> line;
    size_t pos = 0;
    double store = 0;
};

double combStep(Comb& c, double input, double feedback, double damping) {
    double out = c.line[c.pos];
    c.store = out * (1.0 - damping) + c.store * damping;
    c.line[c.pos] = float(input + c.store * feedback);
    c.pos = (c.pos + 1) % c.line.size();
    return out;
}

struct Allpass {
    std::vector<float> line;
    size_t pos = 0;
};

double allpassStep(Allpass& a, double input) {
    double delayed = a.line[a.pos];
    a.line[a.pos] = float(input + delayed * 0.5);
    a.pos = (a.pos + 1) % a.line.size();
    return delayed - input;
}

// Delay-line lengths in samples at 44100 Hz; the right channel's lines are 23 samples longer
// so the two channels decorrelate.
const int kCombLengths[] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int kAllpassLengths[] = {556, 441, 341, 225};
const int kStereoSpread = 23;

void reverbChannel(const StereoBuffer& send, std::vector<float>& out, int spread, double roomSize,
                   double damping) {
    std::vector<Comb> combs;
    for (int length : kCombLengths)
        combs.push_back(Comb{std::vector<float>(size_t(length + spread), 0.0f)});
    std::vector<Allpass> allpasses;
    for (int length : kAllpassLengths)
        allpasses.push_back(Allpass{std::vector<float>(size_t(length + spread), 0.0f)});
    for (size_t i = 0; i < out.size(); ++i) {
        double input = (send.left[i] + send.right[i]) * 0.015;
        double sum = 0;
        for (Comb& c : combs)
            sum += combStep(c, input, roomSize, damping);
        for (Allpass& a : allpasses)
            sum = allpassStep(a, sum);
        out[i] = float(sum * 3.0);
    }
}

} // namespace

StereoBuffer makeStereoBuffer(size_t frames) {
    return StereoBuffer{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
}

double nextNoise(Noise& noise) {
    uint32_t x = noise.state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    noise.state = x;
    return double(x) / 2147483648.0 - 1.0;
}

double sawWave(double phase, double step) {
    return 2.0 * phase - 1.0 - blep(phase, step);
}

double pulseWave(double phase, double step, double duty) {
    double naive = phase < duty ? 1.0 : -1.0;
    double shifted = phase + 1.0 - duty;
    shifted -= std::floor(shifted);
    return naive + blep(phase, step) - blep(shifted, step);
}

double midiToHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

SvfCoefficients svfCoefficients(double cutoffHz, double q) {
    double limited = std::min(cutoffHz, 0.45 * kSampleRate);
    double g = std::tan(M_PI * limited / kSampleRate);
    double k = 1.0 / q;
    double a1 = 1.0 / (1.0 + g * (g + k));
    return SvfCoefficients{a1, g * a1, g * g * a1, k};
}

SvfOutput svfProcess(Svf& f, const SvfCoefficients& c, double input) {
    double v3 = input - f.ic2;
    double v1 = c.a1 * f.ic1 + c.a2 * v3;
    double v2 = f.ic2 + c.a2 * f.ic1 + c.a3 * v3;
    f.ic1 = 2.0 * v1 - f.ic1;
    f.ic2 = 2.0 * v2 - f.ic2;
    return SvfOutput{v2, v1, input - c.k * v1 - v2};
}

double adsrGain(const Adsr& env, double held, double t) {
    // Level the envelope would have at time x if the note were held for ever.
    auto heldLevel = [&](double x) {
        if (x < env.attack)
            return x / env.attack;
        double d = x - env.attack;
        return env.sustain + (1.0 - env.sustain) * std::exp(-d / env.decay);
    };
    if (t < 0)
        return 0;
    if (t < held)
        return heldLevel(t);
    double r = t - held;
    if (r >= env.release)
        return 0;
    // Raised-cosine release from the level at note-off: smooth at both ends, so no click.
    return heldLevel(held) * 0.5 * (1.0 + std::cos(M_PI * r / env.release));
}

void mixPanned(StereoBuffer& out, size_t start, const std::vector<float>& mono, double gain,
               double pan) {
    double angle = (pan + 1.0) * M_PI * 0.25;
    double gl = gain * std::cos(angle) * M_SQRT2, gr = gain * std::sin(angle) * M_SQRT2;
    size_t n = std::min(mono.size(), out.left.size() > start ? out.left.size() - start : 0);
    for (size_t i = 0; i < n; ++i) {
        out.left[start + i] += float(mono[i] * gl);
        out.right[start + i] += float(mono[i] * gr);
    }
}

void mixInto(StereoBuffer& out, const StereoBuffer& in, double gain) {
    size_t n = std::min(out.left.size(), in.left.size());
    for (size_t i = 0; i < n; ++i) {
        out.left[i] += float(in.left[i] * gain);
        out.right[i] += float(in.right[i] * gain);
    }
}

StereoBuffer reverb(const StereoBuffer& send, double roomSize, double damping) {
    StereoBuffer wet = makeStereoBuffer(send.left.size());
    reverbChannel(send, wet.left, 0, roomSize, damping);
    reverbChannel(send, wet.right, kStereoSpread, roomSize, damping);
    return wet;
}

StereoBuffer pingPongDelay(const StereoBuffer& send, double delaySeconds, double feedback,
                           double toneHz) {
    size_t frames = send.left.size();
    size_t d = size_t(std::lround(delaySeconds * kSampleRate));
    StereoBuffer wet = makeStereoBuffer(frames);
    double tone = 1.0 - std::exp(-2.0 * M_PI * toneHz / kSampleRate); // one-pole low-pass
    double lowL = 0, lowR = 0;
    // Left repeats feed the right line and the other way round, so echoes alternate sides.
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    for (size_t i = 0; i < frames; ++i) {
        size_t p = i % d;
        double outL = lineL[p], outR = lineR[p];
        lowL += tone * (outL - lowL);
        lowR += tone * (outR - lowR);
        double mono = 0.5 * (send.left[i] + send.right[i]);
        lineL[p] = float(mono + feedback * lowR);
        lineR[p] = float(feedback * lowL);
        wet.left[i] = float(outL);
        wet.right[i] = float(outR);
    }
    return wet;
}

void highPass(StereoBuffer& buffer, double cutoffHz) {
    double r = std::exp(-2.0 * M_PI * cutoffHz / kSampleRate);
    for (std::vector<float>* channel : {&buffer.left, &buffer.right}) {
        double prevIn = 0, prevOut = 0;
        for (float& s : *channel) {
            double out = s - prevIn + r * prevOut;
            prevIn = s;
            prevOut = out;
            s = float(out);
        }
    }
}

void limitPeaks(StereoBuffer& buffer, double ceiling, double lookahead, double release) {
    size_t frames = buffer.left.size();
    size_t ahead = std::max<size_t>(1, size_t(lookahead * kSampleRate));
    // Gain each sample needs on its own.
    std::vector<double> need(frames);
    for (size_t i = 0; i < frames; ++i) {
        double peak =
            std::max(std::fabs(double(buffer.left[i])), std::fabs(double(buffer.right[i])));
        need[i] = peak > ceiling ? ceiling / peak : 1.0;
    }
    // Minimum over the next `ahead` samples (monotonic queue), then a slow recovery.
    std::vector<double> held(frames);
    std::deque<size_t> window;
    size_t next = 0;
    double recovery = 1.0 - std::exp(-1.0 / (release * kSampleRate));
    double level = 1.0;
    for (size_t i = 0; i < frames; ++i) {
        for (; next < frames && next <= i + ahead; ++next) {
            while (!window.empty() && need[window.back()] >= need[next])
                window.pop_back();
            window.push_back(next);
        }
        while (window.front() < i)
            window.pop_front();
        level = std::min(need[window.front()], level + (1.0 - level) * recovery);
        held[i] = level;
    }
    // Moving average over the past `ahead` samples: the gain glides down and reaches each
    // peak's need no later than the peak itself, since held covers it for `ahead` samples.
    double sum = 0;
    for (size_t i = 0; i < frames; ++i) {
        sum += held[i];
        if (i >= ahead)
            sum -= held[i - ahead];
        double count = double(std::min(i + 1, ahead));
        double gain = std::min(sum / count, held[i]);
        buffer.left[i] = float(buffer.left[i] * gain);
        buffer.right[i] = float(buffer.right[i] * gain);
    }
}
