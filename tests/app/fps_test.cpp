// The frame-rate meter, driven by the injected tick: what it prints and when.
#include "child.h"

#include <fps.h>
#include <testing.h>

namespace {

TEST(FrameRateMeter, ReportsOnceASecondWhatItCounted) {
    const struct {
        const char* what;
        DWORD first, step;
        int frames;
        std::string printed;
    } cases[] = {
        // Reports on T+1000 and T+2000: the first counts the first frame too.
        {"every 100 ms", 5000, 100, 21, "11.00 fps            \n10.00 fps            \n"},
        {"less than a second", 0, 100, 10, ""},
        {"steps slower than a second", 0, 1500, 4,
         "1.33 fps            \n0.67 fps            \n0.67 fps            \n"},
        {"across the wrap of the tick", 0xFFFFFFFFu - 299u, 100, 21,
         "11.00 fps            \n10.00 fps            \n"},
    };
    for (const auto& c : cases) {
        // In a fresh process: the meter keeps its counts in function-local statics.
        std::string out = StdoutOfChild([&] {
            for (int i = 0; i < c.frames; ++i) {
                fxtest::SetTick(c.first + c.step * static_cast<DWORD>(i));
                UpdateFps();
            }
        });
        EXPECT_EQ(out, c.printed) << c.what;
    }
}

} // namespace
