// The soundtrack's instruments: drums, effects and pitched voices rendered one note at a time.
#include "assets/soundtrack/instruments.h"
#include <algorithm>
#include <cmath>

namespace {

const double kTwoPi = 2.0 * M_PI;

// Gain ramps at both ends of a voice of `frames` samples (ramps in seconds): the first and
// the last sample are exactly zero, so every note starts and ends at silence.
double edgeGain(size_t i, size_t frames, double rampIn, double rampOut) {
    double in = double(i) / (rampIn * kSampleRate);
    double out = double(frames - 1 - i) / (rampOut * kSampleRate);
    return std::min({1.0, in, out});
}

size_t framesFor(double seconds) {
    return size_t(std::ceil(seconds * kSampleRate));
}

// Renders a mono voice of `seconds` from a per-sample function of time and index.
template <typename Fn> std::vector<float> monoVoice(double seconds, Fn sample) {
    std::vector<float> out(framesFor(seconds));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / kSampleRate;
        out[i] = float(sample(t, i) * edgeGain(i, out.size(), 0.0008, 0.004));
    }
    return out;
}

std::vector<float> kick(const Note& n, Noise& noise) {
    double phase = 0;
    return monoVoice(0.5, [&](double t, size_t) {
        double hz = 50.0 + 120.0 * std::exp(-t / 0.03) + 300.0 * std::exp(-t / 0.003);
        phase += hz / kSampleRate;
        double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.18);
        double click = nextNoise(noise) * std::exp(-t / 0.0015) * 0.25;
        return n.velocity * std::tanh(1.6 * (body + click)) / std::tanh(1.6);
    });
}

std::vector<float> snare(const Note& n, Noise& noise) {
    double phase = 0;
    Svf filter;
    SvfCoefficients c = svfCoefficients(1800.0 + 1500.0 * n.tone, 0.7);
    return monoVoice(0.35, [&](double t, size_t) {
        phase += (180.0 + 60.0 * std::exp(-t / 0.02)) / kSampleRate;
        double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.06) * 0.55;
        SvfOutput f = svfProcess(filter, c, nextNoise(noise));
        double rattle = (0.7 * f.high + 0.5 * f.band) * std::exp(-t / 0.11);
        return n.velocity * (body + rattle);
    });
}

std::vector<float> clap(const Note& n, Noise& noise) {
    Svf filter;
    SvfCoefficients c = svfCoefficients(1200.0, 1.2);
    return monoVoice(0.4, [&](double t, size_t) {
        // Three quick slaps 10 ms apart, then the room.
        double env = 0;
        for (int k = 0; k < 3; ++k) {
            double s = t - 0.010 * k;
            if (s >= 0)
                env += std::exp(-s / 0.003);
        }
        if (t > 0.02)
            env += 0.7 * std::exp(-(t - 0.02) / 0.1);
        return n.velocity * 2.0 * svfProcess(filter, c, nextNoise(noise)).band * env;
    });
}

std::vector<float> hat(const Note& n, Noise& noise, double decay) {
    Svf filter;
    SvfCoefficients c = svfCoefficients(8000.0 + 2000.0 * n.tone, 0.6);
    return monoVoice(decay * 4.0, [&](double t, size_t) {
        // A broad band-pass rather than a high-pass: real cymbals lose their top too.
        return n.velocity * 1.6 * svfProcess(filter, c, nextNoise(noise)).band *
               std::exp(-t / decay);
    });
}

std::vector<float> tom(const Note& n, Noise& noise) {
    double phase = 0, hz = midiToHz(n.pitch);
    return monoVoice(0.55, [&](double t, size_t) {
        phase += hz * (1.0 + 0.5 * std::exp(-t / 0.04)) / kSampleRate;
        double body = std::sin(kTwoPi * phase) * std::exp(-t / 0.2);
        return n.velocity * (body + 0.2 * nextNoise(noise) * std::exp(-t / 0.01));
    });
}

std::vector<float> impact(const Note& n, Noise& noise) {
    double phase = 0;
    Svf filter;
    SvfCoefficients c = svfCoefficients(400.0, 0.7);
    return monoVoice(2.2, [&](double t, size_t) {
        phase += (38.0 + 70.0 * std::exp(-t / 0.09)) / kSampleRate;
        double boom = std::sin(kTwoPi * phase) * std::exp(-t / 0.7);
        double rumble = svfProcess(filter, c, nextNoise(noise)).low * std::exp(-t / 0.2) * 0.6;
        return n.velocity * std::tanh(1.3 * (boom + rumble));
    });
}

