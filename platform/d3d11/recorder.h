// The Vulkan side of the immediate context: it records what the context has decided to do into the
// current frame, putting the barriers each resource's hazard asks for, looking up pipelines, pushing
// descriptors, and running uploads, copies, clears and draws. It knows no Direct3D rule: the context
// has validated everything and left out what Direct3D 11 ignores. Each call returns the VkResult of
// the first failing Vulkan call with its name, for the context to report.
// recorder_draw.cpp holds draws and dispatches, recorder_transfer.cpp uploads and copies.
#pragma once

#include "buffer.h"
#include "input_layout.h"
#include "shader.h"
#include "views.h"

namespace platform::d3d11 {

class Texture2D;

constexpr UINT kConstantSlots = D3D11_COMMONSHADER_CONSTANT_BUFFER_API_SLOT_COUNT;

// What each stage's shaders read: null where nothing is bound, or where Direct3D 11 would not read
// what is; a stage without UAVs has a null table.
struct BoundResources {
    Buffer* constantBuffers[kShaderStages][kConstantSlots] = {};
    UnorderedAccessView* const* uavs[kShaderStages] = {};
};

// One end of a copy: a buffer's bytes (a staging texture's packed rows, an upload) or a texture's image.
struct CopyEnd {
    static CopyEnd Of(Buffer* buffer);
    static CopyEnd Of(Texture2D* texture);

    VkBuffer buffer = VK_NULL_HANDLE; // null for an image
    VkDeviceSize bytes = 0;           // what a copy from the buffer moves
    Texture2D* image = nullptr;       // the texture whose image this is
    Hazard* hazard = nullptr;         // a buffer's; null for an upload written before this submission
};

// A draw the context has admitted: its pipeline key and everything bound, with vertex buffers that
// Direct3D would not read left out.
struct DrawCall {
    GraphicsState key;
    RenderTargetView* const* targets = nullptr; // key.targetCount of them
    Buffer* const* vertexBuffers = nullptr;     // by slot, kMaxVertexSlots
    const UINT* strides = nullptr;
    const UINT* offsets = nullptr;
    D3D11_VIEWPORT viewport = {};
    VkExtent2D area = {};
    UINT vertexCount = 0;
    UINT startVertex = 0;
};

class Recorder {
  public:
    explicit Recorder(Device* device) : device_(device) {}

    platform::VkStatus Draw(const DrawCall& draw, const BoundResources& bound);
    platform::VkStatus Dispatch(const ShaderCode& cs, const BoundResources& bound, UINT x, UINT y, UINT z);
    // Clears the texture's whole image, which may first be lent the window's own image. The clear
    // is recorded by the texture's next use: the next draw into all of it clears as it begins.
    platform::VkStatus Clear(Texture2D* texture, const FLOAT color[4]);
    // Copies `src` into `box` of `dst`: between buffers, `src.bytes`; between a buffer and an image,
    // packed rows of the box; between images of one size, the whole image.
    platform::VkStatus Copy(const CopyEnd& src, const CopyEnd& dst, const D3D11_BOX& box);
    // Writes `size` bytes at `offset` in the buffer.
    platform::VkStatus UpdateBuffer(Buffer* buffer, UINT offset, UINT size, const void* data);
    // Writes rows `rowPitch` apart into `box` of the texture's image.
    platform::VkStatus UpdateTexture(Texture2D* texture, const D3D11_BOX& box, const void* data,
                                     UINT rowPitch);
    // Orders the host's access to a staging buffer after the GPU's, then waits until the GPU is done.
    platform::VkStatus AccessFromHost(VkBuffer buffer, Hazard* hazard, bool write);

  private:
    platform::VkStatus Begin(VkCommandBuffer* cmd);
    // Begin, once the pipeline lookup made by `call` has given `lookup`.
    platform::VkStatus BeginWith(const char* call, VkResult lookup, VkCommandBuffer* cmd);
    // Puts the barriers for, and pushes, every descriptor `pipeline` declares.
    void PushDescriptors(VkCommandBuffer cmd, VkPipelineBindPoint bindPoint, const Pipeline& pipeline,
                         const BoundResources& bound);
    void BindVertexBuffers(VkCommandBuffer cmd, const DrawCall& draw);
    void BeginRendering(VkCommandBuffer cmd, const DrawCall& draw);
    // A host-visible buffer of `size` bytes to copy from, destroyed after the current frame.
    platform::VkStatus Upload(VkDeviceSize size, CopyEnd* src, char** mapped);
    // Puts the barrier for using one end of a copy in the transfer stages.
    static void UseForCopy(VkCommandBuffer cmd, const CopyEnd& end, bool write, bool discard);
    VkResult RecordCopy(VkCommandBuffer cmd, const CopyEnd& src, const CopyEnd& dst, const D3D11_BOX& box);

    Device* device_;
};

} // namespace platform::d3d11
