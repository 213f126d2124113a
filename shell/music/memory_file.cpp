// libvorbisfile callbacks over a byte array: the music decodes without touching a disk.
#include "shell/music/memory_file.h"
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

size_t readBytes(void* into, size_t size, size_t count, void* source) {
    MemoryFile& file = *static_cast<MemoryFile*>(source);
    if (size == 0)
        return 0;
    size_t n = std::min(size * count, file.size - file.position) / size * size;
    if (n)
        memcpy(into, file.data + file.position, n);
    file.position += n;
    return n / size;
}

int seekBytes(void* source, ogg_int64_t offset, int whence) {
    MemoryFile& file = *static_cast<MemoryFile*>(source);
    ogg_int64_t base = whence == SEEK_SET   ? 0
                       : whence == SEEK_CUR ? ogg_int64_t(file.position)
                       : whence == SEEK_END ? ogg_int64_t(file.size)
                                            : -1;
    if (base < 0 || offset < -base || offset > ogg_int64_t(file.size) - base)
        return -1;
    file.position = size_t(base + offset);
    return 0;
}

long tellBytes(void* source) {
    return long(static_cast<MemoryFile*>(source)->position);
}

} // namespace

ov_callbacks memoryFileCallbacks() {
    return ov_callbacks{readBytes, seekBytes, nullptr, tellBytes};
}
