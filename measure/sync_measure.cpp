// The sync measuring programs' shared parts (see sync_measure.h).
#include "measure/sync_measure.h"
#include "measure/mono_file.h"
#include "shell/schedule.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

SyncArgs syncArgs(int argc, char** argv, int first) {
    return {argc > first ? atof(argv[first]) : 120.0,
            argc > first + 1 ? argv[first + 1] : "glimwick.monitor"};
}

std::vector<float> decodeMusicOrSay(const std::string& path, const char* prefix) {
    std::vector<float> mono = decodeMonoFile(path.c_str());
    if (mono.empty())
        fprintf(stderr, "%scannot decode %s\n", prefix, path.c_str());
    return mono;
}

std::vector<double> cutsUntil(double last) {
    std::vector<double> cuts;
    for (int row = 0; row + 1 < kScheduleRows && kSchedule[row].seconds <= last; ++row)
        cuts.push_back(kSchedule[row].seconds);
    return cuts;
}

bool sdlDriverNamed() {
    const char* driver = getenv("SDL_AUDIODRIVER");
    return driver && *driver;
}

OffsetSummary summarizeOffsets(const std::vector<double>& v, const std::vector<double>& t) {
    OffsetSummary s{0, 0, 0, 1e9, -1e9, 0};
    double n = double(v.size());
    for (double x : v)
        s.mean += x / n, s.lo = std::min(s.lo, x), s.hi = std::max(s.hi, x);
    for (double x : v)
        s.sd += (x - s.mean) * (x - s.mean) / n;
    s.sd = std::sqrt(s.sd);
    std::vector<double> sorted = v;
    std::sort(sorted.begin(), sorted.end());
    s.median = sorted[sorted.size() / 2];
    double st = 0, so = 0, stt = 0, sto = 0;
    for (size_t i = 0; i < v.size(); ++i)
        st += t[i], so += v[i], stt += t[i] * t[i], sto += t[i] * v[i];
    s.slope = (n * sto - st * so) / (n * stt - st * st);
    return s;
}
