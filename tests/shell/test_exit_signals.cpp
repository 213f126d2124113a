// The show's signal handling in child processes: an end request, the second signal's
// default action (with SIGQUIT's core), a signal inherited as ignored.
#include "shell/exit_signals.h"
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Exit codes by which a child reports where it stopped.
constexpr int kFirstNotRecorded = 10, kSurvivedSecond = 11, kIgnoredOneRecorded = 12;

// Runs body in a child with the handlers held (as in the show after the question) and
// returns its wait status.
template <typename Body> int inChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::string describe(int status) {
    if (WIFEXITED(status))
        return "exited with " + std::to_string(WEXITSTATUS(status));
    return std::string("killed by ") + strsignal(WTERMSIG(status)) +
           (WCOREDUMP(status) ? " (core dumped)" : "");
}

void firstThenSecond(int first, int second) {
    installExitSignals();
    holdExitSignals();
    raise(first);
    if (!exitSignalled())
        _exit(kFirstNotRecorded);
    raise(second);
    _exit(kSurvivedSecond);
}

TEST(ExitSignals, SecondSignalEndsTheProcessByItsDefaultAction) {
    const int pairs[][2] = {
        {SIGTERM, SIGINT}, {SIGINT, SIGHUP}, {SIGQUIT, SIGTERM}, {SIGHUP, SIGHUP}};
    for (const auto& pair : pairs) {
        int status = inChild([&] { firstThenSecond(pair[0], pair[1]); });
        EXPECT_EQ(describe(status), std::string("killed by ") + strsignal(pair[1]))
            << strsignal(pair[0]) << " then " << strsignal(pair[1]);
    }
}

TEST(ExitSignals, SecondQuitDumpsCore) {
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    if (core.rlim_max == 0)
        GTEST_SKIP() << "core dumps are disabled (hard limit 0)";
    char folder[] = "/tmp/glimwick-test-core-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    int status = inChild([&] {
        // A core named by a relative pattern lands here, not in the build tree.
        if (chdir(folder) != 0)
            _exit(1);
        rlimit all{core.rlim_max, core.rlim_max};
        setrlimit(RLIMIT_CORE, &all);
        firstThenSecond(SIGHUP, SIGQUIT);
    });
    EXPECT_EQ(describe(status), std::string("killed by ") + strsignal(SIGQUIT) + " (core dumped)");
    if (DIR* dir = opendir(folder)) {
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.')
                unlink((std::string(folder) + "/" + e->d_name).c_str());
        closedir(dir);
    }
    rmdir(folder);
}

TEST(ExitSignals, SignalInheritedAsIgnoredStaysIgnored) {
    int status = inChild([] {
        signal(SIGHUP, SIG_IGN); // as nohup leaves it
        installExitSignals();
        holdExitSignals();
        raise(SIGHUP);
        if (exitSignalled())
            _exit(kIgnoredOneRecorded);
        raise(SIGTERM); // the others are still taken
        _exit(exitSignalled() ? 0 : kFirstNotRecorded);
    });
    EXPECT_EQ(describe(status), "exited with 0");
}

} // namespace
