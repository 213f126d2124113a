// The script of scenes as a table of music-time bounds, tried from the top.
#include "shell/schedule.h"
#include "shell/demo_state.h"

namespace {

const int kKeep = -1000; // field left as the previous frame had it

struct ScheduleRow {
    float bound; // seconds; single precision, compared with u as it is
    bool inclusive;
    int scene, part, variant;
};

// Scene numbers are codes the renderers compare by value and magnitude.
const ScheduleRow kSchedule[] = {
    {3.34f, false, 1, 0, 0},          {7.29f, false, 1, 0, 1},
    {11.0f, false, 1, 0, 2},          {15.185f, true, 1, 0, 3}, // 15.185 itself still here
    {22.53f, false, 2, 0, 3},         {30.46f, false, 3, 0, 0},
    {41.0f, false, 4, 0, 1},          {49.5f, false, 5, 0, 2},
    {72.16f, false, 6, 0, 3},         {74.0f, false, 70, kKeep, kKeep},
    {76.0f, false, 701, kKeep, 0},    {80.0f, false, 71, kKeep, 3},
    {82.0f, false, 73, kKeep, 0},     {83.5f, false, 732, kKeep, 1},
    {85.5f, false, 74, kKeep, 0},     {87.5f, false, 75, kKeep, kKeep},
    {91.0f, false, 76, kKeep, kKeep}, {93.0f, false, 77, kKeep, kKeep},
    {95.0f, false, 78, kKeep, kKeep}, {97.0f, false, 79, kKeep, kKeep},
    {105.04f, false, 8, 0, 0},        {120.0f, false, 9, 3, 0},
};

void keepOrSet(int32_t& field, int value) {
    if (value != kKeep)
        field = value;
}

} // namespace

void applySchedule(DemoState& state, float u, bool& runFinished) {
    for (const ScheduleRow& row : kSchedule) {
        if (row.inclusive ? u <= row.bound : u < row.bound) {
            keepOrSet(state.scene, row.scene);
            keepOrSet(state.part, row.part);
            keepOrSet(state.variant, row.variant);
            return;
        }
    }
    runFinished = true; // 120 s: the frame is drawn as the one before, then the run ends
}
