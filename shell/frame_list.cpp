// Reads and bounds the frame list of the page's frame test.
#include "shell/frame_list.h"
#include "shell/frame_clock.h"
#include "shell/schedule.h"
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

// Drawn by the show: before the last cut on the fixed-rate clock. The bound first keeps
// absurd numbers away from the clock's millisecond count.
bool drawn(int64_t frame, int fps) {
    const int64_t kBound = int64_t(kSchedule[kScheduleRows - 1].seconds + 1) * fps;
    return frame >= 0 && frame <= kBound && !musicPassedEnd(0, fixedRateSeconds(frame, fps));
}

bool fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

} // namespace

bool parseFrameList(const char* list, int fps, std::vector<int64_t>& frames, std::string* error) {
    frames.clear();
    std::string text(list ? list : "");
    if (text.empty())
        return fail(error, "--frames takes frame numbers separated by commas");
    for (size_t at = 0; at <= text.size();) {
        size_t end = std::min(text.find(',', at), text.size());
        const char* first = text.c_str() + at;
        char* stop = nullptr;
        errno = 0;
        long long frame = strtoll(first, &stop, 10);
        // Digits only: strtoll alone would take a sign and leading blanks.
        if (!isdigit(static_cast<unsigned char>(*first)) || stop != text.c_str() + end)
            return fail(error, "--frames takes frame numbers separated by commas");
        if (errno == ERANGE || !drawn(frame, fps))
            return fail(error, "--frames: frame " + text.substr(at, end - at) +
                                   " is not drawn (the show ends before it)");
        frames.push_back(frame);
        at = end + 1;
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    if (int(frames.size()) > kMaxListedFrames)
        return fail(error,
                    "--frames takes at most " + std::to_string(kMaxListedFrames) + " frames");
    return true;
}
