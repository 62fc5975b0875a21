// What the Direct3D 11 stand-in's tests share, all through the Direct3D 11 API: the conformance
// program's harness (its failed checks fail the test), the program's buffers, a window's pixels, and
// a silent validation layer with no live object left at the end.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <d3d11.h>
#include <testing.h>

#include "conformance/harness.h"

#include <cstdint>
#include <string>
#include <vector>

namespace d3dtest {

using conformance::Compile;
using conformance::PumpMessages;
using conformance::ReadBuffer;
using conformance::ReadTexture;

// A shown top-level window, of the program's client size unless told; destroyed at scope end.
class TestWindow : public conformance::Window {
  public:
    TestWindow(int width = 1280, int height = 720) : Window(width, height) {}
    uint32_t Texel(int x, int y) const; // as ReadWindow reads it
};

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
