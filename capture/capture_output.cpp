// Frame writer thread, PNG files, the ffmpeg feed, and the temporary name of the output.
#include "capture/capture_output.h"
#include "shell/demo_state.h"
#include "capture/capture_signals.h"
#include "capture/ffmpeg_pipe.h"
#include "shell/music/music_decoder.h"
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <png.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFrameBytes = size_t(kPictureSize.width) * kPictureSize.height * 3;
constexpr int kSlots = 3; // frames in flight between the renderer and the writer

struct Slot {
    std::vector<uint8_t> rgb;
    int64_t frame = -1; // -1: free
};

struct {
    CaptureOutput kind = CaptureOutput::PngFolder;
    std::string out;
    std::string temp; // folder or file being written
    bool video = false;
    std::vector<std::string> written; // PNG files inside temp
    Slot slots[kSlots];
    int nextToFill = 0, nextToWrite = 0;
    bool stopping = false;
    bool failed = false;
    std::string failure;
    std::mutex mutex;
    std::condition_variable changed;
    std::thread writer;
} state;

// Fast zlib level: frames are large and many; the PNGs are still lossless.
bool writePng(const std::string& path, const uint8_t* rgb, std::string* error) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        *error = "cannot write '" + path + "': " + strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info && !setjmp(png_jmpbuf(png));
    if (ok) {
        png_init_io(png, f);
        png_set_compression_level(png, 1);
        png_set_filter(png, 0, PNG_FILTER_SUB);
        png_set_IHDR(png, info, kPictureSize.width, kPictureSize.height, 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < kPictureSize.height; ++y)
            png_write_row(png, rgb + size_t(y) * kPictureSize.width * 3);
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    ok = fclose(f) == 0 && ok;
    if (!ok)
        *error = "cannot write '" + path + "'";
    return ok;
}

bool writeOne(const Slot& slot, std::string* error) {
    if (state.video)
        return writeToFfmpeg(slot.rgb.data(), kFrameBytes, error);
    char name[32];
    snprintf(name, sizeof name, "/%06lld.png", static_cast<long long>(slot.frame));
    std::string path = state.temp + name;
    state.written.push_back(path);
    return writePng(path, slot.rgb.data(), error);
}

void writerLoop() {
    std::unique_lock<std::mutex> lock(state.mutex);
    for (;;) {
        Slot& slot = state.slots[state.nextToWrite];
        state.changed.wait(lock, [&] { return slot.frame >= 0 || state.stopping; });
        if (slot.frame < 0)
            return;                     // stopping with nothing left
        const bool skip = state.failed; // after a failure the rest is only drained
        lock.unlock();
        std::string error;
        bool ok = skip || writeOne(slot, &error);
        lock.lock();
        if (!ok && !state.failed) {
            state.failed = true;
            state.failure = error;
        }
        slot.frame = -1;
        state.nextToWrite = (state.nextToWrite + 1) % kSlots;
        state.changed.notify_all();
    }
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Frames per second of the music file, as the show's decoder reads it; 0 when it cannot.
int oggSampleRate(const std::string& path) {
    MusicDecoder decoder;
    return openMusicFile(decoder, path.c_str(), nullptr) ? decoder.rate : 0;
}

bool isEmptyFolder(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return false;
    int entries = 0;
    while (dirent* e = readdir(dir))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            ++entries;
    closedir(dir);
    return entries == 0;
}

void removeTemp() {
    if (state.temp.empty())
        return;
    if (state.video) {
        unlink(state.temp.c_str());
    } else {
        for (const std::string& f : state.written)
            unlink(f.c_str());
        rmdir(state.temp.c_str());
    }
    state.written.clear();
    state.temp.clear();
}

// Lets the writer drain the queue (or, with discard, drop it) and waits for it.
void stopWriter(bool discard) {
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        state.stopping = true;
        if (discard)
            state.failed = true;
    }
    state.changed.notify_all();
    if (state.writer.joinable())
        state.writer.join();
}

} // namespace

