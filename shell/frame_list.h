// The frames a page's frame test hands back: a short list, none at or past the show's end.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// At most this many frames in one list: the page keeps each as a 2.4 MB picture.
constexpr int kMaxListedFrames = 16;

// Parses "N,M,..." (frames of a fixed-rate run at fps) into frames, ascending without
// repeats. False with the reason when the list is empty or malformed, names more than
// kMaxListedFrames frames, or a frame the show does not draw (at or past its end).
bool parseFrameList(const char* list, int fps, std::vector<int64_t>& frames, std::string* error);
