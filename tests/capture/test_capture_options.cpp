// The capture tool's command line, frame range and clock, and the encoder's frame layout.
#include "capture/capture_options.h"
#include "capture/ffmpeg_pipe.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// Parses the arguments given after the program name.
bool parse(std::initializer_list<const char*> args, CaptureOptions& options, std::string* error) {
    std::vector<char*> argv = {const_cast<char*>("glimwick-capture")};
    for (const char* a : args)
        argv.push_back(const_cast<char*>(a));
    return parseCaptureOptions(int(argv.size()), argv.data(), options, error);
}

std::string parseError(std::initializer_list<const char*> args) {
    CaptureOptions options;
    std::string error;
    EXPECT_FALSE(parse(args, options, &error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    return error;
}

std::string filterOf(const std::vector<std::string>& args) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-filter_complex")
            return args[i + 1];
    return "";
}

TEST(CaptureOptions, DefaultsAndBothSpellingsOfValues) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--out", "frames"}, o, &error)) << error;
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.from, 0);
    EXPECT_EQ(o.to, 120);
    EXPECT_EQ(o.width, 1024);
    EXPECT_EQ(o.height, 768);
    EXPECT_EQ(o.output, CaptureOutput::PngFolder);
    FrameRange whole = captureRange(o);
    EXPECT_EQ(whole.first, 0);
    EXPECT_EQ(whole.end, 7200); // 120 s at 60 fps, the last frame at 119.983 s

    CaptureOptions v;
    ASSERT_TRUE(
        parse({"--fps=24", "--from", "70", "--to=78", "--out=show.MKV", "--size", "1920x1080"}, v,
              &error))
        << error;
    EXPECT_EQ(v.fps, 24);
    EXPECT_EQ(v.output, CaptureOutput::Mkv);
    EXPECT_EQ(v.width, 1920);
    EXPECT_EQ(v.height, 1080);
    FrameRange range = captureRange(v);
    EXPECT_EQ(range.first, 1680);
    EXPECT_EQ(range.end, 1872);

    // --help wins wherever it stands, even after a bad value.
    CaptureOptions help;
    EXPECT_TRUE(parse({"--fps", "nonsense", "--help"}, help, &error));
    EXPECT_TRUE(help.help);
    // So does --version, which --help outranks.
    CaptureOptions version;
    EXPECT_TRUE(parse({"--to", "nonsense", "--version"}, version, &error));
    EXPECT_TRUE(version.version);
    EXPECT_FALSE(version.help);
    CaptureOptions both;
    EXPECT_TRUE(parse({"--version", "--help"}, both, &error));
    EXPECT_TRUE(both.help);
}

TEST(CaptureOptions, BadValuesAreRefusedWithOneLineNamingTheOption) {
    EXPECT_NE(parseError({"--out", "x.mp4", "--fps", "0"}).find("--fps"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--fps", "60.5"}).find("--fps"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--fps", "241"}).find("--fps"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--from", "-1"}).find("--from"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--to", "120.5"}).find("--to"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--to", "nan"}).find("--to"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--from", "80", "--to", "70"}).find("--from"),
              std::string::npos);
    // Less than one frame between them at 10 fps.
    EXPECT_NE(parseError({"--out", "x.mp4", "--fps", "10", "--from", "1.01", "--to", "1.09"})
                  .find("--from"),
              std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--size", "1921x1080"}).find("--size"),
              std::string::npos); // 4:2:0 video needs even sides
    EXPECT_NE(parseError({"--out", "x.mp4", "--size", "1920"}).find("--size"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--size", "8x8"}).find("--size"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.avi"}).find("x.avi"), std::string::npos);
    EXPECT_NE(parseError({"--fps", "30"}).find("--out"), std::string::npos);
    EXPECT_NE(parseError({"--out"}).find("--out"), std::string::npos);
    EXPECT_NE(parseError({"--out", "x.mp4", "--frobnicate"}).find("--frobnicate"),
              std::string::npos);
    EXPECT_NE(parseError({"--out", "frames", "--size", "1920x1080"}).find("--size"),
              std::string::npos); // PNG frames keep the rendered size
}

TEST(CaptureOptions, RangeStartsOnTheFirstFrameAtOrAfterFrom) {
    CaptureOptions o;
    o.fps = 60;
    o.from = 70;
    o.to = 78;
    EXPECT_EQ(captureRange(o).first, 4200);
    EXPECT_EQ(captureRange(o).end, 4680);
    o.from = 0.01; // between frames 0 and 1
    o.to = 0.02;   // frame 1 at 16.7 ms is the only one before it
    EXPECT_EQ(captureRange(o).first, 1);
    EXPECT_EQ(captureRange(o).end, 2);
    o.fps = 30;
    o.from = 119.99;
    o.to = 120;
    EXPECT_EQ(captureRange(o).first, 3600);
    EXPECT_EQ(captureRange(o).end, 3600); // empty: parsing refuses it
}

