// The score of the soundtrack: sections, chords, grooves and melodies placed on the script's times.
#include "shell/schedule.h"
#include "assets/soundtrack/soundtrack.h"
#include <algorithm>
#include <initializer_list>

namespace {

// A stretch of music between two scene changes, counted in eighth notes. Each section's
// eighth is its length over a whole number of eighths (about 0.25 s, that is about 120 beats a
// minute), so every scene change falls on the first beat of a section.
struct Section {
    double start, end; // seconds
    int eighths;
};

Section section(double start, double end) {
    return Section{start, end, int((end - start) / 0.25 + 0.5)};
}

// The music under one row of the script: from the cut where the row begins to its own.
Section rowSection(int row) {
    return section(rowStart(row), kSchedule[row].seconds);
}

double at(const Section& s, double eighth) {
    return s.start + eighth * (s.end - s.start) / s.eighths;
}
double eighthLength(const Section& s) {
    return (s.end - s.start) / s.eighths;
}

// A chord: bass note and five pad tones (MIDI note numbers).
struct Chord {
    int bass;
    int tones[5];
};

const Chord kAm9{33, {57, 60, 64, 67, 71}};
const Chord kAm{33, {57, 60, 64, 69, 72}};
const Chord kFmaj9{29, {53, 57, 60, 64, 67}};
const Chord kCadd9{36, {55, 60, 62, 64, 67}};
const Chord kGsus{31, {55, 59, 62, 67, 69}};
const Chord kDm7{38, {53, 57, 60, 62, 65}};
const Chord kEm7{28, {55, 59, 62, 64, 67}};
const Chord kE7{28, {56, 59, 62, 64, 68}};

// A melody step: pitch (0 = rest) held for a number of eighths.
struct Step {
    int pitch;
    int eighths;
};
using Phrase = std::initializer_list<Step>;

// The main theme over Am F C G, its answer, and the themes over other progressions.
const Phrase kThemeA = {{76, 2}, {81, 1}, {79, 1}, {76, 2}, {74, 1}, {72, 1},  // Am
                        {72, 2}, {74, 1}, {76, 1}, {77, 2}, {76, 1}, {72, 1},  // F
                        {79, 2}, {76, 1}, {74, 1}, {72, 2}, {76, 2},           // C
                        {74, 3}, {71, 1}, {67, 2}, {71, 1}, {74, 1}};          // G
const Phrase kThemeA2 = {{76, 2}, {81, 1}, {83, 1}, {84, 2}, {83, 1}, {81, 1}, // Am
                         {81, 2}, {79, 1}, {77, 1}, {76, 2}, {72, 1}, {74, 1}, // F
                         {76, 2}, {79, 2}, {84, 2}, {83, 1}, {79, 1},          // C
                         {83, 3}, {81, 1}, {79, 2}, {74, 2}};                  // G
const Phrase kThemeB = {{77, 2}, {76, 1}, {74, 1}, {81, 3}, {77, 1},           // Dm
                        {76, 2}, {72, 1}, {76, 1}, {81, 4},                    // Am
                        {84, 2}, {81, 1}, {77, 1}, {79, 2}, {81, 2},           // F
                        {83, 2}, {86, 2}, {83, 1}, {81, 1}, {79, 2},           // G
                        {80, 4}, {83, 2}, {88, 4}};                            // E
const Phrase kThemeC = {{81, 2}, {77, 1}, {81, 1}, {86, 2}, {84, 1}, {81, 1},  // Dm
                        {84, 3}, {81, 1}, {77, 2}, {81, 2},                    // F
                        {80, 2}, {83, 2}, {88, 4}, {86, 1}, {83, 2}};          // E
// Short answers for the quick cuts, one per chord.
const Phrase kCutAm = {{76, 2}, {81, 1}, {83, 1}, {84, 2}, {83, 1}, {81, 1}};
const Phrase kCutF = {{72, 2}, {74, 1}, {76, 1}, {77, 2}, {76, 1}, {72, 1}};
const Phrase kCutFG = {{72, 2}, {74, 1}, {76, 1}, {77, 2}, {76, 1}, {72, 1},
                       {74, 3}, {71, 1}, {67, 2}, {71, 1}, {74, 1}};
const Phrase kCutC = {{76, 2}, {79, 2}, {84, 2}, {83, 1}, {79, 1}};
const Phrase kCutG = {{83, 3}, {81, 1}, {79, 2}};
const Phrase kCutDm = {{77, 2}, {76, 1}, {74, 1}, {81, 3}, {77, 1}, {81, 2}, {77, 2}, {74, 2}};
const Phrase kCutEm = {{83, 2}, {79, 1}, {76, 1}, {74, 2}, {76, 2}};
const Phrase kCutE = {{80, 4}, {83, 2}, {88, 2}};

struct Score {
    std::vector<Note> notes;
};

void add(Score& sc, Instrument instrument, double start, double length, double pitch,
         double velocity, double pan = 0.0, double tone = 0.5, double attack = 0.0) {
    sc.notes.push_back(Note{instrument, start, length, pitch, velocity, pan, tone, attack});
}

void pad(Score& sc, const Section& s, double from, double to, const Chord& c, double tone,
         double velocity = 0.09, double attack = 0.0) {
    for (int i = 0; i < 5; ++i)
        add(sc, Instrument::Pad, at(s, from), at(s, to) - at(s, from), c.tones[i], velocity, 0.0,
            tone, attack);
}

// Bass on the off-beats, root and octave, under a four-on-the-floor kick.
void bassOffbeat(Score& sc, const Section& s, int from, int to, const Chord& c) {
    for (int i = from; i < to; ++i)
        if (i % 2 == 1)
            add(sc, Instrument::Bass, at(s, i), 0.8 * eighthLength(s),
                c.bass + 12 + 12 * (i % 4 == 3), 1.0, 0.0, 0.6);
}

void bassLong(Score& sc, const Section& s, double from, double to, const Chord& c,
              double velocity = 0.4, double attack = 0.02) {
    add(sc, Instrument::Bass, at(s, from), at(s, to) - at(s, from), c.bass, velocity, 0.0, 0.2,
        attack);
}

// Broken chord up and down over the pad tones an octave higher, `perEighth` notes an eighth.
void arpeggio(Score& sc, const Section& s, int from, int to, const Chord& c, int perEighth,
              double tone, double velocity = 0.16) {
    const int order[8] = {0, 1, 2, 3, 4, 3, 2, 1};
    int steps = (to - from) * perEighth;
    double step = eighthLength(s) / perEighth;
    for (int k = 0; k < steps; ++k) {
        double pan = (k % 2 == 0) ? -0.35 : 0.35;
        add(sc, Instrument::Arp, at(s, from) + k * step, 0.7 * step, c.tones[order[k % 8]] + 12,
            velocity * (k % 4 == 0 ? 1.0 : 0.8), pan, tone);
    }
}

// Plays a phrase from eighth `from`, cut off at eighth `to`.
void melody(Score& sc, const Section& s, int from, int to, Phrase phrase, Instrument instrument,
            double velocity, int transpose = 0, double stretch = 1.0) {
    double pos = from;
    for (const Step& step : phrase) {
        double end = std::min(pos + step.eighths * stretch, double(to));
        if (pos >= to)
            break;
        if (step.pitch > 0)
            add(sc, instrument, at(s, pos), 0.92 * (at(s, end) - at(s, pos)),
                step.pitch + transpose, velocity, 0.0, 0.6);
        pos = end;
    }
}

// Four on the floor, claps on two and four, open hats off the beat, closed sixteenths.
void groove(Score& sc, const Section& s, int from, int to) {
    double half = 0.5 * eighthLength(s);
    for (int i = from; i < to; ++i) {
        double t = at(s, i);
        if (i % 2 == 0)
            add(sc, Instrument::Kick, t, 0, 0, 0.7);
        if (i % 8 == 2 || i % 8 == 6)
            add(sc, Instrument::Clap, t, 0, 0, 1.0, 0.05);
        if (i % 2 == 1)
            add(sc, Instrument::OpenHat, t, 0, 0, 0.35, 0.25, 0.5);
        add(sc, Instrument::ClosedHat, t, 0, 0, 0.25, -0.3, 0.3);
        add(sc, Instrument::ClosedHat, t + half, 0, 0, 0.18, -0.3, 0.3);
    }
}

// The breakdown's groove: hats and a clap, no kick.
void lightGroove(Score& sc, const Section& s, int from, int to) {
    for (int i = from; i < to; ++i) {
        add(sc, Instrument::ClosedHat, at(s, i), 0, 0, i % 2 ? 0.22 : 0.14, -0.3, 0.3);
        if (i % 8 == 6)
            add(sc, Instrument::Clap, at(s, i), 0, 0, 0.6, 0.05);
    }
}

// Snare sixteenths growing louder, ending on two toms: the fill that lands on the next change.
void fill(Score& sc, const Section& s, int from, int to, double loudest = 0.6) {
    int steps = 2 * (to - from);
    double step = 0.5 * eighthLength(s);
    for (int k = 0; k < steps; ++k) {
        double t = at(s, from) + k * step;
        double v = 0.2 + (loudest - 0.2) * k / std::max(1, steps - 1);
        if (k >= steps - 2)
            add(sc, Instrument::Tom, t, 0, k == steps - 2 ? 50 : 45, 0.45,
                k == steps - 2 ? 0.3 : -0.3);
        else
            add(sc, Instrument::Snare, t, 0, 0, v, 0.0, 0.5);
        if (k % 4 == 0 && k < steps - 2)
            add(sc, Instrument::Kick, t, 0, 0, 0.8);
    }
}

// The accent on a scene change: a break of `gap` seconds just before it, then cymbal, a low
// boom and a snare for the bigger ones, bell on the chord.
void hit(Score& sc, double t, double strength, const Chord& c, double gap = 0.06) {
    add(sc, Instrument::Break, t - gap, gap, 0, 0);
    add(sc, Instrument::Crash, t, 0, 0, 0.3 + 0.35 * strength, 0.0);
    if (strength >= 0.4)
        add(sc, Instrument::Impact, t, 0, 0, 0.25 + 0.35 * strength);
    if (strength >= 0.5)
        add(sc, Instrument::Snare, t, 0, 0, 0.5, 0.0, 0.7);
    add(sc, Instrument::Bell, t, 1.0, c.tones[4] + 12, 0.12 + 0.1 * strength, -0.2);
    add(sc, Instrument::Bell, t, 1.0, c.tones[2] + 12, 0.1 + 0.08 * strength, 0.2);
}

// A section with the full band: chords per bar of eight eighths (the last takes the rest),
// drums up to `fillFrom`, then a fill.
void bandSection(Score& sc, const Section& s, std::initializer_list<const Chord*> chords,
                 int fillFrom, double padTone) {
    int bar = 0, count = int(chords.size());
    for (const Chord* c : chords) {
        int from = bar * 8, to = (bar == count - 1) ? s.eighths : from + 8;
        pad(sc, s, from, to, *c, padTone);
        bassOffbeat(sc, s, from, to, *c);
        arpeggio(sc, s, from, to, *c, 2, 0.55, 0.18);
        ++bar;
    }
    groove(sc, s, 0, fillFrom);
    fill(sc, s, fillFrom, s.eighths);
}

void intro(Score& sc) {
    Section s0 = rowSection(0);
    pad(sc, s0, 0, 13, kAm9, 0.2, 0.12, 2.2);
    bassLong(sc, s0, 0, 13, kAm9, 0.25, 1.5);
    const int bells[4][2] = {{0, 76}, {4, 81}, {8, 79}, {11, 83}};
    for (const auto& b : bells)
        add(sc, Instrument::Bell, at(s0, b[0]), 1.0, b[1], 0.13, b[0] % 8 ? 0.4 : -0.4);

    Section s1 = rowSection(1);
    hit(sc, s1.start, 0.2, kFmaj9);
    pad(sc, s1, 0, 8, kFmaj9, 0.25);
    pad(sc, s1, 8, 16, kGsus, 0.3);
    bassLong(sc, s1, 0, 8, kFmaj9);
    bassLong(sc, s1, 8, 16, kGsus);
    arpeggio(sc, s1, 0, 8, kFmaj9, 1, 0.4, 0.15);
    arpeggio(sc, s1, 8, 16, kGsus, 1, 0.4, 0.15);

    Section s2 = rowSection(2);
    hit(sc, s2.start, 0.3, kCadd9);
    pad(sc, s2, 0, 8, kCadd9, 0.35);
    pad(sc, s2, 8, 15, kEm7, 0.4);
    bassLong(sc, s2, 0, 8, kCadd9);
    bassLong(sc, s2, 8, 15, kEm7);
    arpeggio(sc, s2, 0, 8, kCadd9, 2, 0.45, 0.13);
    arpeggio(sc, s2, 8, 15, kEm7, 2, 0.5, 0.13);

    // The build: the filter opens, a riser lifts into the drums' entry.
    Section s3 = rowSection(3);
    hit(sc, s3.start, 0.4, kDm7);
    pad(sc, s3, 0, 8, kDm7, 0.45);
    pad(sc, s3, 8, 12, kE7, 0.55);
    pad(sc, s3, 12, 17, kE7, 0.7);
    bassLong(sc, s3, 0, 8, kDm7);
    bassLong(sc, s3, 8, 17, kE7);
    arpeggio(sc, s3, 0, 8, kDm7, 2, 0.55, 0.13);
    arpeggio(sc, s3, 8, 17, kE7, 2, 0.7, 0.14);
    add(sc, Instrument::Riser, at(s3, 5), s3.end - 0.125 - at(s3, 5), 0, 0.35);
}

void mainPart(Score& sc) {
    // Drums in: the model starts to bend.
    Section s4 = rowSection(4);
    hit(sc, s4.start, 1.0, kAm, 0.125);
    bandSection(sc, s4, {&kAm, &kFmaj9, &kCadd9, &kGsus}, 24, 0.55);

    Section s5 = rowSection(5);
    hit(sc, s5.start, 0.6, kAm);
    bandSection(sc, s5, {&kAm, &kFmaj9, &kCadd9, &kGsus}, 30, 0.55);
    melody(sc, s5, 0, 32, kThemeA, Instrument::Lead, 0.26);

    Section s6 = rowSection(6);
    hit(sc, s6.start, 0.6, kDm7);
    bandSection(sc, s6, {&kDm7, &kAm, &kFmaj9, &kGsus, &kE7}, 38, 0.6);
    melody(sc, s6, 0, 42, kThemeB, Instrument::Lead, 0.26);

    // Breakdown: no kick, the theme on bells, a snare build into the big section.
    Section s7 = rowSection(7);
    hit(sc, s7.start, 0.5, kAm);
    const Chord* breakdown[5] = {&kAm, &kFmaj9, &kCadd9, &kGsus, &kE7};
    for (int b = 0; b < 5; ++b) {
        int from = b * 8, to = std::min(from + 8, 34);
        pad(sc, s7, from, to, *breakdown[b], 0.4);
        bassLong(sc, s7, from, to, *breakdown[b], 0.35);
        arpeggio(sc, s7, from, to, *breakdown[b], 1, 0.35, 0.13);
    }
    melody(sc, s7, 0, 24, kThemeA2, Instrument::Bell, 0.16);
    lightGroove(sc, s7, 0, 24);
    fill(sc, s7, 24, 34, 0.7);
    add(sc, Instrument::Riser, at(s7, 26), s7.end - 0.125 - at(s7, 26), 0, 0.3);

    Section s8 = rowSection(8);
    hit(sc, s8.start, 1.0, kAm, 0.125);
    bandSection(
        sc, s8,
        {&kAm, &kFmaj9, &kCadd9, &kGsus, &kAm, &kFmaj9, &kCadd9, &kGsus, &kDm7, &kFmaj9, &kE7}, 88,
        0.65);
    melody(sc, s8, 0, 32, kThemeA, Instrument::Lead, 0.26);
    melody(sc, s8, 32, 64, kThemeA2, Instrument::Lead, 0.26);
    melody(sc, s8, 64, 91, kThemeC, Instrument::Lead, 0.27);
    melody(sc, s8, 32, 64, kThemeA2, Instrument::Bell, 0.07, 12);
    add(sc, Instrument::Crash, at(s8, 32), 0, 0, 0.3);
    add(sc, Instrument::Crash, at(s8, 64), 0, 0, 0.3);

    // Drums stop for a breath, a snare roll and a riser lead into the quick cuts.
    Section s9 = rowSection(9);
    hit(sc, s9.start, 0.6, kFmaj9);
    add(sc, Instrument::Kick, s9.start, 0, 0, 0.95);
    pad(sc, s9, 0, 4, kFmaj9, 0.5);
    pad(sc, s9, 4, 7, kE7, 0.6);
    bassLong(sc, s9, 0, 4, kFmaj9);
    bassLong(sc, s9, 4, 7, kE7);
    melody(sc, s9, 0, 7, {{81, 4}, {80, 3}}, Instrument::Lead, 0.26);
    fill(sc, s9, 1, 7, 0.7);
    add(sc, Instrument::Riser, at(s9, 1), s9.end - 0.06 - at(s9, 1), 0, 0.3);
}

// The quick cuts: a change every two seconds or so, each with its own chord and answer.
void quickCuts(Score& sc) {
    struct Cut {
        int row; // of the script, 10 to 19
        const Chord* chord;
        const Chord* second; // chord from the ninth eighth on, if any
        Phrase phrase;
    };
    const Cut cuts[] = {
        {10, &kAm, nullptr, kCutAm},  {11, &kFmaj9, &kGsus, kCutFG}, {12, &kCadd9, nullptr, kCutC},
        {13, &kGsus, nullptr, kCutG}, {14, &kAm, nullptr, kCutAm},   {15, &kFmaj9, nullptr, kCutF},
        {16, &kDm7, nullptr, kCutDm}, {17, &kEm7, nullptr, kCutEm},  {18, &kFmaj9, nullptr, kCutF},
        {19, &kE7, nullptr, kCutE},
    };
    for (const Cut& cut : cuts) {
        Section s = rowSection(cut.row);
        int n = s.eighths;
        hit(sc, s.start, 0.75, *cut.chord);
        int split = cut.second ? 8 : n;
        pad(sc, s, 0, split, *cut.chord, 0.65);
        bassOffbeat(sc, s, 0, split, *cut.chord);
        arpeggio(sc, s, 0, split, *cut.chord, 2, 0.6, 0.12);
        if (cut.second) {
            pad(sc, s, split, n, *cut.second, 0.65);
            bassOffbeat(sc, s, split, n, *cut.second);
            arpeggio(sc, s, split, n, *cut.second, 2, 0.6, 0.12);
        }
        groove(sc, s, 0, n - 1);
        fill(sc, s, n - 1, n, 0.45);
        melody(sc, s, 0, n, cut.phrase, Instrument::Lead, 0.26);
    }
}

void finale(Score& sc) {
    Section s11 = rowSection(20);
    hit(sc, s11.start, 1.0, kAm);
    bandSection(sc, s11, {&kAm, &kFmaj9, &kCadd9, &kGsus}, 28, 0.7);
    melody(sc, s11, 0, 32, kThemeA2, Instrument::Lead, 0.26);
    melody(sc, s11, 0, 32, kThemeA2, Instrument::Lead, 0.08, 12);

    // The end scene: one last hit, then pads, a slow bell echo of the theme and the fade.
    // It lasts past the run's end, to the end of the piece.
    Section s12 = section(rowStart(21), kSoundtrackSeconds);
    hit(sc, s12.start, 0.9, kAm9);
    add(sc, Instrument::Kick, s12.start, 0, 0, 0.95);
    const Chord* outro[4] = {&kAm9, &kFmaj9, &kCadd9, &kAm9};
    for (int b = 0; b < 4; ++b) {
        int from = b * 16, to = b == 3 ? 60 : from + 16;
        pad(sc, s12, from, to, *outro[b], 0.3 - 0.04 * b, 0.07, 0.4);
        bassLong(sc, s12, from, to, *outro[b], 0.3, 0.3);
        arpeggio(sc, s12, from, to, *outro[b], 1, 0.3, 0.11 - 0.015 * b);
    }
    melody(sc, s12, 2, 60, kThemeA, Instrument::Bell, 0.12, 0, 2.0);
}

} // namespace

std::vector<Note> composeScore() {
    Score sc;
    intro(sc);
    mainPart(sc);
    quickCuts(sc);
    finale(sc);
    return sc.notes;
}
