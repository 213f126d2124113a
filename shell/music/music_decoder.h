// The music file decoded: held in memory whole, damaged stretches skipped, looped, and
// silence for what was lost so that every pass lasts as long as the file says. No device,
// no threads: whoever calls it owns it (the output's thread while sound plays).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct VorbisStream; // libvorbisfile's state over the bytes (memory_file.h): the decoder's own

struct MusicDecoder {
    std::vector<unsigned char> bytes;     // the whole file: decoding never waits on a disk
    std::unique_ptr<VorbisStream> stream; // while open
    bool isOpen = false;
    int channels = 0;
    int rate = 0;            // frames per second of the file: the clock counts its frames
    uint64_t fileFrames = 0; // one pass, as the file's last page gives it; 0 if unknown
    bool loop = false;
    bool ended = false;      // a stream that does not loop has run out
    uint64_t passFrames = 0; // frames handed out in the current pass
    // Made and ended out of line, where VorbisStream is complete; never copied, since the
    // stream reads bytes where they stand.
    MusicDecoder();
    MusicDecoder(const MusicDecoder&) = delete;
    MusicDecoder& operator=(const MusicDecoder&) = delete;
    ~MusicDecoder();
};

// Takes the bytes of an Ogg Vorbis file: one logical stream, mono or stereo, any rate.
// False with the reason (no "music: " and no name) when it cannot be played.
bool openMusicData(MusicDecoder& decoder, std::vector<unsigned char> bytes, std::string* why);
// Reads the file at `path` whole and opens it; the reason says "music: cannot open PATH: ...".
bool openMusicFile(MusicDecoder& decoder, const char* path, std::string* why);
void closeMusicDecoder(MusicDecoder& decoder);
// Back to frame 0 of a first pass; `loop`: a new pass follows each one.
void rewindMusic(MusicDecoder& decoder, bool loop);
// To `frame` of the current pass (where a clock that ran on without sound stands); past the
// end of a stream that does not loop, or where the file cannot seek, nothing more plays.
void seekMusic(MusicDecoder& decoder, uint64_t frame);
// Fills `frames` stereo frames at out (mono on both sides; silence where nothing decodes).
// Returns the frame of the block at which a new pass began, or -1 when none did.
long decodeMusic(MusicDecoder& decoder, float* out, int frames);
// One whole pass from frame 0 as interleaved stereo frames (mono on both sides), for tools
// that take the file's sound at once; leaves the decoder at the end of a pass that does not
// loop.
std::vector<float> decodeWholeMusic(MusicDecoder& decoder);
