// Presented frames, flashes and the page's frame log (see flash_frames.h).
#include "measure/flash_frames.h"
#include <algorithm>
#include <cstdio>
#include <sstream>

std::vector<Stamp> readStamps(const std::string& path) {
    std::vector<Stamp> stamps;
    if (FILE* f = fopen(path.c_str(), "r")) {
        Stamp s;
        while (fscanf(f, "%lf %lf", &s.time, &s.brightness) == 2)
            stamps.push_back(s);
        fclose(f);
    }
    return stamps;
}

double patchBrightness(const uint32_t* pixels, int count, int redShift, int greenShift,
                       int blueShift) {
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += 0.2126 * ((pixels[i] >> redShift) & 255) +
               0.7152 * ((pixels[i] >> greenShift) & 255) +
               0.0722 * ((pixels[i] >> blueShift) & 255);
    return count > 0 ? sum / count : 0;
}

uint64_t patchHash(const uint32_t* pixels, int count) {
    uint64_t h = 1469598103934665603ull;
    for (int i = 0; i < count; ++i)
        for (int b = 0; b < 24; b += 8)
            h = (h ^ ((pixels[i] >> b) & 255)) * 1099511628211ull;
    return h;
}

std::vector<Stamp> presentedFrames(const std::vector<ScreenPoll>& polls) {
    std::vector<Stamp> frames;
    for (size_t i = 0; i < polls.size(); ++i)
        if (i == 0 || polls[i].hash != polls[i - 1].hash)
            frames.push_back({polls[i].time, polls[i].brightness});
    return frames;
}

const Stamp* flashNear(const std::vector<Stamp>& stamps, double heard, double rise, double before,
                       double after) {
    for (size_t i = 1; i < stamps.size(); ++i)
        if (stamps[i].time >= heard - before && stamps[i].time <= heard + after &&
            stamps[i].brightness - stamps[i - 1].brightness > rise)
            return &stamps[i];
    return nullptr;
}

FrameInterval frameInterval(const std::vector<Stamp>& stamps) {
    if (stamps.size() < 2)
        return {0, 0};
    std::vector<double> gaps;
    for (size_t i = 1; i < stamps.size(); ++i)
        gaps.push_back(1000 * (stamps[i].time - stamps[i - 1].time));
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted[sorted.size() / 2];
    double long_ =
        double(std::count_if(gaps.begin(), gaps.end(), [&](double g) { return g > 1.5 * median; }));
    return {median, long_ / double(gaps.size())};
}

std::vector<PageFrame> parsePageLog(const std::string& text, double wallMinusMonotonic) {
    std::vector<PageFrame> frames;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        double read, drawn, music;
        if (sscanf(line.c_str(), "%lf %lf %lf", &read, &drawn, &music) == 3)
            frames.push_back(
                {read / 1000 - wallMinusMonotonic, drawn / 1000 - wallMinusMonotonic, music});
    }
    return frames;
}

const PageFrame* frameDrawnFor(const std::vector<PageFrame>& frames, double cut) {
    for (const PageFrame& f : frames)
        if (f.music >= cut - 0.0005)
            return &f;
    return nullptr;
}
