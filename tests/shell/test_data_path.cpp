// Where the show looks for its data: the working directory (for a program of a build tree
// only), beside the executable, then the installed data folder relative to the executable.
#include "shell/data_path.h"
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A scratch tree: work/ as the working directory, prefix/bin/ as the executable's folder
// and the installed data folder where an install under prefix/ puts it.
class DataPathTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/glimwick-data-path-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directories(root / "work");
        fs::create_directories(root / "prefix/bin");
        previous = fs::current_path();
        fs::current_path(root / "work");
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    std::string executableDir() const { return (root / "prefix/bin").string() + "/"; }
    void put(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    fs::path inWorkingDir() const { return root / "work/data/tarnwhistle.ogg"; }
    fs::path beside() const { return root / "prefix/bin/data/tarnwhistle.ogg"; }
    fs::path installed() const {
        return fs::path(executableDir() + GLIMWICK_INSTALLED_DATA_DIR + "tarnwhistle.ogg");
    }
    std::string find(bool workingDirectoryFirst = true) const {
        return findDataPath("data/tarnwhistle.ogg", executableDir(), workingDirectoryFirst);
    }

    fs::path root, previous;
};

TEST_F(DataPathTest, WorkingDirectoryThenBesideTheExecutableThenInstalled) {
    put(inWorkingDir());
    put(beside());
    put(installed());
    EXPECT_EQ(find(), "data/tarnwhistle.ogg");
    fs::remove(inWorkingDir());
    EXPECT_EQ(find(), executableDir() + "data/tarnwhistle.ogg");
    fs::remove(beside());
    std::string found = find();
    EXPECT_TRUE(fs::equivalent(found, installed())) << found;
    // An install under any prefix: share/glimwick beside bin/, found through bin/..
    EXPECT_TRUE(fs::equivalent(found, root / "prefix/share/glimwick/tarnwhistle.ogg")) << found;
}

TEST_F(DataPathTest, NothingFoundLeavesThePathForTheOpenToReport) {
    EXPECT_EQ(find(), "data/tarnwhistle.ogg");
    // Another file installed does not stand in for the one asked for.
    put(root / "prefix/share/glimwick/texture_text.png");
    EXPECT_EQ(find(), "data/tarnwhistle.ogg");
    // No executable folder known (SDL could not tell): the working directory alone.
    put(installed());
    EXPECT_EQ(findDataPath("data/tarnwhistle.ogg", "", true), "data/tarnwhistle.ogg");
}

// Started from a folder that holds some other data/ (downloads, an unpacked archive), an
// installed program reads its own files.
TEST_F(DataPathTest, OutsideABuildTreeTheWorkingDirectoryComesLast) {
    put(inWorkingDir());
    put(installed());
    std::string found = find(false);
    EXPECT_TRUE(fs::equivalent(found, installed())) << found;
    put(beside());
    EXPECT_EQ(find(false), executableDir() + "data/tarnwhistle.ogg");
    // Nothing of its own (a bare copy of the executable): the path for the open, as before.
    fs::remove(beside());
    fs::remove(installed());
    EXPECT_EQ(find(false), "data/tarnwhistle.ogg");
}

TEST_F(DataPathTest, ABuildTreeIsKnownByTheCacheAtItsTop) {
    std::string build = (root / "work/build").string() + "/";
    put(build + "bench/x");
    EXPECT_FALSE(inBuildTree(build + "bench/"));
    put(build + "CMakeCache.txt");
    EXPECT_TRUE(inBuildTree(build));
    EXPECT_TRUE(inBuildTree(build + "bench/"));
    EXPECT_FALSE(inBuildTree(executableDir())); // an install under prefix/ beside it
    EXPECT_FALSE(inBuildTree(""));
}

} // namespace
