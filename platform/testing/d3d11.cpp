// The tests' hooks into the Direct3D 11 stand-in: the validation message count, features hidden
// from new devices, and the window system's answers to the presenter (surface_hooks.h).
#include "device_choice.h"
#include "surface_hooks.h"
#include "validation.h"

#include <testing.h>

namespace fxtest {

long ValidationMessages() {
    return platform::d3d11::ValidationMessageCount();
}

void HideDeviceFeature(const char* name) {
    if (name)
        platform::d3d11::HiddenFeatures().push_back(name);
    else
        platform::d3d11::HiddenFeatures().clear();
}

void OfferSurfaceFormats(const int* formats, int count) {
    platform::d3d11::hooks::SurfaceHooks& hooks = platform::d3d11::hooks::Hooks();
    hooks.formats.clear();
    for (int i = 0; i < count; ++i)
        hooks.formats.push_back({static_cast<VkFormat>(formats[i]), VK_COLOR_SPACE_SRGB_NONLINEAR_KHR});
}

void HideFormatFeatures(int format, unsigned features) {
    platform::d3d11::hooks::Hooks().hiddenFormat = static_cast<VkFormat>(format);
    platform::d3d11::hooks::Hooks().hiddenFeatures = features;
}

void AnswerSuboptimal(int count) {
    platform::d3d11::hooks::Hooks().suboptimalAnswers = count;
}

long SwapchainsMade() {
    return platform::d3d11::hooks::Hooks().swapchainsMade;
}

void HoldWindowImages(bool hold) {
    platform::d3d11::hooks::Hooks().hold = hold;
    if (!hold)
        platform::d3d11::hooks::LetHeldImageGo();
}

} // namespace fxtest
