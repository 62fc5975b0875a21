#include "reload_time_limit.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>

namespace platform::d3dcompiler {

namespace {

using Clock = std::chrono::steady_clock;

struct Reload {
    std::mutex lock;
    uint64_t run = 0;
    size_t source = 0; // a hash of the source and its name
    std::set<std::string> stages;
    std::string last;
    Clock::time_point deadline;
    std::string spentBy; // the stage that ran out of time, if one did
};
Reload gReload;

constexpr unsigned kReloadTimeLimitMs = 30000;
std::atomic<unsigned> gReloadTimeLimitMs{kReloadTimeLimitMs};

size_t Key(const std::string& source, const std::string& name) {
    return std::hash<std::string_view>()(source) ^ (std::hash<std::string>()(name) * 31);
}

} // namespace

unsigned ReloadTimeLimitMs() {
    return gReloadTimeLimitMs.load();
}

void SetReloadTimeLimitMs(unsigned ms) {
    gReloadTimeLimitMs = ms ? ms : kReloadTimeLimitMs;
}

CompileTurn BeginCompile(const std::string& source, const std::string& name, const std::string& stage,
                         unsigned limitMs) {
    std::lock_guard<std::mutex> guard(gReload.lock);
    const Clock::time_point now = Clock::now();
    const size_t key = Key(source, name);
    CompileTurn turn;
    if (gReload.run != 0 && gReload.source == key && gReload.stages.count(stage) == 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(gReload.deadline - now).count();
        turn.run = gReload.run;
        turn.limitMs =
            gReload.spentBy.empty() && left > 0 ? static_cast<int>(std::min<long long>(left, limitMs)) : 0;
        turn.spentBy = gReload.spentBy.empty() ? gReload.last : gReload.spentBy;
        gReload.stages.insert(stage);
        gReload.last = stage;
        return turn;
    }
    gReload.run += 1;
    gReload.source = key;
    gReload.stages = {stage};
    gReload.last = stage;
    gReload.deadline = now + std::chrono::milliseconds(limitMs);
    gReload.spentBy.clear();
    turn.run = gReload.run;
    turn.limitMs = static_cast<int>(limitMs);
    return turn;
}

void EndCompile(const CompileTurn& turn, const std::string& stage, bool timedOut) {
    std::lock_guard<std::mutex> guard(gReload.lock);
    if (timedOut && turn.run == gReload.run && gReload.spentBy.empty())
        gReload.spentBy = stage;
}

} // namespace platform::d3dcompiler
