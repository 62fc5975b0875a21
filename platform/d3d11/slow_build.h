// Tells the user on standard error when the driver takes long to build a pipeline: the window does
// not answer meanwhile, since the build runs inside the Direct3D call that needs it. It only speaks;
// the build is neither stopped nor timed out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace platform::d3d11 {

// Held around one pipeline build: past kSlowBuild a line says what is being built and that the
// program waits; when a build that was reported ends, another says how long it took.
class SlowBuildNotice {
  public:
    static constexpr std::chrono::seconds kSlowBuild{2};

    explicit SlowBuildNotice(std::string what);
    SlowBuildNotice(const SlowBuildNotice&) = delete;
    SlowBuildNotice& operator=(const SlowBuildNotice&) = delete;
    ~SlowBuildNotice();

  private:
    void Watch();

    const std::string what_;
    const std::chrono::steady_clock::time_point start_;
    std::mutex lock_;
    std::condition_variable ended_;
    bool done_ = false;
    bool reported_ = false;
    std::thread watcher_;
};

} // namespace platform::d3d11