std::vector<float> bass(const Note& n) {
    double phase = 0, hz = midiToHz(n.pitch), step = hz / kSampleRate;
    Adsr env{std::max(0.003, n.attack), 0.15, 0.75, 0.04};
    Svf filter;
    SvfCoefficients c{};
    return monoVoice(n.length + env.release, [&](double t, size_t i) {
        if (i % 16 == 0)
            c = svfCoefficients(320.0 + 1800.0 * n.tone * std::exp(-t / 0.09), 1.1);
        phase += step;
        phase -= std::floor(phase);
        double saw = svfProcess(filter, c, sawWave(phase, step)).low;
        double sub = std::sin(kTwoPi * phase);
        return n.velocity * adsrGain(env, n.length, t) * (0.5 * saw + 0.6 * sub);
    });
}

std::vector<float> arp(const Note& n) {
    double phase = 0, hz = midiToHz(n.pitch), step = hz / kSampleRate;
    Adsr env{0.002, 0.2, 0.0, 0.08};
    Svf filter;
    SvfCoefficients c{};
    return monoVoice(n.length + env.release, [&](double t, size_t i) {
        if (i % 16 == 0)
            c = svfCoefficients(600.0 + 5000.0 * n.tone * std::exp(-t / 0.07), 0.9);
        phase += step;
        phase -= std::floor(phase);
        double wave = 0.6 * pulseWave(phase, step, 0.28) + 0.4 * sawWave(phase, step);
        return n.velocity * adsrGain(env, n.length, t) * svfProcess(filter, c, wave).low;
    });
}

std::vector<float> bell(const Note& n) {
    double hz = midiToHz(n.pitch);
    return monoVoice(std::max(n.length, 0.5) + 2.5, [&](double t, size_t) {
        // Two frequency-modulation pairs: a 1:2 body and a faint inharmonic 1:3.5 shimmer.
        double index = 2.5 * std::exp(-t / 0.25);
        double body = std::sin(kTwoPi * hz * t + index * std::sin(kTwoPi * 2.0 * hz * t));
        double shimmer = std::sin(kTwoPi * 2.0 * hz * t +
                                  1.5 * std::exp(-t / 0.1) * std::sin(kTwoPi * 7.0 * hz * t));
        double attack = std::min(1.0, t / 0.002);
        return n.velocity * attack * std::exp(-t / 1.1) * (body + 0.25 * shimmer);
    });
}

// Detuned saws spread across the stereo field through a low-pass filter per side.
StereoBuffer pad(const Note& n, Noise& noise) {
    const double detuneCents[3] = {-10.0, 0.0, 10.0};
    const double toLeft[3] = {0.85, 0.5, 0.15};
    double steps[3], phases[3];
    for (int v = 0; v < 3; ++v) {
        steps[v] = midiToHz(n.pitch + detuneCents[v] / 100.0) / kSampleRate;
        phases[v] = 0.5 * (nextNoise(noise) + 1.0);
    }
    Adsr env{n.attack > 0 ? n.attack : 0.3, 1.0, 0.9, 0.7};
    double seconds = n.length + env.release;
    StereoBuffer out = makeStereoBuffer(framesFor(seconds));
    Svf filterL, filterR;
    SvfCoefficients c = svfCoefficients(400.0 + 4000.0 * n.tone * n.tone, 0.8);
    for (size_t i = 0; i < out.left.size(); ++i) {
        double t = double(i) / kSampleRate;
        double l = 0, r = 0;
        for (int v = 0; v < 3; ++v) {
            phases[v] += steps[v];
            phases[v] -= std::floor(phases[v]);
            double s = sawWave(phases[v], steps[v]);
            l += s * toLeft[v];
            r += s * (1.0 - toLeft[v]);
        }
        double g =
            n.velocity * adsrGain(env, n.length, t) * edgeGain(i, out.left.size(), 0.0008, 0.004);
        out.left[i] = float(g * svfProcess(filterL, c, l).low);
        out.right[i] = float(g * svfProcess(filterR, c, r).low);
    }
    return out;
}

