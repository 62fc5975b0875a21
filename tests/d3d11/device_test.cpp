// The stand-in's device where only its hooks see it: the device's alignment and features, and objects
// freed when the last reference goes; and device creation without Vulkan, and the device choice.
#include "d3d11_test.h"

#include <cstdlib>

namespace {

using d3dtest::Compile;
using d3dtest::D3D11Test;
using d3dtest::ReadBuffer;

D3D11_BUFFER_DESC Desc(UINT byteWidth, UINT bind, UINT misc = 0, UINT stride = 0) {
    return {byteWidth, D3D11_USAGE_DEFAULT, bind, 0, misc, stride};
}

using DeviceTest = D3D11Test;

// What Direct3D 11 documents of descriptions, views, shader code and references is checked by the
// conformance program (tests/conformance); here, what only this layer's hooks can see.

TEST_F(DeviceTest, ViewsFollowTheDevicesAlignmentAndTheLastReferenceFreesTheBuffer) {
    MakeDevice();
    const UINT bind = D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_SHADER_RESOURCE;
    D3D11_BUFFER_DESC desc = Desc(1024, bind, D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, 4);
    ID3D11Buffer* words = nullptr;
    ASSERT_EQ(device->CreateBuffer(&desc, nullptr, &words), S_OK);
    D3D11_UNORDERED_ACCESS_VIEW_DESC view = {};
    view.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    // Storage-buffer offsets follow the device's alignment, of 256 bytes at most.
    view.Buffer = {1, 4, 0};
    EXPECT_EQ(device->CreateUnorderedAccessView(words, &view, nullptr), E_INVALIDARG) << "a 4-byte offset";
    view.Buffer = {0, 256, 0};
    ID3D11UnorderedAccessView* uav = nullptr;
    ASSERT_EQ(device->CreateUnorderedAccessView(words, &view, &uav), S_OK);
    EXPECT_EQ(words->Release(), 1u) << "the view still holds the buffer";
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), 1);
    EXPECT_EQ(uav->Release(), 0u);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), 0) << "the view's reference was the last";
}

TEST_F(DeviceTest, CodeUsingDoubleIsMadeOnlyWhereTheDeviceOffers64BitFloats) {
    MakeDevice();
    std::vector<uint8_t> wide = Compile(R"(
RWStructuredBuffer<double> cells : register(u0);
[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { cells[id.x] = cells[id.x] * 0.5; }
)",
                                        "cs_main", "cs_5_0");
    ID3D11ComputeShader* compute = nullptr;
    EXPECT_EQ(device->CreateComputeShader(wide.data(), wide.size(), nullptr, &compute), S_OK) << "double";
    if (compute)
        compute->Release();
    compute = nullptr;
    ReleaseDevice();
    fxtest::HideDeviceFeature("shaderFloat64");
    MakeDevice();
    fxtest::HideDeviceFeature(nullptr);
    EXPECT_EQ(device->CreateComputeShader(wide.data(), wide.size(), nullptr, &compute), E_INVALIDARG)
        << "double without shaderFloat64";
}

// Shader model 5.1 compiles, register spaces and all, but its code is Direct3D 12's.
TEST_F(DeviceTest, ShaderModel51CodeIsRefused) {
    MakeDevice();
    std::vector<uint8_t> code = Compile(R"(
Texture2D<float4> t : register(t0, space1);
RWTexture2D<float4> u : register(u11);
RWStructuredBuffer<float4> cells : register(u0);
[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { cells[0] = t[id.xy]; u[id.xy] = 1; }
)",
                                        "cs_main", "cs_5_1");
    ASSERT_FALSE(code.empty());
    ID3D11ComputeShader* compute = nullptr;
    EXPECT_EQ(device->CreateComputeShader(code.data(), code.size(), nullptr, &compute), E_INVALIDARG);
    EXPECT_EQ(compute, nullptr);
}

TEST_F(DeviceTest, ABufferKeepsItsDeviceAliveAfterTheApplicationsReferencesGo) {
    MakeDevice();
    D3D11_BUFFER_DESC desc = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    ID3D11Buffer* buffer = nullptr;
    ASSERT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), S_OK);
    ReleaseDevice();
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Device"), 1) << "the buffer keeps the device alive";
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Device"), 0);
}

