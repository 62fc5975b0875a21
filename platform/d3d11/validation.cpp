#include "validation.h"

#include "enumerate.h"
#include "vk_result.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Process-wide: messages are counted across every device the process makes.
struct ValidationState {
    std::atomic<long> messages{0};
};

ValidationState& Validation() {
    static ValidationState state;
    return state;
}

// Best-practices hints are shown but not counted as faults: some remain by design, as the small
// allocations of small buffers. So are vertex outputs the pixel stage does not read, which Direct3D's
// linkage by semantic allows.
VKAPI_ATTR VkBool32 VKAPI_CALL OnValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT,
                                                   VkDebugUtilsMessageTypeFlagsEXT,
                                                   const VkDebugUtilsMessengerCallbackDataEXT* data, void*) {
    const char* id = data->pMessageIdName;
    const bool hint = id && std::strstr(id, "BestPractices");
    if (!hint && !(id && std::strstr(id, "OutputNotConsumed")))
        ++Validation().messages;
    std::fprintf(stderr, "fxview vulkan %s: %s\n", hint ? "best practices" : "validation", data->pMessage);
    return VK_FALSE;
}

// Said once per process, however many devices are made.
void SayOnce(std::atomic<bool>* said, const std::string& line) {
    if (!said->exchange(true))
        std::fprintf(stderr, "fxview platform: %s\n", line.c_str());
}

bool HasLayer(const char* name) {
    std::vector<VkLayerProperties> layers;
    const platform::VkStatus status{
        "vkEnumerateInstanceLayerProperties",
        platform::d3d11::Enumerate<VkLayerProperties>(vkEnumerateInstanceLayerProperties, &layers)};
    if (!status.Ok()) {
        platform::d3d11::Fail(status);
        return false;
    }
    for (const VkLayerProperties& layer : layers) {
        if (std::strcmp(layer.layerName, name) == 0)
            return true;
    }
    return false;
}

} // namespace

namespace platform::d3d11 {

Checks RequestedChecks() {
    const char* value = std::getenv("FXVIEW_VALIDATION");
    if (!value || !*value || std::strcmp(value, "0") == 0)
        return Checks::None;
    if (std::strcmp(value, "all") == 0)
        return Checks::All;
    static std::atomic<bool> said{false};
    if (std::strcmp(value, "1") != 0)
        SayOnce(&said, std::string("FXVIEW_VALIDATION=") + value + " is not 0, 1 or all; taken as 1");
    return Checks::Sync;
}

// The checks the validation layer can be asked for, None when it is missing; the layer's absence
// is said, since a run asked to validate would otherwise pass unchecked.
Checks AvailableChecks() {
    const Checks wanted = RequestedChecks();
    static std::atomic<bool> said{false};
    if (wanted != Checks::None && !HasLayer("VK_LAYER_KHRONOS_validation")) {
        SayOnce(&said, "FXVIEW_VALIDATION is set but VK_LAYER_KHRONOS_validation is not installed "
                       "(Debian: vulkan-validationlayers); running without validation");
        return Checks::None;
    }
    return wanted;
}

ValidationSetup::ValidationSetup(Checks checks)
    // Hazards between commands are what the validation layer misses by default and what lavapipe,
    // running commands in order, never shows.
    : enables{VK_VALIDATION_FEATURE_ENABLE_SYNCHRONIZATION_VALIDATION_EXT,
              VK_VALIDATION_FEATURE_ENABLE_BEST_PRACTICES_EXT} {
    features.enabledValidationFeatureCount = checks == Checks::All ? 2 : 1;
    features.pEnabledValidationFeatures = enables;
    messenger.messageSeverity =
        VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    messenger.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT |
                            VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    messenger.pfnUserCallback = OnValidationMessage;
    features.pNext = &messenger;
}

long ValidationMessageCount() {
    return Validation().messages.load();
}

} // namespace platform::d3d11
