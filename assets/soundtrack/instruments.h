// The soundtrack's instruments: one note of any of them rendered dry as a stereo buffer.
#pragma once
#include "assets/soundtrack/synth.h"
#include <cstdint>

enum class Instrument {
    Kick,
    Snare,
    Clap,
    ClosedHat,
    OpenHat,
    Crash,
    Tom,
    Impact, // low boom under the big scene changes
    Riser,  // noise sweep that builds up to a change
    Bass,
    Pad,
    Arp,
    Lead,
    Bell,
    Break, // no sound: the sustained instruments drop away for its length, back at its end
};

// One note of the score. Drums ignore `length` (they ring out) except the riser.
struct Note {
    Instrument instrument;
    double start;    // seconds of music time
    double length;   // seconds held
    double pitch;    // MIDI note number (69 = A 440 Hz); tunes toms and the bell
    double velocity; // 0..1
    double pan;      // -1 left .. 1 right
    double tone;     // 0..1, filter brightness where the instrument has one
    double attack;   // seconds to full level for pads, bass and lead (0: the instrument's own)
};

// The note from its start until it has died away, starting and ending at silence.
// seed fixes the noise of noisy instruments and the oscillator phases.
StereoBuffer renderNote(const Note& note, uint32_t seed);
