// The direct-Vulkan baseline of fxview's benchmark: fxview's per-frame work (upload the 848-byte
// constant block, dispatch 40 x 22 x 1, draw the full-screen quad, present) with the same SPIR-V,
// compiled from ./main.fx by the project's compiler, in a 1280 x 720 window. Escape quits.
#include "check.h"
#include "fps_meter.h"
#include "frames.h"
#include "shaders.h"
#include "window.h"

#include <cstdio>

namespace {

constexpr VkExtent2D kScreen = {1280, 720};
constexpr VkDeviceSize kScreenBufferBytes = 1280 * 720 * 16;
constexpr float kQuad[12] = {-1, 1, 1, 1, 1, 1, -1, -1, 1, 1, -1, 1};

// fxview's constant block: 848 bytes, the clock in the first float, zeros after it.
struct Constants {
    float time;
    float zero[211];
};
static_assert(sizeof(Constants) == 848);

// Adds the milliseconds since the previous call, as seconds, as fxview's clock does.
void UpdateTime(Constants& constants) {
    static uint32_t last = baseline::TickMs();
    uint32_t now = baseline::TickMs();
    constants.time += static_cast<float>(now - last) / 1000.0f;
    last = now;
}

} // namespace

int main() {
    using namespace baseline;
    XWindowState window = OpenWindow(kScreen.width, kScreen.height);
    Device d = CreateDevice(window.display, window.window);
    Swapchain swapchain = CreateSwapchain(d, kScreen);

    std::string source = ReadShaderFile("main.fx");
    platform::ShaderInfo vs = CompileStage(source, "vs_main", "vs_5_0");
    platform::ShaderInfo ps = CompileStage(source, "ps_main", "ps_5_0");
    platform::ShaderInfo cs = CompileStage(source, "cs_main", "cs_5_0");

    Scene scene;
    scene.constants = CreateBuffer(d, sizeof(Constants),
                                   VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT);
    scene.screen = CreateBuffer(d, kScreenBufferBytes, VK_BUFFER_USAGE_STORAGE_BUFFER_BIT);
    scene.quad =
        CreateBuffer(d, sizeof kQuad, VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT);
    UploadOnce(d, scene.quad, kQuad, sizeof kQuad);
    VkDescriptorPool pool = CreateDescriptorPool(d);
    scene.computeBindings =
        CreateBindings(d, pool, {{&cs, VK_SHADER_STAGE_COMPUTE_BIT, 0}}, scene.constants, scene.screen);
    scene.drawBindings = CreateBindings(
        d, pool, {{&vs, VK_SHADER_STAGE_VERTEX_BIT, 1}, {&ps, VK_SHADER_STAGE_FRAGMENT_BIT, 1}},
        scene.constants, scene.screen);
    scene.compute = CreateComputePipeline(d, cs, scene.computeBindings.layout);
    scene.draw = CreateQuadPipeline(d, vs, ps, scene.drawBindings.layout, swapchain.format, kScreen);

    Frames frames;
    frames.Create(d);
    Constants constants = {};
    bool quit = false;
    while (!quit) {
        quit = DrainEvents(window);
        UpdateFps();
        UpdateTime(constants);
        frames.Run(d, swapchain, scene, &constants, sizeof constants);
    }

    frames.Destroy(d);
    DestroyPipeline(d, scene.draw);
    DestroyPipeline(d, scene.compute);
    vkDestroyDescriptorSetLayout(d.device, scene.drawBindings.layout, nullptr);
    vkDestroyDescriptorSetLayout(d.device, scene.computeBindings.layout, nullptr);
    vkDestroyDescriptorPool(d.device, pool, nullptr);
    DestroyBuffer(d, scene.quad);
    DestroyBuffer(d, scene.screen);
    DestroyBuffer(d, scene.constants);
    DestroySwapchain(d, swapchain);
    DestroyDevice(d);
    CloseWindow(window);
    std::fflush(stdout);
    return 0;
}