TEST(FfmpegArguments, PictureGoesIntoTheLargestCentred43Area) {
    CaptureOptions o;
    o.output = CaptureOutput::Mp4;
    o.width = 1920;
    o.height = 1080;
    FrameRange range{4200, 4680};
    std::string f = filterOf(ffmpegArguments(o, range, "m.ogg", 44100, "out.tmp"));
    EXPECT_NE(f.find("scale=w=1440:h=1080:flags=lanczos"), std::string::npos) << f;
    EXPECT_NE(f.find("pad=1920:1080:240:0:black"), std::string::npos) << f;
    // The music cut to exactly the frames' range.
    EXPECT_NE(f.find("atrim=start_sample=3087000:end_sample=3439800"), std::string::npos) << f;

    o.width = 1280; // 5:4 gets bars above and below
    o.height = 1024;
    f = filterOf(ffmpegArguments(o, range, "m.ogg", 44100, "out.tmp"));
    EXPECT_NE(f.find("scale=w=1280:h=960:"), std::string::npos) << f;
    EXPECT_NE(f.find("pad=1280:1024:0:32:black"), std::string::npos) << f;

    o.width = 1024;
    o.height = 768;
    o.fps = 24;
    f = filterOf(ffmpegArguments(o, FrameRange{1732, 1733}, "m.ogg", 44100, "out.tmp"));
    EXPECT_NE(f.find("pad=1024:768:0:0:black"), std::string::npos) << f;
    // 72.1666.. s and 72.2083.. s in whole samples, the second rounded up from a half.
    EXPECT_NE(f.find("atrim=start_sample=3182550:end_sample=3184388"), std::string::npos) << f;
}

TEST(FfmpegArguments, ContainerCodecsAndTheTemporaryTarget) {
    CaptureOptions o;
    o.output = CaptureOutput::Mp4;
    std::vector<std::string> mp4 =
        ffmpegArguments(o, FrameRange{0, 60}, "m.ogg", 44100, "dir/.x.tmp");
    auto has = [](const std::vector<std::string>& args, const char* a, const char* b) {
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == a && args[i + 1] == b)
                return true;
        return false;
    };
    EXPECT_TRUE(has(mp4, "-c:v", "libx264"));
    EXPECT_TRUE(has(mp4, "-crf", "18"));
    EXPECT_TRUE(has(mp4, "-pix_fmt", "yuv420p"));
    EXPECT_TRUE(has(mp4, "-c:a", "aac"));
    EXPECT_TRUE(has(mp4, "-movflags", "+faststart"));
    EXPECT_TRUE(has(mp4, "-f", "mp4"));
    EXPECT_TRUE(has(mp4, "-pix_fmt", "rgb24")); // the frames on standard input
    EXPECT_TRUE(has(mp4, "-video_size", "1024x768"));
    EXPECT_EQ(mp4.back(), "file:dir/.x.tmp");

    o.output = CaptureOutput::Mkv;
    std::vector<std::string> mkv = ffmpegArguments(o, FrameRange{0, 60}, "m.ogg", 44100, "x.tmp");
    EXPECT_TRUE(has(mkv, "-c:a", "aac"));
    EXPECT_TRUE(has(mkv, "-f", "matroska"));
    EXPECT_FALSE(has(mkv, "-movflags", "+faststart"));
}

// ffmpeg takes "word:" before a path for a protocol ("clips:v2/b.mkv" is the "clips"
// protocol, unknown): every path it gets is marked as a plain file.
TEST(FfmpegArguments, PathsArePlainFilesWhateverTheyHold) {
    CaptureOptions o;
    o.output = CaptureOutput::Mkv;
    std::vector<std::string> args =
        ffmpegArguments(o, FrameRange{0, 60}, "tracks:a/m.ogg", 44100, "clips:v2/.b.mkv.p");
    std::vector<std::string> inputs;
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-i")
            inputs.push_back(args[i + 1]);
    EXPECT_EQ(inputs, (std::vector<std::string>{"pipe:0", "file:tracks:a/m.ogg"}));
    EXPECT_EQ(args.back(), "file:clips:v2/.b.mkv.p");
}

} // namespace
