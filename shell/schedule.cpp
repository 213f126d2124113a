// Applies the script of scenes: the table's rows tried from the top.
#include "shell/schedule.h"
#include "shell/demo_state.h"

namespace {

void keepOrSet(int32_t& field, int value) {
    if (value != kKeep)
        field = value;
}

} // namespace

void applySchedule(DemoState& state, float u, bool& runFinished) {
    for (const ScheduleRow& row : kSchedule) {
        // The cuts are single-precision constants, compared with u as they are.
        const float cut = float(row.seconds);
        if (row.inclusive ? u <= cut : u < cut) {
            keepOrSet(state.scene, row.scene);
            keepOrSet(state.part, row.part);
            keepOrSet(state.variant, row.variant);
            return;
        }
    }
    runFinished = true; // 120 s: the frame is drawn as the one before, then the run ends
}

bool musicPassedEnd(double earlier, double later) {
    const float end = float(kSchedule[kScheduleRows - 1].seconds); // as applySchedule compares
    return !(float(later) < end) || later < earlier;
}
