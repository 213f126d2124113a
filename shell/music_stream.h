// The music: an Ogg Vorbis stream played looped through SDL audio, and the master clock.
#pragma once

void resetMusicSlots();
// Opens the audio device (44100 Hz stereo). False with the reason in *error.
bool initSound(const char** error = nullptr);
// Opens the stream; false with the reason in *error when the file cannot be decoded.
bool openMusic(const char* path, const char** error = nullptr);
// Starts playback from position 0; returns 0, or -1 when nothing could be played.
int playMusic(bool loop);
// Audible playback position within the current pass of the stream: whole milliseconds
// times the single-precision 0.001, formed in double.
double musicTime();
// Stops playback, closes the stream and the device; safe to call again.
void closeSound();
