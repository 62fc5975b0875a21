#include "hooks.h"

#include "control_characters.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

constexpr int kMaxInjections = 16;
constexpr int kMaxKinds = 32;

struct Injection {
    const char* call; // points into the test's own string, which outlives the injection
    HRESULT hr;
    int passing; // calls of it that go through first
};

struct LiveKind {
    const char* kind;
    std::atomic<long> count;
};

struct HookState {
    std::mutex lock;
    Injection injections[kMaxInjections];
    int injectionCount = 0;
    LiveKind kinds[kMaxKinds];
    std::atomic<int> kindCount{0};
};

HookState& State() {
    static HookState state;
    return state;
}

LiveKind* FindKind(const char* kind, bool create) {
    HookState& s = State();
    int n = s.kindCount.load();
    for (int i = 0; i < n; ++i) {
        if (std::strcmp(s.kinds[i].kind, kind) == 0)
            return &s.kinds[i];
    }
    if (!create)
        return nullptr;
    std::lock_guard<std::mutex> guard(s.lock);
    n = s.kindCount.load();
    for (int i = 0; i < n; ++i) {
        if (std::strcmp(s.kinds[i].kind, kind) == 0)
            return &s.kinds[i];
    }
    if (n == kMaxKinds)
        return nullptr;
    s.kinds[n].kind = kind;
    s.kinds[n].count = 0;
    s.kindCount.store(n + 1);
    return &s.kinds[n];
}

} // namespace

namespace platform {

bool TakeInjectedFailure(const char* call, HRESULT* hr) {
    HookState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    for (int i = 0; i < s.injectionCount; ++i) {
        if (std::strcmp(s.injections[i].call, call) == 0) {
            if (s.injections[i].passing-- > 0)
                return false;
            *hr = s.injections[i].hr;
            for (int j = i + 1; j < s.injectionCount; ++j)
                s.injections[j - 1] = s.injections[j];
            --s.injectionCount;
            return true;
        }
    }
    return false;
}

void CountLive(const char* kind, int delta) {
    if (LiveKind* k = FindKind(kind, true))
        k->count += delta;
}

void LogFailure(const char* call, const char* what) {
    char prefix[256];
    const int n = std::snprintf(prefix, sizeof prefix, "fxview platform: %s failed: ", call);
    WriteEscapedLine(stderr, std::string_view(prefix, n > 0 ? std::min<size_t>(n, sizeof prefix - 1) : 0),
                     what);
}

void InjectFailure(const char* call, HRESULT hr, int passing) {
    HookState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.injectionCount < kMaxInjections)
        s.injections[s.injectionCount++] = {call, hr, passing};
}

void ClearInjectedFailures() {
    HookState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.injectionCount = 0;
}

long LiveCount(const char* kind) {
    HookState& s = State();
    if (kind) {
        LiveKind* k = FindKind(kind, false);
        return k ? k->count.load() : 0;
    }
    long total = 0;
    int n = s.kindCount.load();
    for (int i = 0; i < n; ++i) {
        if (std::strncmp(s.kinds[i].kind, "Vk", 2) != 0)
            total += s.kinds[i].count.load();
    }
    return total;
}

} // namespace platform
