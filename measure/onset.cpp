// Onset detection by spectral flux (see onset.h).
#include "measure/onset.h"
#include <algorithm>
#include <cmath>
#include <complex>

namespace {

using Complex = std::complex<double>;

// In-place iterative radix-2 FFT; size is a power of two.
void fft(std::vector<Complex>& a) {
    size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        Complex w = std::polar(1.0, -2.0 * M_PI / double(len));
        for (size_t i = 0; i < n; i += len) {
            Complex wk = 1.0;
            for (size_t k = 0; k < len / 2; ++k) {
                Complex u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}

const size_t kWindow = 1024; // samples: 23 ms at 44100 Hz, centred on the frame time
const double kFrameSeconds = 0.010;

} // namespace

std::vector<Onset> detectOnsets(const std::vector<float>& mono, int rate) {
    size_t hop = size_t(std::lround(kFrameSeconds * rate));
    size_t frames = mono.size() / hop + 1;
    size_t bins = kWindow / 2;
    std::vector<double> window(kWindow), previous(bins, 0.0), flux(frames, 0.0);
    for (size_t i = 0; i < kWindow; ++i)
        window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(kWindow));
    std::vector<Complex> spectrum(kWindow);
    for (size_t f = 0; f < frames; ++f) {
        long centre = long(f * hop);
        for (size_t i = 0; i < kWindow; ++i) {
            long s = centre - long(kWindow / 2) + long(i);
            double x = (s >= 0 && size_t(s) < mono.size()) ? mono[size_t(s)] : 0.0;
            spectrum[i] = x * window[i];
        }
        fft(spectrum);
        double sum = 0;
        for (size_t b = 1; b < bins; ++b) {
            // Magnitude relative to a full-scale sine, log-compressed so that quiet and loud
            // passages count alike.
            double level = std::log1p(1000.0 * std::abs(spectrum[b]) / (kWindow / 4));
            if (f > 0)
                sum += std::max(0.0, level - previous[b]);
            previous[b] = level;
        }
        flux[f] = sum / double(bins);
    }

    // A peak is the largest value within 50 ms either side and stands clear of the mean
    // over the surrounding half second.
    std::vector<Onset> onsets;
    const long near = 5, around = 50;
    for (long f = 1; f + 1 < long(frames); ++f) {
        bool isPeak = true;
        double mean = 0;
        long count = 0;
        for (long g = std::max(0L, f - around); g <= std::min(long(frames) - 1, f + around); ++g) {
            if (std::abs(g - f) <= near && g != f &&
                (flux[size_t(g)] > flux[size_t(f)] ||
                 (flux[size_t(g)] == flux[size_t(f)] && g < f)))
                isPeak = false;
            mean += flux[size_t(g)];
            ++count;
        }
        mean /= double(count);
        if (!isPeak || flux[size_t(f)] < 1.5 * mean + 0.01)
            continue;
        // Parabolic interpolation between the neighbouring frames for a sub-frame time.
        double a = flux[size_t(f - 1)], b = flux[size_t(f)], c = flux[size_t(f + 1)];
        double denom = a - 2.0 * b + c;
        double shift = denom != 0 ? std::clamp(0.5 * (a - c) / denom, -0.5, 0.5) : 0.0;
        onsets.push_back(Onset{(double(f) + shift) * kFrameSeconds, b});
    }
    return onsets;
}

const Onset* onsetNear(const std::vector<Onset>& onsets, double time, double tolerance) {
    const Onset* best = nullptr;
    for (const Onset& o : onsets)
        if (std::fabs(o.time - time) <= tolerance &&
            (!best || std::fabs(o.time - time) < std::fabs(best->time - time)))
            best = &o;
    return best;
}
