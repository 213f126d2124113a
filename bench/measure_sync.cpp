// Measures how far the music clock is from what a PulseAudio sink actually plays: plays
// the soundtrack through the music stream, records the sink's monitor and logs the clock.
// Usage: measure_sync [seconds] [monitor source] [music file]; run with_pulse.sh.
#include "shell/music_stream.h"
#include "shell/schedule.h"
#include "tests/assets/onset.h"
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pulse/error.h>
#include <pulse/pulseaudio.h>
#include <string>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

const int kRate = 44100;          // of the soundtrack and of the recording, frames per second
const int kChunk = 256;           // frames per read from the monitor (5.8 ms)
const double kSearchWindow = 0.1; // seconds either side of a predicted onset

double monotonicSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

std::vector<float> decodeMono(const char* path) {
    std::vector<float> mono;
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0)
        return mono;
    int channels = ov_info(&file, -1)->channels, section = 0;
    float** pcm;
    long n;
    while ((n = ov_read_float(&file, &pcm, 4096, &section)) > 0)
        for (long i = 0; i < n; ++i)
            mono.push_back(channels > 1 ? 0.5f * (pcm[0][i] + pcm[1][i]) : pcm[0][i]);
    ov_clear(&file);
    return mono;
}

// The monitor's samples, and for reads the capture time of their first sample (the
// time of the read less the recording latency the server reports, which on a monitor is
// negative by the sink's own latency: the monitor hears a block before it is played).
struct Recording {
    std::vector<float> samples;
    std::vector<double> anchorFrame, anchorTime;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
};

void readable(pa_stream* stream, size_t, void* user) {
    Recording& rec = *static_cast<Recording*>(user);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 &&
           bytes > 0) {
        double now = monotonicSeconds();
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
            rec.anchorFrame.push_back(double(rec.samples.size()));
            rec.anchorTime.push_back(now - (negative ? -1e-6 : 1e-6) * double(latency));
        }
        const float* f = static_cast<const float*>(data);
        if (f)
            rec.samples.insert(rec.samples.end(), f, f + bytes / sizeof(float));
        else
            rec.samples.resize(rec.samples.size() + bytes / sizeof(float), 0.0f); // a hole
        pa_stream_drop(stream);
    }
}

void signalLoop(void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

bool startRecording(Recording& rec, const char* source) {
    rec.loop = pa_threaded_mainloop_new();
    rec.context = pa_context_new(pa_threaded_mainloop_get_api(rec.loop), "glimwick-measure");
    pa_context_set_state_callback(
        rec.context, [](pa_context*, void* loop) { signalLoop(loop); }, rec.loop);
    if (pa_context_connect(rec.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    pa_threaded_mainloop_lock(rec.loop);
    pa_threaded_mainloop_start(rec.loop);
    pa_context_state_t cs;
    while ((cs = pa_context_get_state(rec.context)) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(cs))
        pa_threaded_mainloop_wait(rec.loop);
    bool ok = cs == PA_CONTEXT_READY;
    if (ok) {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, 1};
        rec.stream = pa_stream_new(rec.context, "monitor", &spec, nullptr);
        pa_stream_set_read_callback(rec.stream, readable, &rec);
        pa_stream_set_state_callback(
            rec.stream, [](pa_stream*, void* loop) { signalLoop(loop); }, rec.loop);
        pa_buffer_attr attr{uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1),
                            uint32_t(kChunk * sizeof(float))};
        auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                       PA_STREAM_ADJUST_LATENCY);
        ok = pa_stream_connect_record(rec.stream, source, &attr, flags) == 0;
        pa_stream_state_t ss;
        while (ok && (ss = pa_stream_get_state(rec.stream)) != PA_STREAM_READY)
            if (PA_STREAM_IS_GOOD(ss))
                pa_threaded_mainloop_wait(rec.loop);
            else
                ok = false;
    }
    pa_threaded_mainloop_unlock(rec.loop);
    if (!ok)
        fprintf(stderr, "measure_sync: cannot record %s: %s\n", source,
                pa_strerror(pa_context_errno(rec.context)));
    return ok;
}

