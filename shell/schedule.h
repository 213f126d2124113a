// The script: which scene, renderer and camera variant at which music time.
#pragma once

struct DemoState;

// In a row, a field that is left as the previous frame had it.
constexpr int kKeep = -1000;

// One row of the script: it applies from the cut before it (0 s for the first) up to its
// own cut. The cuts are the one record of where the show changes: the soundtrack's score
// places its sections on them and the soundtrack test listens for an accent at each.
struct ScheduleRow {
    double seconds; // the cut ending this row, music time; compared with u in single precision
    bool inclusive; // the row still holds at the cut itself (u <= cut rather than u < cut)
    int scene, part, variant; // codes the renderers compare by value and magnitude, or kKeep
};

constexpr ScheduleRow kSchedule[] = {
    {3.34, false, 1, 0, 0},          {7.29, false, 1, 0, 1},
    {11.0, false, 1, 0, 2},          {15.185, true, 1, 0, 3}, // 15.185 itself still here
    {22.53, false, 2, 0, 3},         {30.46, false, 3, 0, 0},
    {41.0, false, 4, 0, 1},          {49.5, false, 5, 0, 2},
    {72.16, false, 6, 0, 3},         {74.0, false, 70, kKeep, kKeep},
    {76.0, false, 701, kKeep, 0},    {80.0, false, 71, kKeep, 3},
    {82.0, false, 73, kKeep, 0},     {83.5, false, 732, kKeep, 1},
    {85.5, false, 74, kKeep, 0},     {87.5, false, 75, kKeep, kKeep},
    {91.0, false, 76, kKeep, kKeep}, {93.0, false, 77, kKeep, kKeep},
    {95.0, false, 78, kKeep, kKeep}, {97.0, false, 79, kKeep, kKeep},
    {105.04, false, 8, 0, 0},        {120.0, false, 9, 3, 0}, // the last cut ends the run
};
constexpr int kScheduleRows = int(sizeof(kSchedule) / sizeof(kSchedule[0]));

// Music time (s) where row `row` (0-based) begins: 0 for the first, else the cut before it.
constexpr double rowStart(int row) {
    return row == 0 ? 0.0 : kSchedule[row - 1].seconds;
}

// Sets scene, part and variant for music time u (seconds) or, from the last cut on, sets
// runFinished and leaves the state as it was.
void applySchedule(DemoState& state, float u, bool& runFinished);
// The music went through the last cut between two readings of its clock (seconds within
// the pass, as musicTime gives them): the later one is at or past the cut, or below the
// earlier one, the looped music having begun a new pass (within a pass it never goes back).
bool musicPassedEnd(double earlier, double later);
