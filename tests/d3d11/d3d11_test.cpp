#include "d3d11_test.h"

#include "x11_window.h"

#include <X11/Xutil.h>

#include <cstring>

namespace d3dtest {

namespace {

const char* RegisteredClass() {
    static const char* name = [] {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "d3d11-test";
        RegisterClassExA(&wc);
        return "d3d11-test";
    }();
    return name;
}

// Copies `resource` into `copy`, a staging resource of its description that this takes over, and
// hands the mapped copy to `read`.
template <class Read>
void ReadStaging(ID3D11DeviceContext* context, ID3D11Resource* resource, ID3D11Resource* copy, Read read) {
    if (!copy)
        return;
    context->CopyResource(copy, resource);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    EXPECT_EQ(context->Map(copy, 0, D3D11_MAP_READ, 0, &mapped), S_OK);
    if (mapped.pData) {
        read(mapped);
        context->Unmap(copy, 0);
    }
    copy->Release();
}

} // namespace

TestWindow::TestWindow(int width, int height) {
    RECT rect;
    SetRect(&rect, 0, 0, width, height);
    AdjustWindowRectEx(&rect, WS_OVERLAPPEDWINDOW, FALSE, 0);
    hwnd_ =
        CreateWindowExA(0, RegisteredClass(), "d3d11 test", WS_OVERLAPPEDWINDOW, 0, 0, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    EXPECT_NE(hwnd_, nullptr);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    PumpMessages();
}

TestWindow::~TestWindow() {
    if (hwnd_)
        DestroyWindow(hwnd_);
    PumpMessages();
}

DXGI_SWAP_CHAIN_DESC ProgramSwapChainDesc(HWND window) {
    DXGI_SWAP_CHAIN_DESC desc = {};
    desc.BufferDesc = {1280, 720, {60, 1}, DXGI_FORMAT_R8G8B8A8_UNORM, {}, {}};
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

std::vector<uint8_t> Compile(const std::string& source, const char* entry, const char* target) {
    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    HRESULT hr = D3DCompile2(source.data(), source.size(), nullptr, nullptr, nullptr, entry, target, 0, 0, 0,
                             nullptr, 0, &code, &messages);
    std::string text = messages ? static_cast<const char*>(messages->GetBufferPointer()) : "";
    if (messages)
        messages->Release();
    EXPECT_EQ(hr, S_OK) << entry << " " << target << ": " << text;
    if (!code)
        return {};
    auto* bytes = static_cast<const uint8_t*>(code->GetBufferPointer());
    std::vector<uint8_t> result(bytes, bytes + code->GetBufferSize());
    code->Release();
    return result;
}

std::vector<uint8_t> ReadBuffer(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Buffer* buffer) {
    D3D11_BUFFER_DESC desc;
    buffer->GetDesc(&desc);
    D3D11_BUFFER_DESC staging = {desc.ByteWidth, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_READ, 0, 0};
    ID3D11Buffer* copy = nullptr;
    EXPECT_EQ(device->CreateBuffer(&staging, nullptr, &copy), S_OK);
    std::vector<uint8_t> bytes;
    ReadStaging(context, buffer, copy, [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
        bytes.assign(static_cast<uint8_t*>(mapped.pData),
                     static_cast<uint8_t*>(mapped.pData) + desc.ByteWidth);
    });
    return bytes;
}

std::vector<uint32_t> ReadWindow(HWND window, int x, int y, UINT width, UINT height) {
    Display* display;
    Window xwindow;
    if (!platform::win32::X11WindowOf(window, &display, &xwindow)) {
        ADD_FAILURE() << "no X window behind the HWND";
        return {};
    }
    XSync(display, False);
    XImage* image = XGetImage(display, xwindow, x, y, width, height, AllPlanes, ZPixmap);
    if (!image) {
        ADD_FAILURE() << "XGetImage of " << width << " x " << height << " failed";
        return {};
    }
    std::vector<uint32_t> texels(size_t(width) * height);
    for (UINT row = 0; row < height; ++row) {
        for (UINT column = 0; column < width; ++column) {
            const unsigned long rgb = XGetPixel(image, int(column), int(row));
            texels[size_t(row) * width + column] = uint32_t(rgb >> 16 & 0xFF) | uint32_t(rgb & 0xFF00) |
                                                   uint32_t(rgb & 0xFF) << 16 | 0xFF000000u;
        }
    }
    XDestroyImage(image);
    return texels;
}

uint32_t TestWindow::Texel(int x, int y) const {
    const std::vector<uint32_t> texel = ReadWindow(hwnd_, x, y, 1, 1);
    return texel.empty() ? 0 : texel[0];
}

std::vector<uint32_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                  ID3D11Texture2D* texture) {
    D3D11_TEXTURE2D_DESC desc;
    texture->GetDesc(&desc);
    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    ID3D11Texture2D* copy = nullptr;
    EXPECT_EQ(device->CreateTexture2D(&desc, nullptr, &copy), S_OK);
    std::vector<uint32_t> texels;
    ReadStaging(context, texture, copy, [&](const D3D11_MAPPED_SUBRESOURCE& mapped) {
        texels.resize(size_t(desc.Width) * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&texels[size_t(y) * desc.Width],
                        static_cast<char*>(mapped.pData) + y * mapped.RowPitch, desc.Width * 4);
    });
    return texels;
}

void MakeScreen(ID3D11Device* device, ID3D11Buffer** constants, ID3D11Buffer** screen,
                ID3D11UnorderedAccessView** view) {
    const D3D11_BUFFER_DESC cb = {848, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER, 0, 0, 0};
    const D3D11_BUFFER_DESC buffer = {14745600,
                                      D3D11_USAGE_DEFAULT,
                                      D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS,
                                      0,
                                      D3D11_RESOURCE_MISC_BUFFER_STRUCTURED,
                                      16};
    ASSERT_EQ(device->CreateBuffer(&cb, nullptr, constants), S_OK);
    ASSERT_EQ(device->CreateBuffer(&buffer, nullptr, screen), S_OK);
    ASSERT_EQ(device->CreateUnorderedAccessView(*screen, nullptr, view), S_OK);
}

void D3D11Test::SetUp() {
    fxtest::ClearFailures();
    validationAtStart_ = fxtest::ValidationMessages();
}

long LiveD3DObjects() {
    long total = 0;
    for (const char* kind :
         {"ID3D11Device", "ID3D11DeviceContext", "IDXGISwapChain", "ID3D11Buffer", "ID3D11Texture2D",
          "ID3D11UnorderedAccessView", "ID3D11RenderTargetView", "ID3D11VertexShader", "ID3D11PixelShader",
          "ID3D11ComputeShader", "ID3D11GeometryShader", "ID3D11InputLayout"}) {
        const long live = fxtest::LiveObjects(kind);
        EXPECT_EQ(live, 0) << kind << " left alive";
        total += live;
    }
    return total;
}

void D3D11Test::TearDown() {
    ReleaseDevice();
    EXPECT_EQ(fxtest::ValidationMessages() - validationAtStart_, 0)
        << "Vulkan validation messages (see stderr)";
    LiveD3DObjects();
}

void D3D11Test::MakeDevice() {
    D3D_FEATURE_LEVEL level;
    ASSERT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                &device, &level, &context),
              S_OK);
    EXPECT_EQ(level, D3D_FEATURE_LEVEL_11_0);
}

void D3D11Test::MakeChain(HWND window, UINT width, UINT height) {
    DXGI_SWAP_CHAIN_DESC desc = ProgramSwapChainDesc(window);
    desc.BufferDesc.Width = width;
    desc.BufferDesc.Height = height;
    ASSERT_EQ(D3D11CreateDeviceAndSwapChain(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                            D3D11_SDK_VERSION, &desc, &chain, &device, nullptr, &context),
              S_OK);
    ASSERT_EQ(chain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&backBuffer)), S_OK);
    ASSERT_EQ(device->CreateRenderTargetView(backBuffer, nullptr, &rtv), S_OK);
}

void D3D11Test::ReleaseDevice() {
    for (IUnknown* object : std::initializer_list<IUnknown*>{rtv, backBuffer, chain}) {
        if (object)
            object->Release();
    }
    rtv = nullptr;
    backBuffer = nullptr;
    chain = nullptr;
    EXPECT_EQ(context ? context->Release() : 0u, 0u);
    EXPECT_EQ(device ? device->Release() : 0u, 0u);
    context = nullptr;
    device = nullptr;
}

} // namespace d3dtest
