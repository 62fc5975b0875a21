// The stand-in's device: descriptions and shader code refused as Direct3D 11 refuses them, new memory
// reading as zeros, views holding their resources, input layouts matched against the vertex stage.
#include "d3d11_test.h"

#include <cstdlib>

namespace {

using d3dtest::Compile;
using d3dtest::D3D11Test;
using d3dtest::ReadBuffer;

const char* kShaders = R"(
cbuffer Constants : register(b0) { float time; };
RWStructuredBuffer<float4> cells : register(u0);
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
float4 vs_texcoord(float2 uv : TEXCOORD0) : SV_Position { return float4(uv, 0.0, 1.0); }
float4 ps_main(float4 position : SV_Position) : SV_Target { return float4(time, 0.0, 0.0, 1.0); }
[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { cells[id.y * 64 + id.x] = float4(id, time); }
)";

D3D11_BUFFER_DESC Desc(UINT byteWidth, UINT bind, UINT misc = 0, UINT stride = 0) {
    return {byteWidth, D3D11_USAGE_DEFAULT, bind, 0, misc, stride};
}

using DeviceTest = D3D11Test;

TEST_F(DeviceTest, DescriptionsAreCheckedAsDirect3D11ChecksThem) {
    MakeDevice();
    const UINT uav = D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_SHADER_RESOURCE;
    const UINT structured = D3D11_RESOURCE_MISC_BUFFER_STRUCTURED;
    struct Case {
        const char* what;
        D3D11_BUFFER_DESC desc;
        HRESULT want;
    } cases[] = {
        {"zero size", Desc(0, D3D11_BIND_VERTEX_BUFFER), E_INVALIDARG},
        {"structured without a stride", Desc(64, uav, structured, 0), E_INVALIDARG},
        {"size not a multiple of the stride", Desc(60, uav, structured, 16), E_INVALIDARG},
        {"constant buffer not a multiple of 16", Desc(840 + 4, D3D11_BIND_CONSTANT_BUFFER), E_INVALIDARG},
        {"constant buffer over 64 KiB", Desc(65536 + 16, D3D11_BIND_CONSTANT_BUFFER), E_INVALIDARG},
        {"constant buffer with another bind flag",
         Desc(848, D3D11_BIND_CONSTANT_BUFFER | D3D11_BIND_VERTEX_BUFFER), E_INVALIDARG},
        {"default usage with CPU access",
         {64, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_READ, 0, 0},
         E_INVALIDARG},
        {"staging with a bind flag",
         {64, D3D11_USAGE_STAGING, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_READ, 0, 0},
         E_INVALIDARG},
        {"the program's constant buffer", Desc(848, D3D11_BIND_CONSTANT_BUFFER), S_OK},
        {"the program's screen buffer", Desc(14745600, uav, structured, 16), S_OK},
        {"a 64 KiB constant buffer", Desc(65536, D3D11_BIND_CONSTANT_BUFFER), S_OK},
    };
    for (const Case& c : cases) {
        ID3D11Buffer* buffer = nullptr;
        EXPECT_EQ(device->CreateBuffer(&c.desc, nullptr, &buffer), c.want) << c.what;
        EXPECT_EQ(buffer != nullptr, c.want == S_OK) << c.what;
        if (buffer)
            buffer->Release();
    }
    EXPECT_EQ(device->CreateBuffer(nullptr, nullptr, nullptr), E_INVALIDARG) << "no description";
    D3D11_BUFFER_DESC vertex = Desc(48, D3D11_BIND_VERTEX_BUFFER);
    D3D11_SUBRESOURCE_DATA empty = {nullptr, 0, 0};
    ID3D11Buffer* buffer = nullptr;
    EXPECT_EQ(device->CreateBuffer(&vertex, &empty, &buffer), E_INVALIDARG) << "initial data without memory";
    EXPECT_EQ(device->CreateBuffer(&vertex, nullptr, nullptr), S_FALSE) << "validation only";
}

TEST_F(DeviceTest, NewBuffersReadAsZerosAndInitialDataAsGiven) {
    MakeDevice();
    // Released buffers are kept for the next of their size, which must read as its own data or zeros.
    const D3D11_BUFFER_DESC uav =
        Desc(1 << 20, D3D11_BIND_UNORDERED_ACCESS, D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, 16);
    const std::vector<uint8_t> zeros(uav.ByteWidth, 0), ab(uav.ByteWidth, 0xAB), cd(uav.ByteWidth, 0xCD);
    for (const std::vector<uint8_t>* data : {&ab, &zeros, &cd, &zeros}) {
        const D3D11_SUBRESOURCE_DATA initial = {data->data(), 0, 0};
        ID3D11Buffer* buffer = nullptr;
        ASSERT_EQ(device->CreateBuffer(&uav, data == &zeros ? nullptr : &initial, &buffer), S_OK);
        EXPECT_TRUE(ReadBuffer(device, context, buffer) == *data) << "made with bytes " << int((*data)[0]);
        buffer->Release();
    }
    // UpdateSubresource writes the whole constant block, as the program does every frame.
    const D3D11_BUFFER_DESC cb = Desc(848, D3D11_BIND_CONSTANT_BUFFER);
    ID3D11Buffer* constants = nullptr;
    ASSERT_EQ(device->CreateBuffer(&cb, nullptr, &constants), S_OK);
    std::vector<uint8_t> block(848, 0);
    block[3] = 0x3F;
    context->UpdateSubresource(constants, 0, nullptr, block.data(), 0, 0);
    EXPECT_TRUE(ReadBuffer(device, context, constants) == block);
    constants->Release();
}

TEST_F(DeviceTest, ViewsAreCheckedAndHoldTheirBuffer) {
    MakeDevice();
    D3D11_BUFFER_DESC desc = Desc(14745600, D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_SHADER_RESOURCE,
                                  D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, 16);
    ID3D11Buffer* buffer = nullptr;
    ASSERT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), S_OK);

    D3D11_BUFFER_DESC wordsDesc = Desc(1024, desc.BindFlags, D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, 4);
    D3D11_BUFFER_DESC vertexDesc = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    ID3D11Buffer *words = nullptr, *vertex = nullptr;
    ASSERT_EQ(device->CreateBuffer(&wordsDesc, nullptr, &words), S_OK);
    ASSERT_EQ(device->CreateBuffer(&vertexDesc, nullptr, &vertex), S_OK);
    D3D11_UNORDERED_ACCESS_VIEW_DESC view = {};
    view.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    const struct {
        const char* what;
        ID3D11Buffer* buffer;
        UINT first, count;
        HRESULT want;
    } cases[] = {
        {"a view past the end", buffer, 0, 921600 + 1, E_INVALIDARG},
        {"a view past the end", buffer, 1, 921600, E_INVALIDARG},
        {"no resource", nullptr, 0, 4, E_INVALIDARG},
        // Storage-buffer offsets follow the device's alignment, of 256 bytes at most.
        {"a 4-byte offset", words, 1, 4, E_INVALIDARG},
        {"a 256-byte offset", words, 64, 4, S_FALSE},
        {"no UAV bind flag", vertex, 0, 4, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        view.Buffer = {c.first, c.count, 0};
        EXPECT_EQ(device->CreateUnorderedAccessView(c.buffer, &view, nullptr), c.want) << c.what;
    }
    ID3D11RenderTargetView* rtv = nullptr;
    EXPECT_EQ(device->CreateRenderTargetView(vertex, nullptr, &rtv), E_INVALIDARG) << "no RTV bind flag";
    words->Release();
    vertex->Release();
    ID3D11UnorderedAccessView* uav = nullptr;

    view.Buffer = {0, 921600, 0};
    ASSERT_EQ(device->CreateUnorderedAccessView(buffer, &view, &uav), S_OK);
    ID3D11Resource* resource = nullptr;
    uav->GetResource(&resource);
    EXPECT_EQ(resource, buffer) << "GetResource returns the viewed buffer";
    EXPECT_EQ(resource->Release(), 2u) << "the slot and the view hold the buffer";
    EXPECT_EQ(buffer->Release(), 1u) << "the view still holds the buffer";
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), 1);
    EXPECT_EQ(uav->Release(), 0u);
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Buffer"), 0) << "the view's reference was the last";
}