StereoBuffer lead(const Note& n) {
    double base = n.pitch, phases[3] = {0.0, 0.31, 0.67};
    Adsr env{std::max(0.01, n.attack), 0.25, 0.7, 0.12};
    double seconds = n.length + env.release;
    StereoBuffer out = makeStereoBuffer(framesFor(seconds));
    Svf filterL, filterR;
    SvfCoefficients c{};
    for (size_t i = 0; i < out.left.size(); ++i) {
        double t = double(i) / kSampleRate;
        if (i % 16 == 0)
            c = svfCoefficients(1800.0 + 3500.0 * n.tone * std::exp(-t / 0.2), 1.2);
        // Vibrato fades in after a quarter second, as a player would add it.
        double depth = 0.18 * std::clamp((t - 0.25) / 0.3, 0.0, 1.0);
        double pitch = base + depth * std::sin(kTwoPi * 5.2 * t);
        const double detune[3] = {-0.07, 0.07, 0.0};
        double s[3];
        for (int v = 0; v < 3; ++v) {
            double step = midiToHz(pitch + detune[v]) / kSampleRate;
            phases[v] += step;
            phases[v] -= std::floor(phases[v]);
            s[v] = v < 2 ? sawWave(phases[v], step) : 0.5 * pulseWave(phases[v], step, 0.5);
        }
        double g =
            n.velocity * adsrGain(env, n.length, t) * edgeGain(i, out.left.size(), 0.0008, 0.004);
        out.left[i] = float(g * svfProcess(filterL, c, 0.7 * s[0] + 0.3 * s[1] + s[2]).low);
        out.right[i] = float(g * svfProcess(filterR, c, 0.3 * s[0] + 0.7 * s[1] + s[2]).low);
    }
    return out;
}

// Noise swept up through a band-pass, growing louder, independent noise per side.
StereoBuffer noiseVoice(const Note& n, Noise& noise, bool riser) {
    double seconds = riser ? n.length : 2.6;
    StereoBuffer out = makeStereoBuffer(framesFor(seconds));
    Svf filters[2], metalFilter;
    SvfCoefficients c{}, metal = svfCoefficients(7000.0, 1.0);
    // A crash's metallic partials (Hz): square waves an octave-and-a-bit above a cowbell's.
    const double partials[6] = {472.2, 700.1, 850.1, 1202.2, 1242.0, 1840.0};
    for (size_t i = 0; i < out.left.size(); ++i) {
        double t = double(i) / kSampleRate;
        if (i % 16 == 0)
            c = riser ? svfCoefficients(250.0 * std::pow(36.0, t / seconds), 2.5)
                      : svfCoefficients(6000.0, 0.5);
        double ring = 0;
        if (!riser) {
            for (double hz : partials)
                ring += std::fmod(hz * t, 1.0) < 0.5 ? 1.0 : -1.0;
            ring = svfProcess(metalFilter, metal, ring / 6.0).band;
        }
        double env = riser ? std::pow(t / seconds, 2.0)
                           : 0.6 * std::exp(-t / 0.55) + 0.4 * std::exp(-t / 0.05);
        double g = n.velocity * env * edgeGain(i, out.left.size(), 0.0008, riser ? 0.008 : 0.004);
        for (int ch = 0; ch < 2; ++ch) {
            SvfOutput f = svfProcess(filters[ch], c, nextNoise(noise));
            double s = riser ? 2.0 * f.band : 1.6 * f.band + 0.5 * ring;
            (ch == 0 ? out.left : out.right)[i] = float(g * s);
        }
    }
    return out;
}

} // namespace

StereoBuffer renderNote(const Note& n, uint32_t seed) {
    Noise noise{seed * 2654435761u + 12345u};
    switch (n.instrument) {
    case Instrument::Pad:
        return pad(n, noise);
    case Instrument::Lead:
        return lead(n);
    case Instrument::Crash:
        return noiseVoice(n, noise, false);
    case Instrument::Riser:
        return noiseVoice(n, noise, true);
    case Instrument::Break:
        return StereoBuffer{};
    default:
        break;
    }
    std::vector<float> mono;
    switch (n.instrument) {
    case Instrument::Kick:
        mono = kick(n, noise);
        break;
    case Instrument::Snare:
        mono = snare(n, noise);
        break;
    case Instrument::Clap:
        mono = clap(n, noise);
        break;
    case Instrument::ClosedHat:
        mono = hat(n, noise, 0.025);
        break;
    case Instrument::OpenHat:
        mono = hat(n, noise, 0.16);
        break;
    case Instrument::Tom:
        mono = tom(n, noise);
        break;
    case Instrument::Impact:
        mono = impact(n, noise);
        break;
    case Instrument::Bass:
        mono = bass(n);
        break;
    case Instrument::Arp:
        mono = arp(n);
        break;
    default: // Bell
        mono = bell(n);
        break;
    }
    StereoBuffer out = makeStereoBuffer(mono.size());
    mixPanned(out, 0, mono, 1.0, n.pan);
    return out;
}