void stopRecording(Recording& rec) {
    pa_threaded_mainloop_stop(rec.loop);
    if (rec.stream) {
        pa_stream_disconnect(rec.stream);
        pa_stream_unref(rec.stream);
    }
    pa_context_disconnect(rec.context);
    pa_context_unref(rec.context);
    pa_threaded_mainloop_free(rec.loop);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The lag (frames) at which b best matches a around a's frame `at`, searched within
// `around` of `guess`: the recording is the file, delayed and unchanged.
long bestLag(const std::vector<float>& a, long at, const std::vector<float>& b, long guess,
             long around) {
    const long window = kRate / 20; // 50 ms from the onset on
    long best = guess;
    double bestScore = -1e300;
    for (long lag = guess - around; lag <= guess + around; ++lag) {
        double score = 0;
        for (long i = at - window / 5; i < at + window; ++i) {
            long j = i + lag;
            if (i >= 0 && size_t(i) < a.size() && j >= 0 && size_t(j) < b.size())
                score += double(a[size_t(i)]) * b[size_t(j)];
        }
        if (score > bestScore)
            bestScore = score, best = lag;
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 120.0;
    const char* source = argc > 2 ? argv[2] : "glimwick.monitor";
    std::string music =
        argc > 3 ? argv[3] : std::string(GLIMWICK_SOURCE_DIR) + "/data/tarnwhistle.ogg";

    std::vector<float> file = decodeMono(music.c_str());
    if (file.empty()) {
        fprintf(stderr, "measure_sync: cannot decode %s\n", music.c_str());
        return 1;
    }
    std::vector<Onset> fileOnsets = detectOnsets(file, kRate);

    Recording rec;
    if (!startRecording(rec, source)) {
        stopRecording(rec);
        return 1;
    }
    const char* error = nullptr;
    resetMusicSlots();
    if (!initSound(&error) || !openMusic(music.c_str(), &error)) {
        fprintf(stderr, "measure_sync: %s\n", error);
        stopRecording(rec);
        return 1;
    }
    playMusic(false);
    std::vector<double> clock, clockTime;
    double start = monotonicSeconds();
    while (monotonicSeconds() - start < seconds + 1.0) {
        double t = musicTime();
        clockTime.push_back(monotonicSeconds());
        clock.push_back(t);
        if (t >= seconds)
            break;
        timespec ms{0, 1000000};
        nanosleep(&ms, nullptr);
    }
    stopRecording(rec);
    closeSound();

    // Recording frame -> capture time. The null sink and so its monitor run on the system
    // clock, so frames map by the nominal rate plus one offset: the median over all reads
    // (a read taken late by the scheduler is compensated by the latency reported with it,
    // the median drops the rest).
    std::vector<double> offsets;
    for (size_t i = 0; i < rec.anchorFrame.size(); ++i)
        offsets.push_back(rec.anchorTime[i] - rec.anchorFrame[i] / kRate);
    double recordStart = median(offsets);
    std::vector<double> residual;
    for (double o : offsets)
        residual.push_back(std::fabs(o - recordStart));
    printf("recording: %zu reads, capture times within %.2f ms of the line in half of them\n",
           offsets.size(), 1000 * median(residual));
    printf("sound path: %s\n", getenv("SDL_AUDIODRIVER") && *getenv("SDL_AUDIODRIVER")
                                   ? "SDL, driver named by SDL_AUDIODRIVER"
                                   : "the sound server directly when one answers");
    std::vector<Onset> heardOnsets = detectOnsets(rec.samples, kRate);
    int backwards = 0;
    for (size_t i = 1; i < clock.size(); ++i)
        backwards += clock[i] < clock[i - 1];

    printf("cut       file onset  offset by onsets  by waveform   (clock minus audible, ms)\n");
    std::vector<double> cutTimes, byOnset, byWave;
    for (int row = 0; row + 1 < kScheduleRows; ++row) {
        double cut = kSchedule[row].seconds;
        if (cut > seconds - 0.5)
            break;
        const Onset* fo = onsetNear(fileOnsets, cut, 0.02);
        if (!fo)
            continue;
        // When the clock said the file's onset was audible: first reading at or past it.
        size_t k = size_t(std::lower_bound(clock.begin(), clock.end(), fo->time) - clock.begin());
        if (k >= clock.size())
            continue;
        double clockAt = clockTime[k] - (clock[k] - fo->time);
        // The same onset in the recording, near where the clock put it.
        double predicted = clockAt - recordStart;
        const Onset* ho = onsetNear(heardOnsets, predicted, kSearchWindow);
        if (!ho)
            continue;
        double heardAt = recordStart + ho->time;
        long fileFrame = lround(fo->time * kRate);
        long lag = bestLag(file, fileFrame, rec.samples, lround((ho->time - fo->time) * kRate),
                           kRate / 100);
        double waveAt = recordStart + double(fileFrame + lag) / kRate;
        cutTimes.push_back(cut);
        byOnset.push_back(1000 * (clockAt - heardAt));
        byWave.push_back(1000 * (clockAt - waveAt));
        printf("%8.3f  %8.3f    %+8.2f          %+8.2f\n", cut, fo->time, byOnset.back(),
               byWave.back());
    }
    if (cutTimes.size() < 2) {
        printf("too few cuts found (%zu)\n", cutTimes.size());
        return 1;
    }
    for (auto* v : {&byOnset, &byWave}) {
        double n = double(v->size()), mean = 0, sd = 0, lo = 1e9, hi = -1e9;
        for (double x : *v)
            mean += x / n, lo = std::min(lo, x), hi = std::max(hi, x);
        for (double x : *v)
            sd += (x - mean) * (x - mean) / n;
        // Drift: least-squares slope of the offset over music time, times 120 s.
        double st = 0, so = 0, stt = 0, sto = 0;
        for (size_t i = 0; i < v->size(); ++i)
            st += cutTimes[i], so += (*v)[i], stt += cutTimes[i] * cutTimes[i],
                sto += cutTimes[i] * (*v)[i];
        double slope = (n * sto - st * so) / (n * stt - st * st);
        printf("%s: %zu cuts, mean %+.2f ms, sd %.2f ms, range %+.2f..%+.2f ms, drift %+.2f ms "
               "over 120 s\n",
               v == &byOnset ? "by onsets  " : "by waveform", v->size(), mean, std::sqrt(sd), lo,
               hi, slope * 120);
    }
    printf("clock readings %zu, steps back %d\n", clock.size(), backwards);
    return 0;
}
