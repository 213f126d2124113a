// The main of every test binary: each test starts from the per-process module state of a
// fresh program, so that no test depends on which ran before it (the suite runs shuffled).
#include "scenes/main_part.h"
#include "shell/dispatch.h"
#include "shell/music_stream.h"
#include <gtest/gtest.h>

namespace {

// The state the show keeps once per process: the previous frame's scene, part and variant,
// the flash counter, the music slots. Windows, targets and geometry that a suite opens
// once stay: those are the suites' own fixtures.
class FreshModuleState : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        resetChangeFlags();
        resetMainPart();
        resetMusicSlots();
    }
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshModuleState);
    return RUN_ALL_TESTS();
}