TEST_F(DeviceTest, AViewOfAnotherKindThanTheShaderDeclaresIsReportedOnceUnderValidationAndReadsNothing) {
    std::vector<uint8_t> typed = Compile(R"(
RWBuffer<float> values : register(u1);
[numthreads(4, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { values[id.x] = 2.0; }
)",
                                         "cs_main", "cs_5_0");
    // Once without FXVIEW_VALIDATION, once with it (as the test runs, else 1).
    const char* asked = std::getenv("FXVIEW_VALIDATION");
    const std::string validation = asked ? asked : "";
    const std::string on = validation.empty() || validation == "0" ? "1" : validation;
    for (const bool checks : {false, true}) {
        setenv("FXVIEW_VALIDATION", checks ? on.c_str() : "0", 1);
        MakeDevice();
        D3D11_BUFFER_DESC desc =
            Desc(16, D3D11_BIND_UNORDERED_ACCESS, D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, 4);
        ID3D11Buffer* buffer = nullptr;
        ID3D11UnorderedAccessView* view = nullptr;
        ID3D11ComputeShader* shader = nullptr;
        ASSERT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), S_OK);
        ASSERT_EQ(device->CreateUnorderedAccessView(buffer, nullptr, &view), S_OK);
        ASSERT_EQ(device->CreateComputeShader(typed.data(), typed.size(), nullptr, &shader), S_OK);
        context->CSSetShader(shader, nullptr, 0);
        context->CSSetUnorderedAccessViews(1, 1, &view, nullptr);
        testing::internal::CaptureStderr();
        context->Dispatch(1, 1, 1);
        context->Dispatch(1, 1, 1);
        const std::string log = testing::internal::GetCapturedStderr();
        const std::string want =
            "Dispatch: the compute shader declares a typed buffer (RWBuffer) at u1, but a "
            "structured buffer view is bound there";
        const size_t first = log.find(want);
        if (checks) {
            EXPECT_NE(first, std::string::npos) << log;
            EXPECT_EQ(log.find(want, first + 1), std::string::npos) << "reported once: " << log;
        } else {
            EXPECT_EQ(first, std::string::npos) << "without validation: " << log;
        }
        EXPECT_EQ(ReadBuffer(device, context, buffer), std::vector<uint8_t>(16, 0))
            << "the structured view is not written as a typed one";
        ID3D11UnorderedAccessView* none = nullptr;
        context->CSSetUnorderedAccessViews(1, 1, &none, nullptr);
        context->CSSetShader(nullptr, nullptr, 0);
        shader->Release();
        view->Release();
        buffer->Release();
        ReleaseDevice();
    }
    if (asked)
        setenv("FXVIEW_VALIDATION", validation.c_str(), 1);
    else
        unsetenv("FXVIEW_VALIDATION");
}

// Run by the d3d11_no_vulkan test, whose environment hides every Vulkan driver.
TEST(NoVulkanTest, CreationFailsAsDirect3D11DoesWithoutAnAdapter) {
    if (!std::getenv("FXVIEW_EXPECT_NO_VULKAN"))
        GTEST_SKIP() << "only meaningful with the Vulkan drivers hidden";
    ID3D11Device* device = reinterpret_cast<ID3D11Device*>(1);
    ID3D11DeviceContext* context = reinterpret_cast<ID3D11DeviceContext*>(1);
    EXPECT_EQ(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0, D3D11_SDK_VERSION,
                                &device, nullptr, &context),
              DXGI_ERROR_UNSUPPORTED);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Device"), 0);
}

// Run by the d3d11_device_choice test, alone in its process: the start-up line is its first device's.
TEST(DeviceChoiceTest, TheDeviceInUseIsNamedOnceAndFxviewDeviceChoosesAnother) {
    if (!std::getenv("FXVIEW_EXPECT_DEVICE_CHOICE"))
        GTEST_SKIP() << "only meaningful as the process's first device";
    struct Case {
        const char* choice;
        HRESULT want;
        const char* log;
    } cases[] = {
        {"", S_OK, "fxview platform: using llvmpipe"},
        {"0", S_OK, ""},
        {"llvm", S_OK, ""},
        {"no such device", DXGI_ERROR_UNSUPPORTED, "FXVIEW_DEVICE=no such device names no Vulkan device"},
        {"7", DXGI_ERROR_UNSUPPORTED, "FXVIEW_DEVICE=7 names no Vulkan device"},
    };
    for (const Case& c : cases) {
        setenv("FXVIEW_DEVICE", c.choice, 1);
        testing::internal::CaptureStderr();
        ID3D11Device* device = nullptr;
        const HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                             D3D11_SDK_VERSION, &device, nullptr, nullptr);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(hr, c.want) << c.choice;
        EXPECT_NE(log.find(c.log), std::string::npos) << c.choice << ": " << log;
        EXPECT_EQ(log.find("using") != std::string::npos, c.choice == cases[0].choice)
            << c.choice << ": " << log;
        if (device)
            device->Release();
    }
    unsetenv("FXVIEW_DEVICE");
}

} // namespace
