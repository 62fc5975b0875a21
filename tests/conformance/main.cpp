// fxview's conformance program: the Direct3D 11 behaviour the program relies on, checked through the
// Direct3D 11, DXGI, d3dcompiler and Win32 API alone, so that the same program holds the Linux layer
// and a second implementation (the Windows build under Wine) to the same assertions.
// `--allow-wine-differences` counts the failing checks that name a listed Wine difference as that
// difference. Prints one line per failing check and `N passed, N failed`; exits 1 on a failure.
#include "cases.h"

#include <cstdio>
#include <cstring>

namespace {

const struct {
    const char* name;
    void (*run)();
} kCases[] = {
    {"buffer descriptions refused or taken", conformance::BufferDescriptions},
    {"buffer contents: zeros, initial data, UpdateSubresource and copies", conformance::BufferContents},
    {"unordered-access views refused or taken, holding their buffer", conformance::UnorderedAccessViews},
    {"interfaces and references", conformance::References},
    {"shader code and input layouts refused or taken", conformance::ShaderCode},
    {"clears and draws into a texture", conformance::ClearsAndDraws},
    {"dispatches over a structured buffer that a draw then reads", conformance::Dispatches},
    {"the swap chain's back buffer and its view", conformance::SwapChainBackBuffer},
    {"2D textures refused or taken, copied and updated", conformance::TextureCopies},
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--allow-wine-differences") != 0) {
            std::fprintf(stderr, "usage: %s [--allow-wine-differences]\n", argv[0]);
            return 2;
        }
        conformance::AllowDifferences();
    }
    for (const auto& c : kCases) {
        conformance::BeginCase(c.name);
        c.run();
    }
    return conformance::Report();
}
