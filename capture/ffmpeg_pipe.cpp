// The encoder process: arguments, start, feeding, and its end however it comes.
#include "capture/ffmpeg_pipe.h"
#include "shell/picture_area.h"
#include "shell/demo_state.h"
#include "capture/capture_signals.h"
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// An encoder that takes no byte for this long has stopped for good (a hung ffmpeg, or a
// stand-in that never reads); the environment may shorten it for tests.
constexpr double kDefaultStallSeconds = 30;
const char* const kStallVariable = "GLIMWICK_CAPTURE_STALL_SECONDS";

struct {
    pid_t pid = -1;
    int input = -1;               // write end of ffmpeg's standard input, non-blocking
    std::string logPath;          // ffmpeg's own messages
    Clock::duration stallLimit{}; // set from the environment by startFfmpeg
    bool stalled = false;         // it stopped reading: it is killed, not waited for
} state;

// Sample number of the frame boundary: round(frame x rate / fps), halves up.
long long sampleAt(int64_t frame, int fps, int rate) {
    return (frame * rate * 2 + fps) / (2 * int64_t(fps));
}

// The last non-empty line ffmpeg wrote, for a one-line report.
std::string lastLogLine() {
    std::string last;
    if (FILE* f = fopen(state.logPath.c_str(), "r")) {
        char line[512];
        while (fgets(line, sizeof line, f)) {
            std::string s = line;
            while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
                s.pop_back();
            if (!s.empty())
                last = s;
        }
        fclose(f);
    }
    return last.empty() ? "no message" : last;
}

void forgetLog() {
    if (!state.logPath.empty())
        unlink(state.logPath.c_str());
    state.logPath.clear();
}

bool readStallLimit(std::string* error) {
    double seconds = kDefaultStallSeconds;
    if (const char* text = getenv(kStallVariable)) {
        char* end = nullptr;
        seconds = strtod(text, &end);
        if (end == text || *end != '\0' || !(seconds > 0 && seconds <= 86400)) {
            *error =
                std::string(kStallVariable) + " must be a number of seconds, not '" + text + "'";
            return false;
        }
    }
    state.stallLimit =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    return true;
}

// The scratch file for ffmpeg's messages, in $TMPDIR; close-on-exec, so that only the
// copies on ffmpeg's standard output and error reach it.
int makeLog(std::string* error) {
    const char* dir = getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/glimwick-capture-ffmpeg-XXXXXX";
    int log = mkostemp(&path[0], O_CLOEXEC);
    if (log < 0)
        *error = "cannot make a scratch file for ffmpeg's messages in '" +
                 path.substr(0, path.rfind('/')) + "': " + strerror(errno);
    else
        state.logPath = path;
    return log;
}

