// Tick, frame-rate line and dispatch line, written as fxview writes them.
#include "fps_meter.h"

#include <cstdio>
#include <ctime>

namespace baseline {

uint32_t TickMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

void UpdateFps() {
    static uint32_t lastReport = TickMs();
    static uint32_t frames = 0;
    static char text[256];
    uint32_t now = TickMs();
    ++frames;
    uint32_t elapsed = now - lastReport;
    if (elapsed < 1000)
        return;
    float fps = static_cast<float>(frames) / (static_cast<float>(elapsed) / 1000.0f);
    lastReport = now;
    frames = 0;
    std::snprintf(text, sizeof text, "%.02f fps            ", static_cast<double>(fps));
    std::printf("%s\n", text);
}

void PrintDispatch(uint32_t x, uint32_t y) {
    std::printf("Dispatch X=%u,  y=%u\r", x, y);
}

} // namespace baseline
