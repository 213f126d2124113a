// The sound server going away under a running frame loop (run by with_pulse.sh): no
// frame waits on the sound code, the clock runs on in real time, the loss is said once,
// and the music is back on a new server within 3 s of it answering.
#include "shell/music_stream.h"
#include "tests/support/test_data.h"
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void sleepMs(int ms) {
    usleep(useconds_t(ms) * 1000);
}

// What `command` prints (its first line).
std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char line[256];
        if (fgets(line, sizeof line, p))
            out = line;
        pclose(p);
    }
    out.erase(out.find_last_not_of("\n") + 1);
    return out;
}

// What bash prints for `script`, run directly: with_pulse.sh's exported function
// glimwick_pulse_start reaches bash, not the sh that popen would go through.
std::string runBash(const char* script) {
    int out[2];
    if (pipe(out) != 0)
        return "";
    pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execlp("bash", "bash", "-c", script, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[128];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    close(out[0]);
    waitpid(child, nullptr, 0);
    text.erase(text.find_last_not_of("\n") + 1);
    return text;
}

bool serverPlaysUs() {
    return !run("pactl list short sink-inputs 2>/dev/null").empty();
}

// The frame loop's use of the clock for `duration` s: two readings a frame, then a 5 ms
// stand-in for rendering. Returns the longest the two readings took (s); *advance: how
// far the clock moved meanwhile (s), *back: whether it ever stepped back.
double frames(double duration, double* advance, bool* back) {
    double longest = 0, start = seconds(), first = -1, last = 0;
    *back = false;
    while (seconds() - start < duration) {
        double before = seconds();
        double t = musicTime();
        musicTime();
        longest = std::max(longest, seconds() - before);
        if (first < 0)
            first = last = t;
        *back = *back || t < last;
        last = t;
        sleepMs(5);
    }
    *advance = last - first;
    return longest;
}

TEST(MusicLoss, NoFrameWaitsForTheSoundCodeWhileTheServerIsGone) {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    const char* serverPid = getenv("GLIMWICK_PULSE_PID");
    ASSERT_TRUE(runtime && serverPid) << "run under tests/support/with_pulse.sh";
    std::string socketPath = std::string(runtime) + "/pulse/native";
    std::string music = tempFilePath("loss.ogg"), said = tempFilePath("loss.err");
    ASSERT_TRUE(writeToneOgg(music.c_str(), 30.0));
    // The loss line goes to stderr: kept in a file for counting.
    int savedErr = dup(2);
    FILE* errFile = fopen(said.c_str(), "w+");
    ASSERT_NE(errFile, nullptr);
    dup2(fileno(errFile), 2);

    std::string why;
    ASSERT_TRUE(initSound(&why) && openMusic(music.c_str(), &why)) << why;
    ASSERT_EQ(playMusic(true, &why), 0) << why;
    double advance = 0;
    bool back = false;
    frames(1.5, &advance, &back);
    EXPECT_TRUE(serverPlaysUs());

    // Gone: stopped, its socket then answered by a listener that never speaks (a server
    // that hangs) for 3 s, then nothing at all for 2 s. (SIGTERM: a killed server's pid
    // file would stop the next one while with_pulse.sh has not reaped it.)
    kill(atoi(serverPid), SIGTERM);
    sleepMs(300);
    unlink(socketPath.c_str());
    int hung = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(hung, 16), 0);
    double hungFrom = seconds();
    double longest = frames(3.0, &advance, &back);
    printf("3 s of frames took %.2f s with the server hanging\n", seconds() - hungFrom);
    close(hung);
    unlink(socketPath.c_str());
    double advanceHung = advance;
    longest = std::max(longest, frames(2.0, &advance, &back));
    printf("longest frame's sound code while the server was gone: %.3f ms\n", 1000 * longest);
    printf("clock advance: %.3f s in 3 s (hanging server), %.3f s in 2 s (none)\n", advanceHung,
           advance);
    EXPECT_LT(longest, 0.050);
    EXPECT_FALSE(back) << "the clock stepped back";
    EXPECT_NEAR(advanceHung, 3.0, 0.15) << "the clock runs on in real time";
    EXPECT_NEAR(advance, 2.0, 0.1);

    // Back: a new server; the music on it within 3 s of its answering.
    std::string pid = runBash("glimwick_pulse_start >/dev/null 2>&1 && echo $server_pid");
    ASSERT_FALSE(pid.empty()) << "the new server did not start";
    double answered = seconds();
    while (!serverPlaysUs() && seconds() - answered < 3.0)
        frames(0.1, &advance, &back);
    double after = seconds() - answered;
    printf("the music was back on the new server after %.2f s\n", after);
    EXPECT_LT(after, 3.0);
    frames(0.5, &advance, &back);
    EXPECT_FALSE(back);
    closeSound();
    kill(atoi(pid.c_str()), SIGTERM);

    fflush(stderr);
    dup2(savedErr, 2);
    close(savedErr);
    std::string lines;
    rewind(errFile);
    char line[512];
    int losses = 0;
    while (fgets(line, sizeof line, errFile)) {
        lines += line;
        losses += strstr(line, "glimwick: sound lost (") && strstr(line, "); going on silent");
    }
    fclose(errFile);
    EXPECT_EQ(losses, 1) << lines;
    remove(said.c_str());
    remove(music.c_str());
}

} // namespace
