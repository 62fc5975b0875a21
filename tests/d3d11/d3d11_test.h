// What the Direct3D 11 stand-in's tests share, all through the Direct3D 11 API: a window and swap
// chain, shaders compiled with D3DCompile2, read-backs, and a silent validation layer at the end.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>
#include <testing.h>

#include <cstdint>
#include <string>
#include <vector>

namespace d3dtest {

// A shown top-level window with the given client size; destroyed at scope end.
class TestWindow {
  public:
    TestWindow(int width = 1280, int height = 720);
    ~TestWindow();
    HWND hwnd() const { return hwnd_; }
    uint32_t Texel(int x, int y) const; // as ReadWindow reads it

  private:
    HWND hwnd_ = nullptr;
};

// The swap chain the program asks for: 1280 x 720 RGBA8, one buffer, windowed, mode switch allowed.
DXGI_SWAP_CHAIN_DESC ProgramSwapChainDesc(HWND window);

// Pumps the window messages that are waiting, so that resizes reach the window's state.
void PumpMessages();

// Compiles `entry` of `source` for `target`; fails the calling test when it does not compile.
std::vector<uint8_t> Compile(const std::string& source, const char* entry, const char* target);

// The bytes of a buffer, copied to a staging buffer and mapped.
std::vector<uint8_t> ReadBuffer(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Buffer* buffer);

// The RGBA8 texels of a 2D texture, copied to a staging texture and mapped, row after row.
std::vector<uint32_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                  ID3D11Texture2D* texture);

// What the window shows of the width x height area at (x, y) of its client area, row after row, as
// RGBA8 texels with alpha 255. A presented frame is read here: after Present the back buffer's
// contents are undefined, as with DXGI's discard effect.
std::vector<uint32_t> ReadWindow(HWND window, int x, int y, UINT width, UINT height);

// The program's constant block and screen buffer, with the buffer's unordered-access view.
void MakeScreen(ID3D11Device* device, ID3D11Buffer** constants, ID3D11Buffer** screen,
                ID3D11UnorderedAccessView** view);

// Live objects of every Direct3D kind (the test's window is not one).
long LiveD3DObjects();

// Failure injection and validation: every test starts clean and must end without a Vulkan
// validation message; the device under test must leave no live object behind.
class D3D11Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A device without a swap chain, or with one on `window` and a view of its back buffer.
    void MakeDevice();
    void MakeChain(HWND window, UINT width = 1280, UINT height = 720);
    void ReleaseDevice();

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* chain = nullptr;
    ID3D11Texture2D* backBuffer = nullptr;
    ID3D11RenderTargetView* rtv = nullptr;

  private:
    long validationAtStart_ = 0;
};

} // namespace d3dtest
