// compile_time: how long the project's compiler takes to build what one F5 reload builds, the pixel
// and compute stages of a shader file, with fxview's flags. Prints "compile_ms MEDIAN MIN MAX" over
// the given number of repeats (default 5), each reading the file again as a reload does.
#include "shaders.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [REPEATS]\n", argv[0]);
        return 2;
    }
    int repeats = argc > 2 ? std::atoi(argv[2]) : 5;
    if (repeats < 1)
        repeats = 1;
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        std::string source = baseline::ReadShaderFile(argv[1]);
        baseline::CompileStage(source, "ps_main", "ps_5_0");
        baseline::CompileStage(source, "cs_main", "cs_5_0");
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("compile_ms %.2f %.2f %.2f\n", times[times.size() / 2], times.front(), times.back());
    return 0;
}
