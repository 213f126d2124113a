// The music's keeper on a thread of its own: its steps may wait on a sound server, which
// the frame loop never does.
#include "shell/music/music_keeper.h"
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// How often the keeper steps: a lost output is noticed within this.
const std::chrono::milliseconds kKeeperPeriod{20};

// The thread may not outlive static destruction: an exit that skipped shut-down ends it.
struct KeeperState {
    ~KeeperState() { stopKeeper(); }
    std::thread thread;
    std::mutex lock;
    std::condition_variable wake;
    bool quit = false; // under lock
    void (*step)() = nullptr;
} keeper;

void keeperLoop() {
    std::unique_lock<std::mutex> held(keeper.lock);
    while (!keeper.quit) {
        keeper.wake.wait_for(held, kKeeperPeriod);
        if (keeper.quit)
            break;
        held.unlock();
        keeper.step();
        held.lock();
    }
}

} // namespace

void startKeeper(void (*step)()) {
    stopKeeper();
    keeper.quit = false;
    keeper.step = step;
    keeper.thread = std::thread(keeperLoop);
}

void stopKeeper() {
    if (!keeper.thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> held(keeper.lock);
        keeper.quit = true;
    }
    keeper.wake.notify_all();
    keeper.thread.join();
}
