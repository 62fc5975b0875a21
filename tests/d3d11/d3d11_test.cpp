#include "d3d11_test.h"

#include "x11_window.h"

#include <X11/Xutil.h>

namespace d3dtest {

namespace {

// The harness's failed checks fail the running test.
[[maybe_unused]] const bool kReporting = [] {
    conformance::ReportFailuresTo(
        [](const char* file, int line, const std::string& text) { ADD_FAILURE_AT(file, line) << text; });
    return true;
}();

} // namespace

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
    const std::vector<uint32_t> texel = ReadWindow(hwnd(), x, y, 1, 1);
    return texel.empty() ? 0 : texel[0];
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
    DXGI_SWAP_CHAIN_DESC desc = conformance::SwapChainDesc(window, width, height);
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
