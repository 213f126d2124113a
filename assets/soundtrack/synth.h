// Signal-processing building blocks of the soundtrack synthesiser: oscillators, filters, effects.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int kSampleRate = 44100; // Hz, for everything the synthesiser makes

// Two planar channels of equal length, samples nominally in -1..1.
struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;
};

StereoBuffer makeStereoBuffer(size_t frames);

// xorshift32 white noise; the seed fixes the sequence.
struct Noise {
    uint32_t state;
};
double nextNoise(Noise& noise); // uniform in -1..1

// Band-limited (polyBLEP) waveforms. phase in 0..1, step = frequency / sample rate.
double sawWave(double phase, double step);
double pulseWave(double phase, double step, double duty);
double midiToHz(double note);

// Topology-preserving state-variable filter. Coefficients for cutoff (Hz) and resonance q.
struct SvfCoefficients {
    double a1, a2, a3, k;
};
struct Svf {
    double ic1 = 0, ic2 = 0;
};
struct SvfOutput {
    double low, band, high;
};
SvfCoefficients svfCoefficients(double cutoffHz, double q);
SvfOutput svfProcess(Svf& filter, const SvfCoefficients& c, double input);

// Attack-decay-sustain-release gain at time t (s) after note-on, for a note held `held` s.
// Reaches exactly 0 at held + release and stays there.
struct Adsr {
    double attack, decay, sustain, release;
};
double adsrGain(const Adsr& env, double held, double t);

// Mixes `mono` into `out` starting at frame `start`, with an equal-power pan in -1..1.
void mixPanned(StereoBuffer& out, size_t start, const std::vector<float>& mono, double gain,
               double pan);
// Adds a stereo buffer into `out`, scaled.
void mixInto(StereoBuffer& out, const StereoBuffer& in, double gain);

// Stereo reverb (parallel damped combs into series allpasses) of a send bus, wet only.
StereoBuffer reverb(const StereoBuffer& send, double roomSize, double damping);
// Ping-pong delay of a send bus, wet only. delaySeconds per side, feedback 0..1.
StereoBuffer pingPongDelay(const StereoBuffer& send, double delaySeconds, double feedback,
                           double toneHz);
// First-order high-pass (removes DC and rumble below cutoffHz), in place.
void highPass(StereoBuffer& buffer, double cutoffHz);
// Look-ahead peak limiter: no output sample exceeds `ceiling`. Gain falls over `lookahead`
// seconds before a peak and recovers with time constant `release` seconds.
void limitPeaks(StereoBuffer& buffer, double ceiling, double lookahead, double release);
