// An output that plays nothing: the test says what is audible and when, and asks for the
// frames itself, so the clock is tested in microseconds without ever sleeping.
#pragma once
#include "shell/music/audio_output.h"
#include <string>
#include <vector>

class TestOutput final : public AudioOutput {
  public:
    // What the next calls do: open and start succeed unless told otherwise.
    bool opens = true, starts = true;
    std::string lostWhy; // non-empty: the output reports itself lost
    // What it was asked.
    int rate = 0, opened = 0, started = 0, closed = 0;
    AudioSource* source = nullptr; // while started

    bool open(int r, std::string* why) override {
        ++opened;
        if (!opens)
            return refuse(why, "sound: the test output does not open");
        rate = r;
        return true;
    }
    bool start(AudioSource& s, std::string* why) override {
        ++started;
        if (!starts)
            return refuse(why, "sound: the test output does not start");
        source = &s;
        lostWhy.clear();
        return true;
    }
    void stop() override { source = nullptr; }
    bool lost(std::string* why) override {
        if (lostWhy.empty())
            return false;
        if (why)
            *why = lostWhy;
        return true;
    }
    void close() override {
        ++closed;
        source = nullptr;
    }

    // One request from the output's thread: `frames` frames, with `audible` frames of the
    // stream heard at `at` (ns), the sound going on for `reach` frames. Returns what was
    // handed over (stereo).
    std::vector<float> play(int frames, double audible, long long at, double reach) {
        std::vector<float> out(size_t(frames) * 2, -1.0f);
        Heard heard;
        heard.frames = audible;
        heard.at = at;
        heard.reach = reach;
        if (source)
            source->fill(out.data(), frames, heard);
        return out;
    }

  private:
    static bool refuse(std::string* why, const char* what) {
        if (why)
            *why = what;
        return false;
    }
};
