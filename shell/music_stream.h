// The music: an Ogg Vorbis stream played looped, and the master clock. Sound that cannot
// start or goes away mid-show is not fatal: the clock runs on in real time and the music
// resumes where it stands when sound is back.
#pragma once
#include <string>

// Back to a fresh process's state (whatever an earlier use left open is closed).
void resetMusicSlots();
// Opens a sound output (44100 Hz stereo): the PulseAudio server when one answers and
// SDL_AUDIODRIVER is not set, else SDL's device. False, with the reason ("sound: ..."),
// only when no output can be opened at all.
bool initSound(std::string* why = nullptr);
// Opens the stream; false with the reason ("music: cannot open PATH: ...") when the file
// cannot be read or decoded.
bool openMusic(const char* path, std::string* why = nullptr);
// Starts playback from position 0; returns 0, or -1 (with the reason) when there is
// nothing to play. An output that fails to start only makes the show go on silent (one
// line on stderr) while the music's keeper tries again once a second.
int playMusic(bool loop, std::string* why = nullptr);
// Audible playback position within the current pass of the stream: whole milliseconds
// times the single-precision 0.001, formed in double. Never waits.
double musicTime();
// Stops playback, closes the stream and the output; safe to call again.
void closeSound();
