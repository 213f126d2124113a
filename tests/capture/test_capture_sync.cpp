// Sync proven on the encoded video: each cut's flash on the right frame, each cut's accent
// at the right time in the muxed audio as a player decodes it, for .mkv and .mp4.
#include "shell/demo_state.h"
#include "shell/schedule.h"
#include "measure/onset.h"
#include "tests/support/test_data.h"
#include "shell/frame_clock.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRate = 44100;
// Decoded frames are reduced to this size before they are looked at.
constexpr int kProbeWidth = 256, kProbeHeight = 192;

struct Video {
    std::vector<double> whiteShare; // per frame: share of the picture near full white
    std::vector<float> audio;       // mono at kRate from time 0 of the file
    double videoStart = 0;          // seconds: when the first frame is shown
};

std::string sourceDir() {
    const char* dir = getenv("GLIMWICK_SOURCE_DIR");
    return dir ? dir : ".";
}

// Runs the capture tool from the source tree (its data/) into out; its exit status.
int capture(const std::string& args, const std::string& out) {
    const char* tool = getenv("GLIMWICK_CAPTURE");
    std::string command = "cd '" + sourceDir() + "' && '" + std::string(tool ? tool : "") + "' " +
                          args + " --out '" + out + "' 2>/dev/null";
    return WEXITSTATUS(std::system(command.c_str()));
}

// The letterboxed picture's inner rows (the bars stay black through a flash).
double whiteShare(const std::vector<uint8_t>& rgb) {
    int white = 0, total = 0;
    for (int y = kProbeHeight / 6 + 4; y < kProbeHeight * 5 / 6 - 4; ++y)
        for (int x = 0; x < kProbeWidth; ++x, ++total) {
            const uint8_t* p = &rgb[size_t(y * kProbeWidth + x) * 3];
            white += p[0] >= 235 && p[1] >= 235 && p[2] >= 235;
        }
    return double(white) / total;
}

// Output of a shell command, whole.
std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* f = popen(command.c_str(), "r")) {
        char buffer[256];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
            out.append(buffer, n);
        pclose(f);
    }
    return out;
}

// Decoded as a player presents it: frames in order from the first video frame's time, and
// the audio placed on the same timeline by its timestamps (priming dropped or kept as the
// container says), from time 0.
Video decode(const std::string& path) {
    Video v;
    v.videoStart = atof(commandOutput("ffprobe -v error -select_streams v -show_entries "
                                      "frame=pts_time -of csv=p=0 -read_intervals %+#1 '" +
                                      path + "'")
                            .c_str());
    std::string frames = "ffmpeg -v error -i '" + path + "' -map 0:v -fps_mode passthrough " +
                         "-vf scale=" + std::to_string(kProbeWidth) + ":" +
                         std::to_string(kProbeHeight) + " -f rawvideo -pix_fmt rgb24 -";
    if (FILE* f = popen(frames.c_str(), "r")) {
        std::vector<uint8_t> rgb(size_t(kProbeWidth) * kProbeHeight * 3);
        while (fread(rgb.data(), 1, rgb.size(), f) == rgb.size())
            v.whiteShare.push_back(whiteShare(rgb));
        pclose(f);
    }
    std::string audio = "ffmpeg -v error -i '" + path + "' -map 0:a -af " +
                        "aresample=async=1:first_pts=0 -ac 1 -ar " + std::to_string(kRate) +
                        " -f f32le -";
    if (FILE* f = popen(audio.c_str(), "r")) {
        float block[4096];
        size_t n;
        while ((n = fread(block, sizeof(float), 4096, f)) > 0)
            v.audio.insert(v.audio.end(), block, block + n);
        pclose(f);
    }
    return v;
}

// Frames (absolute numbers) on which the schedule's result differs from the frame
// before, at the music times the capture clock gives them: the flash restarts there.
std::vector<int64_t> expectedCuts(int fps, int64_t first, int64_t end) {
    auto state = std::make_unique<DemoState>();
    bool finished = false;
    int32_t scene = -1, part = -1, variant = -1;
    std::vector<int64_t> cuts;
    for (int64_t n = 0; n < end; ++n) {
        applySchedule(*state, float(fixedRateSeconds(n, fps)), finished);
        if (n >= first &&
            (state->scene != scene || state->part != part || state->variant != variant))
            cuts.push_back(n);
        scene = state->scene;
        part = state->part;
        variant = state->variant;
    }
    return cuts;
}

// Frames (absolute) that turn almost entirely white after one that was not.
std::vector<int64_t> flashStarts(const Video& v, int64_t first) {
    std::vector<int64_t> starts;
    for (size_t k = 1; k < v.whiteShare.size(); ++k)
        if (v.whiteShare[k] > 0.95 && v.whiteShare[k - 1] < 0.95)
            starts.push_back(first + int64_t(k));
    return starts;
}

// Captures seconds [from, to) at fps into a file of the given extension and checks both
// tracks against the cuts given (seconds of music time).
void checkSync(const char* extension, int fps, double from, double to,
               const std::vector<double>& cuts) {
    std::string out = tempFilePath(std::string("sync.") + extension);
    char args[96];
    snprintf(args, sizeof args, "--fps %d --from %g --to %g", fps, from, to);
    ASSERT_EQ(capture(args, out), 0) << "capture " << args << " failed";
    Video v = decode(out);
    unlink(out.c_str());
    const int64_t first = int64_t(std::ceil(from * fps - 1e-6));
    const int64_t end = int64_t(std::ceil(to * fps - 1e-6));
    ASSERT_EQ(int64_t(v.whiteShare.size()), end - first) << "frames in the video";
    const double seconds = double(end - first) / fps;
    // Lossy audio frames may pad the end by less than one frame of the codec (~23 ms).
    const double audioSeconds = double(v.audio.size()) / kRate - v.videoStart;
    EXPECT_GE(audioSeconds, seconds - 0.001);
    EXPECT_LE(audioSeconds, seconds + 0.025);

    std::vector<int64_t> expected = expectedCuts(fps, first, end);
    ASSERT_EQ(expected.size(), cuts.size()) << "the range was meant to hold these cuts";
    EXPECT_EQ(flashStarts(v, first), expected) << extension << " at " << fps << " fps";

    std::vector<Onset> onsets = detectOnsets(v.audio, kRate);
    for (size_t i = 0; i < cuts.size(); ++i) {
        double inTrack = v.videoStart + cuts[i] - double(first) / fps;
        const Onset* o = onsetNear(onsets, inTrack, 0.005);
        ASSERT_NE(o, nullptr) << extension << ": no onset within 5 ms of the cut at " << cuts[i]
                              << " s";
        double picture = v.videoStart + double(expected[i] - first) / fps;
        printf("%s %d fps, cut %7.3f s: flash on frame %lld (%.3f s in the video), audio onset "
               "at %.4f s (first frame at %.3f s): picture after audio by %+.1f ms\n",
               extension, fps, cuts[i], static_cast<long long>(expected[i]), picture, o->time,
               v.videoStart, 1000.0 * (picture - o->time));
    }
}

TEST(CaptureSync, MatroskaAt60Fps) {
    // Scene 1's variant changes: 3.34 s and 7.29 s fall between frames, 11 s on one.
    checkSync("mkv", 60, 2, 12, {3.34, 7.29, 11.0});
}

TEST(CaptureSync, Mp4At24Fps) {
    // The quick cuts; 24 fps puts frames at fractional milliseconds, rounded.
    checkSync("mp4", 24, 70, 78, {72.16, 74.0, 76.0});
}

} // namespace
