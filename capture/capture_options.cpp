// Command-line parsing for the capture tool: every value checked before anything starts.
#include "capture/capture_options.h"
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

namespace {

constexpr double kShowSeconds = 120;
constexpr int kMaxFps = 240;
constexpr int kMaxSide = 7680; // pixels; also what H.264 levels still describe

bool fail(std::string* error, const std::string& why) {
    if (error)
        *error = why;
    return false;
}

bool parseInt(const char* text, long lo, long hi, long& value) {
    char* end = nullptr;
    errno = 0;
    value = strtol(text, &end, 10);
    return end != text && *end == '\0' && errno == 0 && value >= lo && value <= hi;
}

bool parseSeconds(const char* text, double& value) {
    char* end = nullptr;
    value = strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value >= 0 &&
           value <= kShowSeconds;
}

// "1920x1080": both sides even (4:2:0 video halves them), at least 16 pixels.
bool parseSize(const char* text, int& width, int& height) {
    const char* x = strchr(text, 'x');
    if (!x)
        return false;
    std::string w(text, x);
    long wv = 0, hv = 0;
    if (!parseInt(w.c_str(), 16, kMaxSide, wv) || !parseInt(x + 1, 16, kMaxSide, hv))
        return false;
    if (wv % 2 || hv % 2)
        return false;
    width = int(wv);
    height = int(hv);
    return true;
}

bool endsWith(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() > n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// A folder unless the name ends in .mp4 or .mkv; any other extension is refused rather
// than taken for a folder name.
bool classifyOutput(const std::string& out, CaptureOutput& kind) {
    struct stat st {};
    if (stat(out.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        kind = CaptureOutput::PngFolder;
        return true;
    }
    if (endsWith(out, ".mp4")) {
        kind = CaptureOutput::Mp4;
        return true;
    }
    if (endsWith(out, ".mkv")) {
        kind = CaptureOutput::Mkv;
        return true;
    }
    std::string name =
        out.substr(out.find_last_of('/') == std::string::npos ? 0 : out.find_last_of('/') + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && dot + 1 < name.size())
        return false;
    kind = CaptureOutput::PngFolder;
    return true;
}

} // namespace

bool parseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string* error) {
    // --help and --version win wherever they stand, --help over --version.
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
            options.help = true;
        else if (strcmp(argv[i], "--version") == 0)
            options.version = true;
    }
    if (options.help || options.version)
        return true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string name = arg, value;
        size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (arg == "--fps" || arg == "--from" || arg == "--to" || arg == "--out" ||
                   arg == "--size") {
            if (i + 1 >= argc)
                return fail(error, arg + " needs a value");
            value = argv[++i];
        } else {
            return fail(error, "unknown argument '" + arg + "' (see --help)");
        }
        long n = 0;
        if (name == "--fps") {
            if (!parseInt(value.c_str(), 1, kMaxFps, n))
                return fail(error, "--fps wants a whole number from 1 to 240, not '" + value + "'");
            options.fps = int(n);
        } else if (name == "--from") {
            if (!parseSeconds(value.c_str(), options.from))
                return fail(error, "--from wants seconds from 0 to 120, not '" + value + "'");
        } else if (name == "--to") {
            if (!parseSeconds(value.c_str(), options.to))
                return fail(error, "--to wants seconds from 0 to 120, not '" + value + "'");
        } else if (name == "--size") {
            if (!parseSize(value.c_str(), options.width, options.height))
                return fail(error, "--size wants WIDTHxHEIGHT, both even, 16 to 7680, not '" +
                                       value + "'");
        } else if (name == "--out") {
            if (value.empty())
                return fail(error, "--out needs a value");
            options.out = value;
        } else {
            return fail(error, "unknown argument '" + arg + "' (see --help)");
        }
    }
    if (options.out.empty())
        return fail(error, "--out is required: a folder for PNG frames, or a .mp4 or .mkv file");
    if (!classifyOutput(options.out, options.output))
        return fail(error, "--out '" + options.out +
                               "': not a folder, .mp4 or .mkv (no other formats are written)");
    FrameRange range = captureRange(options);
    if (range.end <= range.first)
        return fail(error, "--from must come before --to, with at least one frame between");
    if (options.output == CaptureOutput::PngFolder &&
        (options.width != 1024 || options.height != 768))
        return fail(error, "--size applies to .mp4 and .mkv output; PNG frames are 1024x768");
    return true;
}

FrameRange captureRange(const CaptureOptions& options) {
    // The small margin keeps whole-frame times (70 s at 60 fps: 4200) from rounding up.
    FrameRange range;
    range.first = int64_t(std::ceil(options.from * options.fps - 1e-6));
    range.end = int64_t(std::ceil(options.to * options.fps - 1e-6));
    return range;
}

const char* captureUsage() {
    return "Usage: glimwick-capture --out PATH [--fps N] [--from S] [--to S] [--size WxH]\n"
           "Renders the show offscreen, frame by frame on its music clock, whatever each frame\n"
           "costs, and writes the frames as PNG files or as a video with the music.\n"
           "\n"
           "  --out PATH   a folder: PNG frames named by frame number (000000.png ...);\n"
           "               a file ending in .mp4 or .mkv: H.264 video (CRF 18, yuv420p) with\n"
           "               the music muxed in as AAC, cut to the same range (needs ffmpeg)\n"
           "  --fps N      frames per second, 1 to 240 (default 60); frame n shows music\n"
           "               time round(n * 1000 / N) ms\n"
           "  --from S     first second written, 0 to 120 (default 0); earlier frames are\n"
           "               rendered but not written, since each frame feeds the next\n"
           "  --to S       end of the range in seconds, up to 120 (default 120)\n"
           "  --size WxH   the video's frame (default 1024x768); the picture, rendered at\n"
           "               1024x768, is scaled into its largest centred 4:3 area with black\n"
           "               bars: 1920x1080 gives 1440x1080 pillarboxed\n"
           "  --version    the version, and the commit when it is not a tagged release\n"
           "  --help       this text\n"
           "\n"
           "Exit status: 0 done, 2 bad arguments, unwritable output or no ffmpeg, 1 any other\n"
           "failure (an encoder that takes nothing for 30 s among them). SIGINT, SIGTERM,\n"
           "SIGHUP or SIGQUIT: the capture cleans up and dies by that signal (a shell\n"
           "shows 128 + N). Nothing is left under PATH unless the capture completes.\n";
}