TEST_F(DeviceTest, ShaderCodeIsCheckedAndInputsMatchedAgainstTheLayout) {
    MakeDevice();
    std::vector<uint8_t> vs = Compile(kShaders, "vs_main", "vs_5_0");
    std::vector<uint8_t> texcoord = Compile(kShaders, "vs_texcoord", "vs_5_0");
    std::vector<uint8_t> ps = Compile(kShaders, "ps_main", "ps_5_0");
    std::vector<uint8_t> cs = Compile(kShaders, "cs_main", "cs_5_0");
    ASSERT_FALSE(vs.empty() || texcoord.empty() || ps.empty() || cs.empty());

    const char dxbc[] = "DXBC this is not code the layer made";
    D3D11_INPUT_ELEMENT_DESC position = {
        "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
    ID3D11VertexShader* vertex = nullptr;
    ID3D11ComputeShader* compute = nullptr;
    ID3D11PixelShader* pixel = nullptr;
    ID3D11InputLayout* layout = nullptr;
    const struct {
        const char* what;
        HRESULT hr;
    } refused[] = {
        {"not our code", device->CreateVertexShader(dxbc, sizeof dxbc, nullptr, &vertex)},
        {"pixel code as vertex code", device->CreateVertexShader(ps.data(), ps.size(), nullptr, &vertex)},
        {"truncated", device->CreateVertexShader(vs.data(), vs.size() - 1, nullptr, &vertex)},
        {"vertex code as compute code", device->CreateComputeShader(vs.data(), vs.size(), nullptr, &compute)},
        {"no code", device->CreatePixelShader(nullptr, 0, nullptr, &pixel)},
        {"a layout for pixel code", device->CreateInputLayout(&position, 1, ps.data(), ps.size(), &layout)},
        {"a layout without the TEXCOORD0 the stage reads",
         device->CreateInputLayout(&position, 1, texcoord.data(), texcoord.size(), &layout)},
    };
    for (const auto& r : refused)
        EXPECT_EQ(r.hr, E_INVALIDARG) << r.what;

    // Code using double is made where the device offers 64-bit floats, and refused where it does not.
    std::vector<uint8_t> wide = Compile(R"(
RWStructuredBuffer<double> cells : register(u0);
[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { cells[id.x] = cells[id.x] * 0.5; }
)",
                                        "cs_main", "cs_5_0");
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

    EXPECT_EQ(device->CreateVertexShader(vs.data(), vs.size(), nullptr, &vertex), S_OK);
    EXPECT_EQ(device->CreatePixelShader(ps.data(), ps.size(), nullptr, &pixel), S_OK);
    EXPECT_EQ(device->CreateComputeShader(cs.data(), cs.size(), nullptr, &compute), S_OK);

    D3D11_INPUT_ELEMENT_DESC both[2] = {position,
                                        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0,
                                         D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0}};
    EXPECT_EQ(device->CreateInputLayout(&position, 1, vs.data(), vs.size(), &layout), S_OK);
    if (layout)
        layout->Release();
    EXPECT_EQ(device->CreateInputLayout(both, 2, texcoord.data(), texcoord.size(), &layout), S_OK)
        << "an element the stage does not read is allowed";
    if (layout)
        layout->Release();

    vertex->Release();
    pixel->Release();
    compute->Release();
}

TEST_F(DeviceTest, InterfacesAndReferencesAreCountedAndObjectsOutliveTheDeviceReference) {
    MakeDevice();
    D3D11_BUFFER_DESC desc = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    ID3D11Buffer* buffer = nullptr;
    ASSERT_EQ(device->CreateBuffer(&desc, nullptr, &buffer), S_OK);
    ID3D11Resource* resource = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_ID3D11Resource, reinterpret_cast<void**>(&resource)), S_OK);
    EXPECT_EQ(resource, static_cast<ID3D11Resource*>(buffer));
    EXPECT_EQ(resource->Release(), 1u);
    ID3D11Texture2D* texture = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_ID3D11Texture2D, reinterpret_cast<void**>(&texture)), E_NOINTERFACE);
    EXPECT_EQ(texture, nullptr);
    ID3D11Device* owner = nullptr;
    buffer->GetDevice(&owner);
    EXPECT_EQ(owner, device);
    EXPECT_EQ(owner->Release(), 1u);

    ReleaseDevice();
    EXPECT_EQ(fxtest::LiveObjects("ID3D11Device"), 1) << "the buffer keeps the device alive";
    buffer->GetDesc(&desc);
    EXPECT_EQ(desc.ByteWidth, 64u);
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
