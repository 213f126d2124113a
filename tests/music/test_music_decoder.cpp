// The music decoder alone: files of every shape it takes, passes of the file's length,
// damaged and cut files, and the refusals.
#include "shell/music/music_decoder.h"
#include "assets/soundtrack/ogg_writer.h"
#include "tests/support/test_data.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Decodes `frames` frames in blocks of `block`; *passStart: the first frame at which a new
// pass began (-1 when none did).
std::vector<float> decodeAll(MusicDecoder& d, long frames, int block, long* passStart = nullptr) {
    std::vector<float> out(size_t(frames) * 2);
    if (passStart)
        *passStart = -1;
    for (long done = 0; done < frames; done += block) {
        int n = int(std::min<long>(block, frames - done));
        long began = decodeMusic(d, out.data() + 2 * done, n);
        if (began >= 0 && passStart && *passStart < 0)
            *passStart = done + began;
    }
    return out;
}

std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    int c;
    while ((c = fgetc(file)) != EOF)
        bytes.push_back((unsigned char)c);
    fclose(file);
    return bytes;
}

TEST(MusicDecoder, TakesAnyRateMonoOrStereoAndLoopsAfterTheFilesLength) {
    const struct {
        int rate, channels;
    } kShapes[] = {{22050, 1}, {48000, 2}, {32000, 1}, {44100, 2}};
    for (const auto& shape : kShapes) {
        SCOPED_TRACE(std::to_string(shape.rate) + " Hz, " + std::to_string(shape.channels));
        std::string path = tempFilePath("decoder-shape.ogg");
        ASSERT_TRUE(writeToneOgg(path.c_str(), 0.5, 1, shape.rate, shape.channels));
        MusicDecoder d;
        std::string why;
        ASSERT_TRUE(openMusicFile(d, path.c_str(), &why)) << why;
        EXPECT_EQ(d.rate, shape.rate);
        EXPECT_EQ(d.channels, shape.channels);
        EXPECT_EQ(d.fileFrames, uint64_t(shape.rate / 2));
        rewindMusic(d, true);
        long passStart = 0;
        std::vector<float> out = decodeAll(d, long(d.fileFrames) + 5000, 1000, &passStart);
        EXPECT_EQ(passStart, long(d.fileFrames)) << "a pass lasts as long as the file says";
        // The tone (440 Hz, 0.3) on both sides; mono is doubled.
        float peak = 0;
        for (size_t i = 0; i < d.fileFrames; ++i) {
            ASSERT_EQ(out[2 * i], out[2 * i + 1]) << "frame " << i;
            peak = std::max(peak, std::fabs(out[2 * i]));
        }
        EXPECT_NEAR(peak, 0.3f, 0.05f);
        EXPECT_EQ(out[2 * d.fileFrames], out[0]) << "the second pass starts at frame 0";
        remove(path.c_str());
    }
}

// Garbage over a stretch in the middle: decoding skips it, silence stands for what was
// lost, what follows plays where the file has it, and the pass keeps the file's length.
TEST(MusicDecoder, ADamagedMiddleIsSkippedAndWhatFollowsKeepsItsPlace) {
    // Noise, which packs loosely: many small pages (a tone fits a second or two in one).
    std::string path = tempFilePath("decoder-damaged.ogg");
    std::vector<float> noise(size_t(4 * 44100) * 2);
    uint32_t seed = 12345;
    for (float& s : noise) {
        seed = seed * 1664525u + 1013904223u;
        s = 0.25f * (float(seed >> 8) / float(1u << 24) - 0.5f);
    }
    ASSERT_TRUE(writeOggVorbis(path.c_str(), noise.data(), noise.size() / 2, 44100, 0.3f));
    std::vector<unsigned char> clean = readBytes(path), damaged = clean;
    ASSERT_GT(clean.size(), 40000u);
    size_t from = clean.size() * 4 / 10; // well past the headers, short of the last page
    for (size_t i = 0; i < 1000; ++i)
        damaged[from + i] = (unsigned char)((i * 7919 + 13) & 0xff);
    MusicDecoder good, bad;
    ASSERT_TRUE(openMusicData(good, clean, nullptr));
    ASSERT_TRUE(openMusicData(bad, damaged, nullptr)) << "the headers are intact";
    ASSERT_EQ(bad.fileFrames, good.fileFrames);
    rewindMusic(good, true);
    rewindMusic(bad, true);
    long frames = long(good.fileFrames), passStart = 0;
    std::vector<float> expected = decodeAll(good, frames, 1024);
    std::vector<float> got = decodeAll(bad, frames + 2048, 1024, &passStart);
    EXPECT_EQ(passStart, frames) << "the pass keeps the file's length";
    long differ = 0, firstDiffer = -1, lastDiffer = -1;
    for (long i = 0; i < frames; ++i)
        if (got[size_t(2 * i)] != expected[size_t(2 * i)]) {
            ++differ;
            lastDiffer = i;
            if (firstDiffer < 0)
                firstDiffer = i;
        }
    printf("damaged stretch: frames %ld..%ld differ (%ld of them)\n", firstDiffer, lastDiffer,
           differ);
    EXPECT_GT(differ, 0) << "the garbage was meant to hit audio";
    // 1000 bytes of a file of some 100 kB: a page or two lost, and the rest of the file
    // exactly where it was.
    EXPECT_LT(lastDiffer - firstDiffer, 44100);
    EXPECT_LT(lastDiffer, frames * 6 / 10);
    remove(path.c_str());
}

