// Hazards: the barrier each use of a resource gets after the uses before it, and the validation
// layer's synchronization checks, which see a missing barrier that lavapipe, running commands in
// order, never shows.
#include <gtest/gtest.h>

#include "hazard.h"
#include "vulkan.h"

#include <testing.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr VkPipelineStageFlags2 kCompute = VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;
constexpr VkPipelineStageFlags2 kPixel = VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;
constexpr VkPipelineStageFlags2 kCopy = VK_PIPELINE_STAGE_2_TRANSFER_BIT;
constexpr VkPipelineStageFlags2 kOutput = VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT;
constexpr VkAccessFlags2 kRead = VK_ACCESS_2_SHADER_STORAGE_READ_BIT;
constexpr VkAccessFlags2 kWrite = VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT;

struct Use {
    VkPipelineStageFlags2 stage;
    VkAccessFlags2 access;
    VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED; // a buffer's
};

// Buffers: a dispatch through an unordered-access view, shader reads, copies in and out.
const Use kDispatch = {kCompute, kRead | kWrite};
const Use kComputeRead = {kCompute, kRead};
const Use kPixelRead = {kPixel, kRead};
const Use kCopyIn = {kCopy, VK_ACCESS_2_TRANSFER_WRITE_BIT};
const Use kCopyOut = {kCopy, VK_ACCESS_2_TRANSFER_READ_BIT};
// Images: a clear, a draw into it, a copy out of it, each in its own layout.
const Use kClear = {kCopy, VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL};
const Use kDraw = {kOutput, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL};
const Use kCopyFrom = {kCopy, VK_ACCESS_2_TRANSFER_READ_BIT, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL};

TEST(Barriers, EachUseWaitsForExactlyTheConflictingUsesBeforeIt) {
    struct Row {
        const char* what;
        std::vector<Use> before;
        Use next;
        platform::d3d11::Wait want;
    } rows[] = {
        {"write, then read at another stage", {kDispatch}, kPixelRead, {true, kCompute, kWrite}},
        {"read-write, then read at its stage", {kDispatch}, kComputeRead, {true, kCompute, kWrite}},
        {"two reads at one stage", {kDispatch, kPixelRead}, kPixelRead, {}},
        {"read at a second stage", {kDispatch, kPixelRead}, kCopyOut, {true, kCompute, kWrite}},
        {"read of what was never written", {kPixelRead}, kComputeRead, {}},
        {"write after reads",
         {kCopyIn, kComputeRead, kPixelRead},
         kCopyIn,
         {true, kCopy | kCompute | kPixel, kCopyIn.access}},
        {"write, then write", {kDispatch}, kDispatch, {true, kCompute, kWrite}},
        {"first write", {}, kCopyIn, {}},
        {"layout change of a new image", {}, kClear, {true, 0, 0}},
        {"layout change after a write", {kClear, kDraw}, kCopyFrom, {true, kOutput, kDraw.access}},
        {"read after a layout change at its stage", {kClear, kCopyFrom}, kCopyFrom, {}},
        {"layout change after reads", {kClear, kCopyFrom}, kDraw, {true, kCopy, 0}},
    };
    for (const Row& row : rows) {
        platform::d3d11::Hazard hazard;
        for (const Use& use : row.before)
            platform::d3d11::NextUse(&hazard, use.stage, use.access, use.layout);
        const platform::d3d11::Wait got =
            platform::d3d11::NextUse(&hazard, row.next.stage, row.next.access, row.next.layout);
        EXPECT_EQ(got.needed, row.want.needed) << row.what;
        if (row.want.needed) {
            EXPECT_EQ(got.stages, row.want.stages) << row.what << ": stages waited for";
            EXPECT_EQ(got.access, row.want.access) << row.what << ": writes made visible";
        }
        EXPECT_EQ(hazard.layout, row.next.layout) << row.what;
    }
}

// Whenever FXVIEW_VALIDATION asks for it, the layer runs with its synchronization checks: two fills
// of one buffer without a barrier between them are reported. Without the layer installed this
// fails, rather than the rest of the suite passing unchecked.
TEST(Validation, TwoUnorderedWritesAreReportedWhenValidationIsAskedFor) {
    const char* asked = std::getenv("FXVIEW_VALIDATION");
    if (!asked || !*asked || std::strcmp(asked, "0") == 0)
        GTEST_SKIP() << "FXVIEW_VALIDATION is not set";
    platform::d3d11::Vulkan vk;
    const platform::VkStatus created = platform::d3d11::CreateVulkan(&vk, nullptr);
    ASSERT_EQ(created.result, VK_SUCCESS) << created.call;
    VkBufferCreateInfo info = {VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = 256;
    info.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
    VkBuffer buffer;
    ASSERT_EQ(vkCreateBuffer(vk.device, &info, nullptr, &buffer), VK_SUCCESS);
    VkMemoryRequirements needs;
    vkGetBufferMemoryRequirements(vk.device, buffer, &needs);
    const VkMemoryAllocateInfo allocate = {
        VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO, nullptr, needs.size,
        uint32_t(platform::d3d11::FindMemoryType(vk, needs.memoryTypeBits, 0, 0))};
    VkDeviceMemory memory;
    ASSERT_EQ(vkAllocateMemory(vk.device, &allocate, nullptr, &memory), VK_SUCCESS);
    ASSERT_EQ(vkBindBufferMemory(vk.device, buffer, memory, 0), VK_SUCCESS);
    const VkCommandPoolCreateInfo poolInfo = {VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO, nullptr, 0,
                                              vk.queueFamily};
    VkCommandPool pool;
    ASSERT_EQ(vkCreateCommandPool(vk.device, &poolInfo, nullptr, &pool), VK_SUCCESS);
    const VkCommandBufferAllocateInfo cmdInfo = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO, nullptr,
                                                 pool, VK_COMMAND_BUFFER_LEVEL_PRIMARY, 1};
    VkCommandBuffer cmd;
    ASSERT_EQ(vkAllocateCommandBuffers(vk.device, &cmdInfo, &cmd), VK_SUCCESS);
    const VkCommandBufferBeginInfo begin = {VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    ASSERT_EQ(vkBeginCommandBuffer(cmd, &begin), VK_SUCCESS);

    const long before = fxtest::ValidationMessages();
    testing::internal::CaptureStderr();
    vkCmdFillBuffer(cmd, buffer, 0, VK_WHOLE_SIZE, 1);
    vkCmdFillBuffer(cmd, buffer, 0, VK_WHOLE_SIZE, 2);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_GE(fxtest::ValidationMessages() - before, 1);
    EXPECT_NE(said.find("SYNC-HAZARD-WRITE-AFTER-WRITE"), std::string::npos) << said;

    EXPECT_EQ(vkEndCommandBuffer(cmd), VK_SUCCESS);
    vkDestroyCommandPool(vk.device, pool, nullptr);
    vkDestroyBuffer(vk.device, buffer, nullptr);
    vkFreeMemory(vk.device, memory, nullptr);
    platform::d3d11::DestroyVulkan(&vk);
}

} // namespace