bool openCaptureOutput(const CaptureOptions& options, FrameRange range,
                       const std::string& musicPath, std::string* error) {
    state.kind = options.output;
    state.out = options.out;
    state.video = options.output != CaptureOutput::PngFolder;
    std::string out = options.out;
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    // Beside the result, so that the final rename stays within one file system.
    state.temp = directoryOf(out) + "/." + nameOf(out) + ".partial-" + std::to_string(getpid());
    std::string ffmpeg;
    int musicRate = 0;
    if (state.video) {
        ffmpeg = findFfmpeg();
        if (ffmpeg.empty()) {
            *error = "ffmpeg not found on PATH (it encodes .mp4 and .mkv; install ffmpeg)";
            state.temp.clear();
            return false;
        }
        musicRate = oggSampleRate(musicPath);
        if (musicRate <= 0) {
            *error = "cannot read the music '" + musicPath + "'";
            state.temp.clear();
            return false;
        }
        int fd = open(state.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            *error = "cannot write '" + options.out + "': " + strerror(errno);
            state.temp.clear();
            return false;
        }
        close(fd);
    } else {
        struct stat st {};
        if (stat(out.c_str(), &st) == 0 && !(S_ISDIR(st.st_mode) && isEmptyFolder(out))) {
            *error = "'" + options.out + "' exists and is not an empty folder";
            state.temp.clear();
            return false;
        }
        if (mkdir(state.temp.c_str(), 0755) != 0) {
            *error = "cannot write '" + options.out + "': " + strerror(errno);
            state.temp.clear();
            return false;
        }
    }
    state.out = out;
    if (state.video &&
        !startFfmpeg(ffmpeg, ffmpegArguments(options, range, musicPath, musicRate, state.temp),
                     error)) {
        removeTemp();
        return false;
    }
    for (Slot& slot : state.slots) {
        slot.rgb.assign(kFrameBytes, 0);
        slot.frame = -1;
    }
    state.nextToFill = state.nextToWrite = 0;
    state.stopping = state.failed = false;
    state.writer = std::thread(writerLoop);
    return true;
}

bool writeCaptureFrame(int64_t frame, const uint8_t* rgb, std::string* error) {
    std::unique_lock<std::mutex> lock(state.mutex);
    Slot& slot = state.slots[state.nextToFill];
    state.changed.wait(lock, [&] { return slot.frame < 0 || state.failed; });
    if (state.failed) {
        *error = state.failure;
        return false;
    }
    lock.unlock();
    memcpy(slot.rgb.data(), rgb, kFrameBytes);
    lock.lock();
    slot.frame = frame;
    state.nextToFill = (state.nextToFill + 1) % kSlots;
    state.changed.notify_all();
    return true;
}

bool finishCaptureOutput(std::string* error) {
    stopWriter(false);
    if (state.failed) {
        // ffmpeg's own message says more than a broken pipe does.
        *error = state.failure;
        if (state.video)
            finishFfmpeg(error);
        removeTemp();
        return false;
    }
    if (state.video && !finishFfmpeg(error)) {
        removeTemp();
        return false;
    }
    if (captureSignal() != 0) { // to the last moment, a signal leaves nothing behind
        *error = "interrupted";
        removeTemp();
        return false;
    }
    if (rename(state.temp.c_str(), state.out.c_str()) != 0) {
        *error = "cannot move the result to '" + state.out + "': " + strerror(errno);
        removeTemp();
        return false;
    }
    state.written.clear();
    state.temp.clear();
    return true;
}

void abandonCaptureOutput() {
    if (state.video)
        killFfmpeg(); // first: the writer may be blocked feeding it
    stopWriter(true);
    if (state.video) {
        std::string ignored;
        finishFfmpeg(&ignored);
    }
    removeTemp();
}
