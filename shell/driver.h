// The one shape every driver of the show takes: start, step one frame on a clock, stop.
#pragma once
#include <cstdint>
#include <string>

// How a run starts.
struct DriverSetup {
    bool fullscreen = false;
    bool music = true;      // false: no sound at all; frames are stepped on the fixed-rate clock
    bool offscreen = false; // SDL's offscreen video: the same picture with or without a display
    bool readBack = false;  // room for the pictures stepDriverAt is asked to keep
    const char* textPath =
        nullptr; // the text panels; null: the data file, found as the show finds it
};

// The music file as the show finds it (data/NAME beside it, or installed).
std::string driverMusicPath();
// The window, the music (unless setup.music is false) and the show's resources, from the
// data files the build names. False at the first failure with the reason in *error; what
// was made stays for stopDriver.
bool startDriver(const DriverSetup& setup, std::string* error);
// One frame on the music clock. False once the loop is to end (the schedule's end or a
// quit request); that frame has been presented.
bool stepDriver();
// One frame at frame `frame` of a fixed-rate run of fps frames per second, its finished
// picture read back when `keep` (and setup.readBack); false as stepDriver, and for every
// step after.
bool stepDriverAt(int64_t frame, int fps, bool keep);
// The music has played through the show's end since the previous call, frames drawn or
// not: for a driver whose frames may stop while the music plays on (a hidden page).
bool driverMusicPassedEnd();
// The music time (s) the last frame was drawn for: the reading the schedule took.
double driverFrameMusicTime();
// The loop ended at the schedule's end (rather than a quit request).
bool driverReachedEnd();
// The last kept frame's finished picture: RGB rows, top row first, kPictureSize. Valid
// until the next step that keeps one.
const uint8_t* driverPicture();
// Releases whatever startDriver made (the window with its display mode, the sound, the
// render targets). Safe to call again; SDL itself stays for the caller to quit.
void stopDriver();
