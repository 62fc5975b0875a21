#include "slow_build.h"

#include <cstdio>

namespace platform::d3d11 {

SlowBuildNotice::SlowBuildNotice(std::string what)
    : what_(std::move(what)), start_(std::chrono::steady_clock::now()), watcher_([this] { Watch(); }) {}

SlowBuildNotice::~SlowBuildNotice() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        done_ = true;
    }
    ended_.notify_one();
    watcher_.join();
    if (reported_)
        std::fprintf(stderr, "fxview platform: the driver built %s in %.1f s.\n", what_.c_str(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
}

void SlowBuildNotice::Watch() {
    std::unique_lock<std::mutex> guard(lock_);
    if (ended_.wait_until(guard, start_ + kSlowBuild, [this] { return done_; }))
        return;
    reported_ = true;
    std::fprintf(stderr,
                 "fxview platform: the driver has been building %s for %lld s; the window waits until "
                 "it is done.\n",
                 what_.c_str(), static_cast<long long>(kSlowBuild.count()));
}

} // namespace platform::d3d11