// Waits for ffmpeg to end; a signal to the capture cuts the wait short by killing it.
// The status as waitpid gives it.
int reapFfmpeg() {
    int status = 0;
    for (;;) {
        pid_t got = waitpid(state.pid, &status, WNOHANG);
        if (got == state.pid || (got < 0 && errno != EINTR))
            break;
        if (captureSignal() != 0) {
            kill(state.pid, SIGKILL);
            while (waitpid(state.pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        // The signal pipe wakes this at once; the exit itself is seen within 10 ms.
        pollfd wake{captureSignalFd(), POLLIN, 0};
        poll(&wake, 1, 10);
    }
    state.pid = -1;
    return status;
}

} // namespace

std::vector<std::string> ffmpegArguments(const CaptureOptions& options, FrameRange range,
                                         const std::string& musicPath, int musicRate,
                                         const std::string& target) {
    // The picture into the largest centred 4:3 area of the frame; pad counts from the top.
    PictureArea area =
        pictureArea(options.width, options.height, kPictureSize.width, kPictureSize.height);
    int top = options.height - area.y - area.height;
    char video[320];
    snprintf(video, sizeof video,
             "[0:v]scale=w=%d:h=%d:flags=lanczos+accurate_rnd+full_chroma_int:"
             "out_color_matrix=bt709:out_range=tv,pad=%d:%d:%d:%d:black,format=yuv420p[v]",
             area.width, area.height, options.width, options.height, area.x, top);
    // The music cut by sample count: timestamps the Vorbis demuxer guesses for the first
    // pages are off by a few hundred samples, so they are replaced by the count itself.
    std::string audio =
        "[1:a]asetpts=N/SR/TB,atrim=start_sample=" +
        std::to_string(sampleAt(range.first, options.fps, musicRate)) +
        ":end_sample=" + std::to_string(sampleAt(range.end, options.fps, musicRate)) +
        ",asetpts=PTS-STARTPTS[a]";
    std::string size =
        std::to_string(kPictureSize.width) + "x" + std::to_string(kPictureSize.height);
    std::string fps = std::to_string(options.fps);
    // x264's veryfast preset: half the encoder time of fast at 1080p for this material, at
    // the same CRF and a file no larger, so encoding keeps pace with rendering on 2 cores.
    // AAC in both containers: Matroska carries its priming as timestamps, whereas Opus's
    // pre-skip in Matroska comes back 6.5 ms early against the picture (ffmpeg 5.1).
    bool mp4 = options.output == CaptureOutput::Mp4;
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
        // The frames: raw RGB on standard input at the capture rate.
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size, "-framerate", fps, "-i",
        "pipe:0", "-i", "file:" + musicPath, "-filter_complex", std::string(video) + ";" + audio,
        "-map", "[v]", "-map", "[a]", "-c:v", "libx264", "-preset", "veryfast", "-crf", "18",
        "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc",
        "bt709", "-color_range", "tv", "-r", fps, "-c:a", "aac", "-b:a", "192k"};
    if (mp4)
        args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4"});
    else
        args.insert(args.end(), {"-f", "matroska"});
    // ffmpeg reads "name:" at the start of a path as a protocol: "file:" makes any
    // path a plain file ("clips:v2/b.mkv").
    args.push_back("file:" + target);
    return args;
}

std::string findFfmpeg() {
    const char* path = getenv("PATH");
    std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t colon = dirs.find(':', start);
        std::string dir =
            dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        std::string candidate = (dir.empty() ? "." : dir) + "/ffmpeg";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return "";
}

bool startFfmpeg(const std::string& executable, const std::vector<std::string>& arguments,
                 std::string* error) {
    state.stalled = false;
    if (!readStallLimit(error))
        return false;
    int log = makeLog(error);
    if (log < 0)
        return false;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe to ffmpeg: ") + strerror(errno);
        close(log);
        forgetLog();
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // No signal handler may run in the child before exec: it would write the capture's
    // signal pipe, which the child shares.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    pid_t pid = fork();
    if (pid == 0) {
        resetCaptureSignalsInChild();
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        // A process group of its own: a Ctrl-C meant for the capture reaches the capture,
        // which then stops ffmpeg itself and removes what it had written.
        setpgid(0, 0);
        dup2(fds[0], STDIN_FILENO);
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    close(fds[0]);
    close(log);
    if (pid < 0) {
        close(fds[1]);
        forgetLog();
        *error = std::string("cannot start ffmpeg: ") + strerror(forkError);
        return false;
    }
    state.pid = pid;
    state.input = fds[1];
    // A frame is 2.3 MB; a larger pipe lets rendering run further ahead of the encoder.
    fcntl(state.input, F_SETPIPE_SZ, 1 << 20);
    // Writes never block: a stalled encoder and a signal are both noticed while waiting.
    fcntl(state.input, F_SETFL, fcntl(state.input, F_GETFL) | O_NONBLOCK);
    return true;
}

bool writeToFfmpeg(const uint8_t* bytes, size_t size, std::string* error) {
    Clock::time_point lastTaken = Clock::now();
    while (size > 0) {
        ssize_t n = write(state.input, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= size_t(n);
            lastTaken = Clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            *error = "ffmpeg stopped reading frames"; // it has gone; its own message follows
            return false;
        }
        Clock::duration left = lastTaken + state.stallLimit - Clock::now();
        if (left <= Clock::duration::zero()) {
            state.stalled = true;
            long seconds = long(std::chrono::duration<double>(state.stallLimit).count() + 0.5);
            *error =
                "the encoder stopped reading (nothing taken for " + std::to_string(seconds) + " s)";
            return false;
        }
        pollfd wait[2] = {{state.input, POLLOUT, 0}, {captureSignalFd(), POLLIN, 0}};
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(left).count() + 1;
        poll(wait, 2, int(ms));
        if (captureSignal() != 0) {
            *error = "interrupted";
            return false;
        }
    }
    return true;
}

bool finishFfmpeg(std::string* error) {
    if (state.input >= 0)
        close(state.input);
    state.input = -1;
    bool ok = true;
    if (state.pid > 0) {
        if (state.stalled)
            kill(state.pid, SIGKILL); // closing its input would not end it
        int status = reapFfmpeg();
        ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!ok && error && !state.stalled)
            *error = captureSignal() != 0 ? "interrupted" : "ffmpeg failed: " + lastLogLine();
    }
    forgetLog();
    return ok;
}

void killFfmpeg() {
    if (state.pid > 0)
        kill(state.pid, SIGKILL);
}
