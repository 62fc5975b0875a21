#include "harness.h"

#include <cstring>

namespace conformance {

namespace {

const char* WindowClass() {
    static const char* name = [] {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "fxview-conformance";
        CheckTrue(RegisterClassExA(&wc) != 0, "RegisterClassExA");
        return "fxview-conformance";
    }();
    return name;
}

// Copies `resource` into `staging` and hands the mapped copy to `read`.
template <class Read>
void ReadStaging(ID3D11DeviceContext* context, ID3D11Resource* resource, ID3D11Resource* staging, Read read) {
    context->CopyResource(staging, resource);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (!CheckHr(context->Map(staging, 0, D3D11_MAP_READ, 0, &mapped), S_OK, "Map of a staging copy"))
        return;
    read(mapped);
    context->Unmap(staging, 0);
}

} // namespace

bool MakeDevice(Device* made) {
    D3D_FEATURE_LEVEL level = {};
    const D3D_FEATURE_LEVEL want = D3D_FEATURE_LEVEL_11_0;
    if (!CheckHr(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &want, 1, D3D11_SDK_VERSION,
                                   made->device.out(), &level, made->context.out()),
                 S_OK, "D3D11CreateDevice"))
        return false;
    return CheckEq(int(level), int(want), "feature level");
}

Window::Window(int width, int height) {
    RECT rect;
    SetRect(&rect, 0, 0, width, height);
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    hwnd_ = CreateWindowExA(0, WindowClass(), "fxview conformance", WS_OVERLAPPEDWINDOW, 0, 0,
                            rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    CheckTrue(hwnd_ != nullptr, "CreateWindowExA");
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    PumpMessages();
}

Window::~Window() {
    if (hwnd_)
        DestroyWindow(hwnd_);
    PumpMessages();
}

DXGI_SWAP_CHAIN_DESC SwapChainDesc(HWND window, UINT width, UINT height) {
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc = {width, height, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, {}, {}};
    desc.SampleDesc = {1, 0};
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = window;
    desc.Windowed = TRUE;
    desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;
    return desc;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::vector<uint8_t> Compile(const char* source, const char* entry, const char* target,
                             const Difference* difference) {
    Ref<ID3DBlob> code;
    Ref<ID3DBlob> messages;
    const HRESULT hr = D3DCompile2(source, std::strlen(source), nullptr, nullptr, nullptr, entry, target, 0,
                                   0, 0, nullptr, 0, code.out(), messages.out());
    // The message blob need not end in a NUL: its size bounds it.
    std::string text;
    if (messages)
        text.assign(static_cast<const char*>(messages->GetBufferPointer()), messages->GetBufferSize());
    while (!text.empty() && (text.back() == '\0' || text.back() == '\n'))
        text.pop_back();
    if (!CheckHr(hr, S_OK, std::string("D3DCompile2 of ") + entry + " for " + target + ": " + text,
                 difference) ||
        !code)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(code->GetBufferPointer());
    return {bytes, bytes + code->GetBufferSize()};
}

D3D11_TEXTURE2D_DESC TextureDesc(UINT width, UINT height, D3D11_USAGE usage, UINT bind, UINT cpu) {
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc = {1, 0};
    desc.Usage = usage;
    desc.BindFlags = bind;
    desc.CPUAccessFlags = cpu;
    return desc;
}

bool MakeTarget(const Device& d, UINT width, UINT height, Ref<ID3D11Texture2D>* texture,
                Ref<ID3D11RenderTargetView>* view) {
    const D3D11_TEXTURE2D_DESC desc =
        TextureDesc(width, height, D3D11_USAGE_DEFAULT, D3D11_BIND_RENDER_TARGET, 0);
    return CheckHr(d.device->CreateTexture2D(&desc, nullptr, texture->out()), S_OK,
                   "a render-target texture") &&
           CheckHr(d.device->CreateRenderTargetView(texture->get(), nullptr, view->out()), S_OK,
                   "its render-target view");
}

Device::~Device() {
    if (context)
        CheckEq(context.take()->Release(), ULONG(0), "the immediate context released last");
    if (device)
        CheckEq(device.take()->Release(), ULONG(0), "the device released last");
}

std::vector<uint8_t> ReadBuffer(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Buffer* buffer) {
    D3D11_BUFFER_DESC desc;
    buffer->GetDesc(&desc);
    const D3D11_BUFFER_DESC stagingDesc = {
        desc.ByteWidth, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
    Ref<ID3D11Buffer> staging;
    if (!CheckHr(device->CreateBuffer(&stagingDesc, nullptr, staging.out()), S_OK, "a staging buffer"))
        return {};
    std::vector<uint8_t> bytes;
    ReadStaging(context, buffer, staging.get(), [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
        const auto* data = static_cast<const uint8_t*>(mapped.pData);
        bytes.assign(data, data + desc.ByteWidth);
    });
    return bytes;
}

std::vector<uint32_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                  ID3D11Texture2D* texture) {
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    desc.MiscFlags = 0;
    Ref<ID3D11Texture2D> staging;
    if (!CheckHr(device->CreateTexture2D(&desc, nullptr, staging.out()), S_OK, "a staging texture"))
        return {};
    std::vector<uint32_t> texels;
    ReadStaging(context, texture, staging.get(), [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
        texels.resize(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&texels[size_t(y) * desc.Width],
                        static_cast<const char*>(mapped.pData) + y * mapped.RowPitch, desc.Width * 4);
    });
    return texels;
}

} // namespace conformance
