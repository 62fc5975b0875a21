// What the swap chain does with answers of real window systems that lavapipe under Xvfb never gives:
// the answers are put in the layer's own queries (fxtest hooks), the swapchain and the picture are real.
#include "d3d11_test.h"

namespace {

constexpr float kGrey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr uint32_t kGreyTexel = 0xFF808080u; // 0x80 each: an sRGB swapchain would show 0xBC
constexpr int kBgraUnorm = 44;               // VK_FORMAT_B8G8R8A8_UNORM
constexpr int kBgraSrgb = 50;                // VK_FORMAT_B8G8R8A8_SRGB
constexpr unsigned kBlits = 0xC00;           // VK_FORMAT_FEATURE_BLIT_SRC_BIT | BLIT_DST_BIT

class SurfaceTest : public d3dtest::D3D11Test {
  protected:
    // The program's frame: the back buffer cleared whole, then presented.
    HRESULT Frame(const float colour[4] = kGrey) {
        context->ClearRenderTargetView(rtv, colour);
        return chain->Present(0, 0);
    }
    void TearDown() override {
        fxtest::HoldWindowImages(false);
        ReleaseDevice();
        fxtest::OfferSurfaceFormats(nullptr, 0);
        fxtest::HideFormatFeatures(0, 0);
        fxtest::AnswerSuboptimal(0);
        D3D11Test::TearDown();
    }

    d3dtest::TestWindow window_{128, 128};
};

// A compositor may name an image and keep showing it (a hidden window on XWayland): waiting for it
// is not the GPU's work, and must not remove the device however long it takes.
TEST_F(SurfaceTest, AnImageTheWindowKeepsPastTheFrameBoundLeavesTheFrameUnseenNotTheDeviceRemoved) {
    MakeChain(window_.hwnd(), 128, 128);
    ASSERT_EQ(Frame(), S_OK);
    fxtest::HoldWindowImages(true);
    const float blue[4] = {0, 0, 1, 1};
    EXPECT_EQ(Frame(blue), DXGI_STATUS_OCCLUDED);
    fxtest::HoldWindowImages(false);
    EXPECT_EQ(device->GetDeviceRemovedReason(), S_OK);
    EXPECT_EQ(Frame(blue), S_OK);
    EXPECT_EQ(window_.Texel(64, 64), 0xFFFF0000u);
}

// Some drivers answer SUBOPTIMAL for every frame of a swapchain that still presents: it is rebuilt
// once per run of such answers, not on every frame.
TEST_F(SurfaceTest, ARunOfSuboptimalAnswersRebuildsTheSwapchainOnce) {
    MakeChain(window_.hwnd(), 128, 128);
    ASSERT_EQ(Frame(), S_OK);
    const long made = fxtest::SwapchainsMade();
    fxtest::AnswerSuboptimal(6);
    for (int frame = 0; frame < 4; ++frame)
        EXPECT_EQ(Frame(), S_OK);
    EXPECT_EQ(fxtest::SwapchainsMade() - made, 1);
    fxtest::AnswerSuboptimal(1);
    EXPECT_EQ(Frame(), S_OK);
    EXPECT_EQ(Frame(), S_OK);
    EXPECT_EQ(fxtest::SwapchainsMade() - made, 2);
    EXPECT_EQ(window_.Texel(64, 64), kGreyTexel);
}

// The window's format is never an sRGB one, which would show the program's colours brighter: with
// only sRGB offered, nothing is shown.
TEST_F(SurfaceTest, TheWindowFormatIsUnormWhateverTheOrderAndNeverSrgb) {
    const struct {
        const char* what;
        std::vector<int> offered;
        HRESULT present;
    } cases[] = {
        {"sRGB first", {kBgraSrgb, kBgraUnorm}, S_OK},
        {"UNORM first", {kBgraUnorm, kBgraSrgb}, S_OK},
        {"sRGB only", {kBgraSrgb}, DXGI_STATUS_OCCLUDED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fxtest::OfferSurfaceFormats(c.offered.data(), static_cast<int>(c.offered.size()));
        MakeChain(window_.hwnd(), 128, 128);
        EXPECT_EQ(Frame(), c.present);
        if (c.present == S_OK) {
            EXPECT_EQ(window_.Texel(64, 64), kGreyTexel);
        }
        ReleaseDevice();
    }
}

// A back buffer whose format cannot be blitted is copied unscaled into a larger window, where a blit
// would scale it: a back buffer red on its left half, green on its right, shows green at x = 40.
TEST_F(SurfaceTest, AFormatWithoutBlitsIsCopiedUnscaled) {
    fxtest::OfferSurfaceFormats(&kBgraUnorm, 1);
    fxtest::HideFormatFeatures(kBgraUnorm, kBlits);
    MakeChain(window_.hwnd(), 64, 64);
    const float red[4] = {1, 0, 0, 1};
    context->ClearRenderTargetView(rtv, red);
    const std::vector<uint32_t> green(32 * 64, 0xFF00FF00u);
    const D3D11_BOX right = {32, 0, 0, 64, 64, 1};
    context->UpdateSubresource(backBuffer, 0, &right, green.data(), 32 * 4, 0);
    ASSERT_EQ(chain->Present(0, 0), S_OK);
    EXPECT_EQ(window_.Texel(40, 10), 0xFF00FF00u);
    EXPECT_EQ(window_.Texel(10, 10), 0xFF0000FFu);
}

} // namespace
