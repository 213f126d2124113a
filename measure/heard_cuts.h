// When each cut was heard: the cuts found in a sink monitor's recording by correlation with
// the music file, on the sink's clock fitted against CLOCK_MONOTONIC; what both show sync
// measuring programs time their flashes against.
#pragma once
#include "measure/monitor_recording.h"
#include <string>
#include <vector>

// The recording's two timings: by the capture times the server reports, and by arrival.
struct RecordingClock {
    CaptureLine line;
    double spread = 0, byCapture = 0, byRead = 0;
    double arrivalPerFrame = 0, arrivalStart = 0;
};
RecordingClock timeRecording(const MonitorRecording& rec);

// One cut (music s): when it was heard (monotonic s), and by arrival (monotonic s less an
// unknown constant pipeline delay; only its spread from cut to cut tells).
struct HeardCut {
    double cut, heard, byArrival;
};
// The cuts up to `seconds` of music (and before the end part, which shows no flash) found in
// the recording of `file` (mono, kSyncRate). joinedLate: the music may have begun anywhere
// in the file (a browser slow to start sound joins it where the show's clock stands), so it
// is placed by the recording's last 10 s of sound, and cuts played before the sound began
// are left out.
std::vector<HeardCut> heardCuts(const std::vector<float>& file, const MonitorRecording& rec,
                                const RecordingClock& c, double seconds, bool joinedLate = false);

// The heard time (monotonic s) of music time `music` (s), from the nearest cut at the
// nominal rate: the sink's drift (some 250 ppm) over the seconds to it stays within a
// millisecond. At least one cut.
double heardAt(const std::vector<HeardCut>& cuts, double music);

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
std::string loadAverage();
