// The frame-rate meter, driven by the injected tick: what it prints and when.
#include "child.h"

#include <fps.h>
#include <testing.h>

#include <vector>

namespace {

// Runs one frame step per tick, in a fresh process, and returns the meter's output.
std::string MeterOutput(const std::vector<DWORD>& ticks) {
    return StdoutOfChild([&] {
        for (DWORD tick : ticks) {
            fxtest::SetTick(tick);
            UpdateFps();
        }
    });
}

std::vector<DWORD> Every(DWORD first, DWORD step, int count) {
    std::vector<DWORD> ticks;
    for (int i = 0; i < count; ++i)
        ticks.push_back(first + step * static_cast<DWORD>(i));
    return ticks;
}

TEST(FrameRateMeter, FramesEvery100msReportElevenThenTen) {
    // 21 frames: T, T+100, ..., T+2000; reports on T+1000 and T+2000.
    std::string out = MeterOutput(Every(5000, 100, 21));
    EXPECT_EQ(out, "11.00 fps            \n10.00 fps            \n");
}

TEST(FrameRateMeter, NothingBeforeASecond) {
    std::string out = MeterOutput(Every(0, 100, 10));
    EXPECT_EQ(out, "");
}

TEST(FrameRateMeter, FrameStepsSlowerThanASecondReportEveryStep) {
    // Every step takes 1500 ms: the first report counts the first frame too.
    std::string out = MeterOutput(Every(0, 1500, 4));
    EXPECT_EQ(out, "1.33 fps            \n0.67 fps            \n0.67 fps            \n");
}

TEST(FrameRateMeter, WrapOfTheTickStillGivesTheTrueElapsedTime) {
    // Starts 300 ms before the 32-bit tick wraps.
    std::string out = MeterOutput(Every(0xFFFFFFFFu - 299u, 100, 21));
    EXPECT_EQ(out, "11.00 fps            \n10.00 fps            \n");
}

} // namespace