// Issue 20, item 12: a good file cut short opens and plays what it holds, its pass as
// long as its last whole page says; cut inside its first page of audio, it still opens
// and plays silence, without a pass ever ending and without spinning.
TEST(MusicDecoder, AFileCutShortPlaysWhatItHolds) {
    std::string path = tempFilePath("decoder-whole.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 4.0));
    std::vector<unsigned char> bytes = readBytes(path);
    remove(path.c_str());
    ASSERT_GT(bytes.size(), 10000u);
    MusicDecoder d;
    std::string why;
    ASSERT_TRUE(
        openMusicData(d, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 10000), &why))
        << why;
    EXPECT_GT(d.fileFrames, 44100u);
    EXPECT_LT(d.fileFrames, 4u * 44100) << "shorter than the whole file";
    rewindMusic(d, true);
    long passStart = 0;
    std::vector<float> out = decodeAll(d, long(d.fileFrames) + 1000, 512, &passStart);
    EXPECT_EQ(passStart, long(d.fileFrames));
    float peak = 0;
    for (size_t i = 0; i < d.fileFrames; ++i)
        peak = std::max(peak, std::fabs(out[2 * i]));
    EXPECT_GT(peak, 0.2f) << "the tone it holds is played";

    ASSERT_TRUE(
        openMusicData(d, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4500), &why))
        << why;
    EXPECT_EQ(d.fileFrames, 0u) << "no whole page of audio: no length";
    rewindMusic(d, true);
    out = decodeAll(d, 44100, 1024, &passStart);
    EXPECT_EQ(passStart, -1);
    for (float s : out)
        ASSERT_EQ(s, 0.0f);
}

TEST(MusicDecoder, RefusesWhatItCannotPlayAndSaysWhy) {
    MusicDecoder d;
    std::string why;
    EXPECT_FALSE(openMusicFile(d, "no/such/tarnwhistle.ogg", &why));
    EXPECT_EQ(why, "music: cannot open no/such/tarnwhistle.ogg: No such file or directory");
    const char text[] = "this is not an Ogg Vorbis stream, only text pretending to be one.\n";
    EXPECT_FALSE(openMusicData(d, std::vector<unsigned char>(text, text + sizeof text), &why));
    EXPECT_EQ(why, "not an Ogg Vorbis file");
    EXPECT_FALSE(openMusicData(d, {}, &why));
    EXPECT_FALSE(d.isOpen);
    // Two streams chained in one file could change format mid-way.
    std::string first = tempFilePath("decoder-first.ogg"),
                second = tempFilePath("decoder-second.ogg");
    ASSERT_TRUE(writeToneOgg(first.c_str(), 0.5, 1));
    ASSERT_TRUE(writeToneOgg(second.c_str(), 0.5, 2, 22050, 1));
    std::vector<unsigned char> chained = readBytes(first), tail = readBytes(second);
    chained.insert(chained.end(), tail.begin(), tail.end());
    EXPECT_FALSE(openMusicData(d, chained, &why));
    EXPECT_EQ(why, "not a single mono or stereo stream");
    remove(first.c_str());
    remove(second.c_str());
}

TEST(MusicDecoder, SeeksWithinAPassAndGoesSilentPastTheEnd) {
    std::string path = tempFilePath("decoder-seek.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 1.0, 1, 8000, 1));
    MusicDecoder d, reference;
    ASSERT_TRUE(openMusicFile(d, path.c_str(), nullptr));
    ASSERT_TRUE(openMusicFile(reference, path.c_str(), nullptr));
    rewindMusic(reference, false);
    std::vector<float> whole = decodeAll(reference, 8000, 800);
    rewindMusic(d, true);
    seekMusic(d, 5000);
    long passStart = 0;
    std::vector<float> out = decodeAll(d, 3100, 256, &passStart);
    EXPECT_EQ(passStart, 3000);
    for (size_t i = 0; i < 2 * 3000; ++i)
        ASSERT_EQ(out[i], whole[2 * 5000 + i]) << i;
    rewindMusic(d, false);
    seekMusic(d, 9000);
    EXPECT_TRUE(d.ended);
    out = decodeAll(d, 500, 256);
    for (float s : out)
        ASSERT_EQ(s, 0.0f);
    remove(path.c_str());
}

// The whole file at once, as the tools that read the music file take it: one pass from
// frame 0 whatever the decoder was doing, exactly the file's length, no padding; a file
// with no length ends at what it holds, without spinning.
TEST(MusicDecoder, DecodesOneWholePassForTheTools) {
    std::string path = tempFilePath("decoder-whole-pass.ogg");
    ASSERT_TRUE(writeToneOgg(path.c_str(), 0.75, 1, 22050, 1));
    MusicDecoder d, reference;
    ASSERT_TRUE(openMusicFile(d, path.c_str(), nullptr));
    ASSERT_TRUE(openMusicFile(reference, path.c_str(), nullptr));
    rewindMusic(reference, false);
    std::vector<float> expected = decodeAll(reference, long(reference.fileFrames), 1000);
    rewindMusic(d, true);
    seekMusic(d, 7000); // looping, mid-pass: neither may show in the whole pass
    std::vector<float> whole = decodeWholeMusic(d);
    ASSERT_EQ(whole.size(), 2 * size_t(d.fileFrames)) << "one pass, no padding past its end";
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ(whole[i], expected[i]) << i;
    EXPECT_TRUE(d.ended);

    remove(path.c_str());

    ASSERT_TRUE(writeToneOgg(path.c_str(), 4.0)); // cut inside its first page of audio
    std::vector<unsigned char> bytes = readBytes(path);
    remove(path.c_str());
    ASSERT_TRUE(
        openMusicData(d, std::vector<unsigned char>(bytes.begin(), bytes.begin() + 4500), nullptr));
    ASSERT_EQ(d.fileFrames, 0u);
    EXPECT_TRUE(decodeWholeMusic(d).empty());
    EXPECT_TRUE(d.ended);
}

} // namespace
