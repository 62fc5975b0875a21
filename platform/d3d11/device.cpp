#include "device.h"

#include "buffer.h"
#include "context.h"
#include "input_layout.h"
#include "shader.h"
#include "swap_chain.h"
#include "texture.h"
#include "views.h"
#include "vk_result.h"

namespace {

// The one feature level this layer offers: compute shaders with eight UAV slots in the pixel stage.
constexpr D3D_FEATURE_LEVEL kFeatureLevel = D3D_FEATURE_LEVEL_11_0;

// A failure a test injected for `call`, then Direct3D 11's checks on the arguments every creation
// function shares. The achieved level is the first requested level the layer offers.
HRESULT CheckCreateArguments(const char* call, IDXGIAdapter* adapter, D3D_DRIVER_TYPE driverType,
                             HMODULE software, const D3D_FEATURE_LEVEL* levels, UINT levelCount,
                             UINT sdkVersion, D3D_FEATURE_LEVEL* achieved) {
    HRESULT injected;
    if (platform::TakeInjectedFailure(call, &injected))
        return injected;
    if (sdkVersion != D3D11_SDK_VERSION || (adapter && driverType != D3D_DRIVER_TYPE_UNKNOWN) ||
        (!adapter && driverType == D3D_DRIVER_TYPE_UNKNOWN) ||
        (driverType == D3D_DRIVER_TYPE_SOFTWARE) != !!software)
        return E_INVALIDARG;
    if (adapter || driverType != D3D_DRIVER_TYPE_HARDWARE)
        return platform::d3d11::Refuse("D3D11CreateDevice",
                                       "only the hardware driver type on the default adapter",
                                       DXGI_ERROR_UNSUPPORTED);
    if (!levels || levelCount == 0) {
        *achieved = kFeatureLevel;
        return S_OK;
    }
    for (UINT i = 0; i < levelCount; ++i) {
        if (levels[i] <= kFeatureLevel) {
            *achieved = levels[i];
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

// Gives the caller the new device, its context and feature level where it asked for them, and
// releases what it did not ask for.
void HandOut(ID3D11Device* device, ID3D11DeviceContext* context, D3D_FEATURE_LEVEL level,
             ID3D11Device** ppDevice, D3D_FEATURE_LEVEL* pFeatureLevel,
             ID3D11DeviceContext** ppImmediateContext) {
    if (pFeatureLevel)
        *pFeatureLevel = level;
    if (ppImmediateContext)
        *ppImmediateContext = context;
    else
        context->Release();
    if (ppDevice)
        *ppDevice = device;
    else
        device->Release();
}

// Every Create method: refused on a removed device or an injected failure, else made by `Object`.
template <class Object, class... Args>
HRESULT AdmitAndCreate(platform::d3d11::Device* device, const char* call, Args... args) {
    HRESULT hr = device->Admit(call);
    if (FAILED(hr))
        return hr;
    return Object::Create(device, args...);
}

} // namespace

namespace platform::d3d11 {

HRESULT Device::Create(PresentTarget* target, Device** out) {
    Device* device = new Device();
    const platform::VkStatus status = device->CreateVulkanHalf(target);
    if (!status.Ok()) {
        device->Release();
        return Fail(status);
    }
    *out = device;
    return S_OK;
}

platform::VkStatus Device::CreateVulkanHalf(PresentTarget* target) {
    platform::VkStatus status = CreateVulkan(&vk, target);
    if (!status.Ok())
        return status;
    // From here the destructor has a Vulkan device to tear down, and counts it.
    platform::CountLive("ID3D11Device", +1);
    status = frames.Create(&vk);
    if (!status.Ok())
        return status;
    pipelines.Init(&vk, &frames);
    VkSamplerCreateInfo sampler = {VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    // Direct3D 11's default sampler state: linear filtering, clamped coordinates.
    sampler.magFilter = VK_FILTER_LINEAR;
    sampler.minFilter = VK_FILTER_LINEAR;
    sampler.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
    sampler.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    sampler.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    sampler.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    sampler.maxLod = VK_LOD_CLAMP_NONE;
    return {"vkCreateSampler", vkCreateSampler(vk.device, &sampler, nullptr, &defaultSampler)};
}

Device::~Device() {
    // A removed device is left as it is, also at exit: work that never ends may still use it, and
    // destroying the Vulkan device would wait for that work forever.
    if (frames.RemovedBy() != VK_SUCCESS) {
        frames.Destroy();
        platform::CountLive("ID3D11Device", -1);
        return;
    }
    if (vk.device) {
        pipelines.Destroy();
        spareBuffer.Release(frames);
        frames.Destroy();
        if (defaultSampler)
            vkDestroySampler(vk.device, defaultSampler, nullptr);
        platform::CountLive("ID3D11Device", -1);
    }
    DestroyVulkan(&vk);
}

HRESULT Device::QueryInterface(REFIID riid, void** ppvObject) {
    return Query(riid, ppvObject, {&IID_IUnknown, &IID_ID3D11Device});
}

ULONG Device::AddRef() {
    return ++appRefs_;
}

ULONG Device::Release() {
    ULONG left = --appRefs_;
    if (left == 0)
        ReleasePrivateRef();
    return left;
}

HRESULT Device::GetDeviceRemovedReason() {
    // Vulkan does not say why it lost a device; a shader's fault or hang is the usual cause.
    return frames.RemovedBy() == VK_SUCCESS ? S_OK : DXGI_ERROR_DEVICE_HUNG;
}

HRESULT Device::Admit(const char* call) {
    HRESULT hr;
    if (platform::TakeInjectedFailure(call, &hr))
        return hr;
    return Removed();
}

HRESULT Device::Removed() {
    const VkResult cause = frames.RemovedBy();
    if (cause == VK_SUCCESS)
        return S_OK;
    if (!removalReported_) {
        removalReported_ = true;
        ReportRemoval(cause, FrameRing::kFrameTimeoutNs / 1'000'000'000);
    }
    return DXGI_ERROR_DEVICE_REMOVED;
}

HRESULT Device::Failed(const platform::VkStatus& status) {
    if (frames.Lose(status.result) == VK_ERROR_DEVICE_LOST)
        return Removed();
    // A failure that comes back frame after frame is logged the first time only.
    if (status.call == logged_.call && status.result == logged_.result)
        return ToHresult(status.result);
    logged_ = status;
    return Fail(status);
}

HRESULT Device::CreateBuffer(const D3D11_BUFFER_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                             ID3D11Buffer** ppBuffer) {
    return AdmitAndCreate<Buffer>(this, "CreateBuffer", pDesc, pInitialData, ppBuffer);
}

HRESULT Device::CreateTexture2D(const D3D11_TEXTURE2D_DESC* pDesc, const D3D11_SUBRESOURCE_DATA* pInitialData,
                                ID3D11Texture2D** ppTexture2D) {
    return AdmitAndCreate<Texture2D>(this, "CreateTexture2D", pDesc, pInitialData, ppTexture2D);
}

HRESULT Device::CreateUnorderedAccessView(ID3D11Resource* pResource,
                                          const D3D11_UNORDERED_ACCESS_VIEW_DESC* pDesc,
                                          ID3D11UnorderedAccessView** ppUAView) {
    return AdmitAndCreate<UnorderedAccessView>(this, "CreateUnorderedAccessView", pResource, pDesc, ppUAView);
}

HRESULT Device::CreateRenderTargetView(ID3D11Resource* pResource, const D3D11_RENDER_TARGET_VIEW_DESC* pDesc,
                                       ID3D11RenderTargetView** ppRTView) {
    return AdmitAndCreate<RenderTargetView>(this, "CreateRenderTargetView", pResource, pDesc, ppRTView);
}

HRESULT Device::CreateInputLayout(const D3D11_INPUT_ELEMENT_DESC* pInputElementDescs, UINT NumElements,
                                  const void* pShaderBytecodeWithInputSignature, SIZE_T BytecodeLength,
                                  ID3D11InputLayout** ppInputLayout) {
    return AdmitAndCreate<InputLayout>(this, "CreateInputLayout", pInputElementDescs, NumElements,
                                       pShaderBytecodeWithInputSignature, BytecodeLength, ppInputLayout);
}

HRESULT Device::CreateVertexShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage*,
                                   ID3D11VertexShader** ppVertexShader) {
    return AdmitAndCreate<VertexShader>(this, "CreateVertexShader", pShaderBytecode, BytecodeLength,
                                        ppVertexShader);
}

HRESULT Device::CreateGeometryShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage*,
                                     ID3D11GeometryShader** ppGeometryShader) {
    return AdmitAndCreate<GeometryShader>(this, "CreateGeometryShader", pShaderBytecode, BytecodeLength,
                                          ppGeometryShader);
}

HRESULT Device::CreatePixelShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage*,
                                  ID3D11PixelShader** ppPixelShader) {
    return AdmitAndCreate<PixelShader>(this, "CreatePixelShader", pShaderBytecode, BytecodeLength,
                                       ppPixelShader);
}

HRESULT Device::CreateComputeShader(const void* pShaderBytecode, SIZE_T BytecodeLength, ID3D11ClassLinkage*,
                                    ID3D11ComputeShader** ppComputeShader) {
    return AdmitAndCreate<ComputeShader>(this, "CreateComputeShader", pShaderBytecode, BytecodeLength,
                                         ppComputeShader);
}

} // namespace platform::d3d11

using platform::d3d11::Device;

extern "C" HRESULT WINAPI D3D11CreateDevice(IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType,
                                            HMODULE Software, UINT Flags,
                                            const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels,
                                            UINT SDKVersion, ID3D11Device** ppDevice,
                                            D3D_FEATURE_LEVEL* pFeatureLevel,
                                            ID3D11DeviceContext** ppImmediateContext) {
    if (ppDevice)
        *ppDevice = nullptr;
    if (ppImmediateContext)
        *ppImmediateContext = nullptr;
    (void)Flags; // single-threaded and debug flags change nothing here
    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = CheckCreateArguments("D3D11CreateDevice", pAdapter, DriverType, Software, pFeatureLevels,
                                      FeatureLevels, SDKVersion, &level);
    if (FAILED(hr))
        return hr;
    Device* device;
    hr = Device::Create(nullptr, &device);
    if (FAILED(hr))
        return hr;
    ID3D11DeviceContext* context;
    hr = platform::d3d11::Context::Create(device, &context);
    if (FAILED(hr)) {
        device->Release();
        return hr;
    }
    HandOut(device, context, level, ppDevice, pFeatureLevel, ppImmediateContext);
    return S_OK;
}

extern "C" HRESULT WINAPI D3D11CreateDeviceAndSwapChain(
    IDXGIAdapter* pAdapter, D3D_DRIVER_TYPE DriverType, HMODULE Software, UINT Flags,
    const D3D_FEATURE_LEVEL* pFeatureLevels, UINT FeatureLevels, UINT SDKVersion,
    const DXGI_SWAP_CHAIN_DESC* pSwapChainDesc, IDXGISwapChain** ppSwapChain, ID3D11Device** ppDevice,
    D3D_FEATURE_LEVEL* pFeatureLevel, ID3D11DeviceContext** ppImmediateContext) {
    if (ppSwapChain)
        *ppSwapChain = nullptr;
    if (ppDevice)
        *ppDevice = nullptr;
    if (ppImmediateContext)
        *ppImmediateContext = nullptr;
    (void)Flags; // single-threaded and debug flags change nothing here
    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = CheckCreateArguments("D3D11CreateDeviceAndSwapChain", pAdapter, DriverType, Software,
                                      pFeatureLevels, FeatureLevels, SDKVersion, &level);
    if (FAILED(hr))
        return hr;
    if (!pSwapChainDesc || !ppSwapChain)
        return E_INVALIDARG;
    hr = platform::d3d11::SwapChain::Validate(*pSwapChainDesc);
    if (FAILED(hr))
        return hr;
    platform::d3d11::PresentTarget target = {pSwapChainDesc->OutputWindow};
    Device* device;
    hr = Device::Create(&target, &device);
    if (FAILED(hr))
        return hr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    hr = platform::d3d11::Context::Create(device, &context);
    // The swap chain owns the surface from here on, and destroys it also when it fails.
    if (SUCCEEDED(hr))
        hr = platform::d3d11::SwapChain::Create(device, *pSwapChainDesc, target.surface, &swapChain);
    else
        vkDestroySurfaceKHR(device->vk.instance, target.surface, nullptr);
    if (FAILED(hr)) {
        if (context)
            context->Release();
        device->Release();
        return hr;
    }
    *ppSwapChain = swapChain;
    HandOut(device, context, level, ppDevice, pFeatureLevel, ppImmediateContext);
    return S_OK;
}
