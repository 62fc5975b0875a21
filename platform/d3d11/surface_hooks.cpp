#include "surface_hooks.h"

#include "vk_result.h"

namespace {

void DestroyHeld(platform::d3d11::hooks::HeldImage* held) {
    VkDevice device = held->vk->device;
    vkDestroyCommandPool(device, held->pool, nullptr);
    vkDestroySemaphore(device, held->acquired, nullptr);
    vkDestroyEvent(device, held->released, nullptr);
    *held = platform::d3d11::hooks::HeldImage{};
}

// Records a command buffer that waits for the test's event, and submits it after the acquisition.
VkResult SubmitHeld(platform::d3d11::hooks::HeldImage* held, VkSemaphore semaphore, VkFence fence) {
    const platform::d3d11::Vulkan& vk = *held->vk;
    VkCommandPoolCreateInfo poolInfo = {VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.queueFamilyIndex = vk.queueFamily;
    VkResult result = vkCreateCommandPool(vk.device, &poolInfo, nullptr, &held->pool);
    VkCommandBuffer cmd = VK_NULL_HANDLE;
    VkCommandBufferAllocateInfo alloc = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    alloc.commandPool = held->pool;
    alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    alloc.commandBufferCount = 1;
    if (result == VK_SUCCESS)
        result = vkAllocateCommandBuffers(vk.device, &alloc, &cmd);
    VkCommandBufferBeginInfo begin = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    if (result == VK_SUCCESS)
        result = vkBeginCommandBuffer(cmd, &begin);
    if (result != VK_SUCCESS)
        return result;
    // The submission's signals come after every command, the wait for the event included.
    const VkPipelineStageFlags stage = VK_PIPELINE_STAGE_TRANSFER_BIT;
    vkCmdWaitEvents(cmd, 1, &held->released, VK_PIPELINE_STAGE_HOST_BIT, stage, 0, nullptr, 0, nullptr, 0,
                    nullptr);
    result = vkEndCommandBuffer(cmd);
    if (result != VK_SUCCESS)
        return result;
    VkSubmitInfo submit = {VK_STRUCTURE_TYPE_SUBMIT_INFO};
    submit.waitSemaphoreCount = 1;
    submit.pWaitSemaphores = &held->acquired;
    submit.pWaitDstStageMask = &stage;
    submit.commandBufferCount = 1;
    submit.pCommandBuffers = &cmd;
    submit.signalSemaphoreCount = semaphore ? 1 : 0;
    submit.pSignalSemaphores = semaphore ? &semaphore : nullptr;
    return vkQueueSubmit(vk.queue, 1, &submit, fence);
}

} // namespace

namespace platform::d3d11::hooks {

SurfaceHooks& Hooks() {
    static SurfaceHooks hooks;
    return hooks;
}

void LetHeldImageGo() {
    HeldImage& held = Hooks().held;
    if (!held.vk)
        return;
    VkResult result = vkSetEvent(held.vk->device, held.released);
    if (result == VK_SUCCESS)
        result = vkQueueWaitIdle(held.vk->queue);
    if (result != VK_SUCCESS)
        platform::d3d11::Fail({"vkQueueWaitIdle (a held swapchain image let go)", result});
    DestroyHeld(&held);
}

void OfferedSurfaceFormats(std::vector<VkSurfaceFormatKHR>* formats) {
    if (!Hooks().formats.empty())
        *formats = Hooks().formats;
}

void FormatProperties(VkPhysicalDevice physical, VkFormat format, VkFormatProperties* properties) {
    vkGetPhysicalDeviceFormatProperties(physical, format, properties);
    if (format == Hooks().hiddenFormat)
        properties->optimalTilingFeatures &= ~Hooks().hiddenFeatures;
}

VkResult Answer(VkResult result) {
    if (result != VK_SUCCESS || Hooks().suboptimalAnswers == 0)
        return result;
    --Hooks().suboptimalAnswers;
    return VK_SUBOPTIMAL_KHR;
}

VkResult AcquireNextImage(const Vulkan& vk, VkSwapchainKHR swapchain, uint64_t timeout, VkSemaphore semaphore,
                          VkFence fence, uint32_t* index) {
    HeldImage& held = Hooks().held;
    if (!Hooks().hold || held.vk)
        return Answer(vkAcquireNextImageKHR(vk.device, swapchain, timeout, semaphore, fence, index));
    held.vk = &vk;
    VkEventCreateInfo eventInfo = {VK_STRUCTURE_TYPE_EVENT_CREATE_INFO};
    VkSemaphoreCreateInfo semaphoreInfo = {VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    VkResult result = vkCreateEvent(vk.device, &eventInfo, nullptr, &held.released);
    if (result == VK_SUCCESS)
        result = vkCreateSemaphore(vk.device, &semaphoreInfo, nullptr, &held.acquired);
    if (result == VK_SUCCESS)
        result = vkAcquireNextImageKHR(vk.device, swapchain, timeout, held.acquired, VK_NULL_HANDLE, index);
    if (result != VK_SUCCESS) {
        DestroyHeld(&held);
        return result;
    }
    result = SubmitHeld(&held, semaphore, fence);
    if (result != VK_SUCCESS)
        platform::d3d11::Fail({"vkQueueSubmit (a held swapchain image)", result});
    return result;
}

void NoteSwapchainMade() {
    ++Hooks().swapchainsMade;
}

} // namespace platform::d3d11::hooks
