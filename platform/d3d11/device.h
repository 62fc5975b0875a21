// The Direct3D 11 device over one Vulkan device: creation methods that validate descriptions as
// Direct3D 11 does and hand the work to the object kinds (buffer.cpp, texture.cpp, views, shaders),
// the Vulkan state every object shares, and removal when a frame never ends or Vulkan loses the
// device. No adapters, feature-level emulation, deferred contexts or recovery after a removal.
#pragma once

#include <d3d11.h>

#include "frames.h"
#include "memory.h"
#include "pipelines.h"
#include "ref_counted.h"
#include "vulkan.h"

#include <atomic>

namespace platform::d3d11 {

// The COM base's count keeps the device alive: one reference stands for all the application's,
// counted apart, and each object the device made holds one more.
class Device final : public platform::RefCounted<ID3D11Device> {
  public:
    // `target` is the window of the swap chain to come, or null for a device without one.
    static HRESULT Create(PresentTarget* target, Device** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE CreateBuffer(const D3D11_BUFFER_DESC* pDesc,
                                           const D3D11_SUBRESOURCE_DATA* pInitialData,
                                           ID3D11Buffer** ppBuffer) override;
    HRESULT STDMETHODCALLTYPE CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc,
                                              const D3D11_SUBRESOURCE_DATA* pInitialData,
                                              ID3D11Texture2D** ppTexture2D) override;
    HRESULT STDMETHODCALLTYPE CreateUnorderedAccessView(ID3D11Resource* pResource,
                                                        const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
                                                        ID3D11UnorderedAccessView** ppUAView) override;
    HRESULT STDMETHODCALLTYPE CreateRenderTargetView(ID3D11Resource* pResource,
                                                     const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                                     ID3D11RenderTargetView** ppRTView) override;
    HRESULT STDMETHODCALLTYPE CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs,
                                                UINT NumElements,
                                                const void* pShaderBytecodeWithInputSignature,
                                                SIZE_T BytecodeLength,
                                                ID3D11InputLayout** ppInputLayout) override;
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                 ID3D11ClassLinkage* pClassLinkage,
                                                 ID3D11VertexShader** ppVertexShader) override;
    HRESULT STDMETHODCALLTYPE CreateGeometryShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                   ID3D11ClassLinkage* pClassLinkage,
                                                   ID3D11GeometryShader** ppGeometryShader) override;
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                ID3D11ClassLinkage* pClassLinkage,
                                                ID3D11PixelShader** ppPixelShader) override;
    HRESULT STDMETHODCALLTYPE CreateComputeShader(const void* pShaderBytecode, SIZE_T BytecodeLength,
                                                  ID3D11ClassLinkage* pClassLinkage,
                                                  ID3D11ComputeShader** ppComputeShader) override;
    HRESULT STDMETHODCALLTYPE GetDeviceRemovedReason() override;

    // Whether a creating call may go ahead: a failure a test injected for `call`, a removal, or S_OK.
    HRESULT Admit(const char* call);
    // S_OK while the device works, DXGI_ERROR_DEVICE_REMOVED once it is removed; the first call
    // after the removal tells the user on standard error.
    HRESULT Removed();
    // What the API returns for a failed Vulkan step: a removal when the device is lost or removed,
    // else Fail's HRESULT, with its log line unless the last failure was the same.
    HRESULT Failed(const platform::VkStatus& status);

    // Objects made by the device, the context and the swap chain keep it alive without counting
    // towards the references the application holds.
    void AddPrivateRef() { RefCounted::AddRef(); }
    void ReleasePrivateRef() { RefCounted::Release(); }

    uint64_t NextObjectId() { return ++lastObjectId_; }

    Vulkan vk;
    FrameRing frames;
    PipelineCache pipelines;
    SpareBuffer spareBuffer;
    VkSampler defaultSampler = VK_NULL_HANDLE; // stands in for unbound samplers

  private:
    Device() = default;
    ~Device() override;

    // The instance, device and queue, the frame ring, the pipeline cache and the default sampler.
    platform::VkStatus CreateVulkanHalf(PresentTarget* target);

    std::atomic<ULONG> appRefs_{1};
    uint64_t lastObjectId_ = 0;
    bool removalReported_ = false;
    platform::VkStatus logged_;
};

} // namespace platform::d3d11
