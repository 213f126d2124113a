// Ogg Vorbis decoding from memory, looped, with damaged stretches skipped.
#include "shell/music/music_decoder.h"
#include "shell/music/memory_file.h"
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const long kLargestFile = 256L << 20; // bytes; the music is read into memory whole
// Damaged stretches skipped in one call before it gives silence for the rest of the block.
const int kTriesPerBlock = 64;

const char* vorbisError(int code) {
    switch (code) {
    case OV_EREAD:
        return "read error";
    case OV_ENOTVORBIS:
        return "not an Ogg Vorbis file";
    case OV_EVERSION:
        return "unsupported Vorbis version";
    case OV_EBADHEADER:
        return "corrupt Vorbis header";
    default:
        return "cannot decode the file";
    }
}

// The whole file into bytes; false with errno set (EFBIG when too large).
bool readWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    FILE* file = fopen(path, "rb");
    if (!file)
        return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = size >= 0 && size <= kLargestFile && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(size));
        ok = fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (!ok)
            errno = EIO;
    } else if (size > kLargestFile) {
        errno = EFBIG;
    }
    int saved = errno;
    fclose(file);
    errno = saved;
    return ok;
}

// Up to `wanted` frames into out as stereo; returns how many, 0 at the end of the pass,
// -1 after too many damaged stretches in a row. Where decoding skipped a damaged stretch
// (a hole, a bad page), the file's own position runs ahead of what was handed out: silence
// fills the gap, so what follows plays when the file says; at the end, silence makes up
// for what is missing and nothing plays past the file's length, so every pass lasts as
// long as the file says and a clock that counts passes by that length stays with it.
long decodeFrames(MusicDecoder& d, float* out, int wanted) {
    if (d.fileFrames > 0)
        wanted = int(std::min<uint64_t>(uint64_t(wanted),
                                        d.fileFrames - std::min(d.passFrames, d.fileFrames)));
    if (wanted <= 0)
        return 0;
    for (int tries = 0; tries < kTriesPerBlock; ++tries) {
        ogg_int64_t at = ov_pcm_tell(&d.stream->file);
        long got = 0;
        if (at > ogg_int64_t(d.passFrames)) {
            got = long(std::min<uint64_t>(uint64_t(at) - d.passFrames, uint64_t(wanted)));
            std::fill(out, out + 2 * got, 0.0f);
        } else {
            float** pcm = nullptr;
            int section = 0;
            got = ov_read_float(&d.stream->file, &pcm, wanted, &section);
            if (got < 0)
                continue;   // decoding resumes at the next good page
            if (got == 0) { // the end of the data: silence up to the file's length
                uint64_t left = d.fileFrames - std::min(d.passFrames, d.fileFrames);
                got = long(std::min<uint64_t>(left, uint64_t(wanted)));
                std::fill(out, out + 2 * got, 0.0f);
            } else {
                got = std::min<long>(got, wanted);
                const int right = d.channels > 1 ? 1 : 0; // mono plays on both sides
                for (long i = 0; i < got; ++i) {
                    out[2 * i] = pcm[0][i];
                    out[2 * i + 1] = pcm[right][i];
                }
            }
        }
        d.passFrames += uint64_t(got);
        return got;
    }
    return -1;
}

} // namespace

MusicDecoder::MusicDecoder() = default;

MusicDecoder::~MusicDecoder() {
    closeMusicDecoder(*this);
}

bool openMusicData(MusicDecoder& d, std::vector<unsigned char> bytes, std::string* why) {
    closeMusicDecoder(d);
    d.bytes = std::move(bytes);
    d.stream = std::make_unique<VorbisStream>();
    d.stream->reader = MemoryFile{d.bytes.data(), d.bytes.size(), 0};
    int code =
        ov_open_callbacks(&d.stream->reader, &d.stream->file, nullptr, 0, memoryFileCallbacks());
    if (code != 0) { // nothing to release after a failed open with no close callback
        d.bytes.clear();
        d.stream.reset();
        if (why)
            *why = vorbisError(code);
        return false;
    }
    d.isOpen = true;
    // One logical stream only: a chained file could change rate or channels mid-way.
    vorbis_info* vi = ov_info(&d.stream->file, -1);
    if (ov_streams(&d.stream->file) != 1 || !vi || vi->channels < 1 || vi->channels > 2 ||
        vi->rate < 1) {
        closeMusicDecoder(d);
        if (why)
            *why = "not a single mono or stereo stream";
        return false;
    }
    d.channels = vi->channels;
    d.rate = int(vi->rate);
    ogg_int64_t total = ov_pcm_total(&d.stream->file, -1);
    d.fileFrames = total > 0 ? uint64_t(total) : 0;
    rewindMusic(d, false);
    return true;
}

bool openMusicFile(MusicDecoder& d, const char* path, std::string* why) {
    std::vector<unsigned char> bytes;
    std::string reason;
    if (!readWholeFile(path, bytes))
        reason = strerror(errno);
    else if (openMusicData(d, std::move(bytes), &reason))
        return true;
    if (why)
        *why = std::string("music: cannot open ") + path + ": " + reason;
    return false;
}

void closeMusicDecoder(MusicDecoder& d) {
    if (d.isOpen)
        ov_clear(&d.stream->file);
    d.isOpen = false;
    d.ended = true; // nothing decodes until a new open
    d.stream.reset();
    d.bytes.clear();
    d.bytes.shrink_to_fit();
}

void rewindMusic(MusicDecoder& d, bool loop) {
    d.loop = loop;
    d.ended = !d.isOpen || ov_pcm_seek(&d.stream->file, 0) != 0;
    d.passFrames = 0;
}

void seekMusic(MusicDecoder& d, uint64_t frame) {
    bool inside = d.isOpen && (d.fileFrames == 0 || frame < d.fileFrames);
    d.ended = !inside || ov_pcm_seek(&d.stream->file, ogg_int64_t(frame)) != 0;
    d.passFrames = frame;
}

long decodeMusic(MusicDecoder& d, float* out, int frames) {
    int done = 0;
    bool restarted = false; // a stream that decodes to nothing must not spin here
    long began = -1;
    while (done < frames && !d.ended) {
        long got = decodeFrames(d, out + 2 * done, frames - done);
        if (got > 0) {
            done += int(got);
            restarted = false;
        } else if (got == 0 && d.loop && !restarted && ov_pcm_seek(&d.stream->file, 0) == 0) {
            restarted = true;
            d.passFrames = 0;
            began = done;
        } else if (got < 0) {
            break; // a long damaged stretch: silence for now, decoding goes on next time
        } else {
            d.ended = true; // the end of a stream that does not loop
        }
    }
    std::fill(out + 2 * done, out + 2 * frames, 0.0f);
    return began;
}

std::vector<float> decodeWholeMusic(MusicDecoder& d) {
    const int kBlock = 4096; // frames
    std::vector<float> sound;
    rewindMusic(d, false);
    while (!d.ended) {
        uint64_t before = d.passFrames;
        sound.resize(2 * (before + kBlock));
        decodeMusic(d, sound.data() + 2 * before, kBlock);
        if (d.passFrames == before && !d.ended)
            break; // a damaged stretch longer than a block of tries: what came before stands
    }
    sound.resize(2 * d.passFrames); // the block past the end is padding, not sound
    return sound;
}
