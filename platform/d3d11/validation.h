// What FXVIEW_VALIDATION asks of the Vulkan instance: the validation layer with its synchronization
// checks (`1`), best practices too (`all`), or nothing (unset, empty, `0`); the layer's absence is said
// once. Its messages go to standard error and, best-practice hints aside, are counted for the tests.
// Nothing here checks Direct3D's own rules (view_kinds.h does, under the same variable).
#pragma once

#include <vulkan/vulkan.h>

namespace platform::d3d11 {

enum class Checks { None, Sync, All };

// What the variable asks for, whether or not the layer is installed.
Checks RequestedChecks();
// What the installed layer can give of it: None when the layer is missing.
Checks AvailableChecks();

// The instance's chain for `checks` (not None): the validation features, then the messenger that
// prints and counts messages. The chain points into itself: it is neither copied nor moved.
struct ValidationSetup {
    explicit ValidationSetup(Checks checks);
    ValidationSetup(const ValidationSetup&) = delete;
    ValidationSetup& operator=(const ValidationSetup&) = delete;

    VkValidationFeatureEnableEXT enables[2];
    VkValidationFeaturesEXT features = {VK_STRUCTURE_TYPE_VALIDATION_FEATURES_EXT};
    VkDebugUtilsMessengerCreateInfoEXT messenger = {VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
};

// Validation messages (warnings and errors) seen so far, across every device of the process.
long ValidationMessageCount();

} // namespace platform::d3d11
