// A file held in memory, read by libvorbisfile through its callbacks: the music decoder's
// own, and the only header that includes libvorbisfile.
#pragma once
#include <cstddef>
#include <vorbis/vorbisfile.h>

// The decoder's datasource: bytes it does not own and its read position in them.
struct MemoryFile {
    const unsigned char* data = nullptr;
    size_t size = 0;     // bytes
    size_t position = 0; // bytes from the start; never past size
};

// Read, seek and tell over a MemoryFile* datasource; no close (the bytes are the caller's).
ov_callbacks memoryFileCallbacks();

// An open file as the decoder holds it: libvorbisfile's state and its view of the bytes.
struct VorbisStream {
    MemoryFile reader;
    OggVorbis_File file;
};
