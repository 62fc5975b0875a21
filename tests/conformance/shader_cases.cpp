// Shaders compiled at run time: code refused or taken by the stage it was compiled for, input layouts
// matched against the vertex stage, clears and draws into a texture, and dispatches over the screen
// buffer that the pixel stage then reads, as the program's frame does.
#include "cases.h"
#include "differences.h"
#include "harness.h"

namespace conformance {

namespace {

// What both compilers take: no structured buffers, no thread IDs.
const char* kStages = R"(
cbuffer Constants : register(b0) { float4 tint; };
float4 vs_main(float3 position : POSITION) : SV_Position { return float4(position, 1.0); }
float4 vs_texcoord(float2 uv : TEXCOORD0) : SV_Position { return float4(uv, 0.0, 1.0); }
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint x = uint(position.x);
    uint y = uint(position.y);
    float checker = (x / 8 + y / 8) % 2;
    return float4(x / 255.0, y / 255.0, tint.b, checker);
}
[numthreads(8, 8, 1)] void cs_main() {}
)";

// The program's shape: a compute stage writing a structured buffer by thread, a pixel stage reading it.
const char* kScreen = R"(
cbuffer Constants : register(b0) { float4 tint; };
RWStructuredBuffer<float4> cellsOut : register(u0);
RWStructuredBuffer<float4> cellsIn : register(u1);
[numthreads(8, 8, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {
    cellsOut[id.y * 16 + id.x] = float4(id.x, id.y, tint.b, 1.0);
}
float4 ps_main(float4 position : SV_Position) : SV_Target {
    uint2 p = uint2(position.xy);
    float4 cell = cellsIn[p.y * 16 + p.x];
    return float4(cell.xy / 255.0, cell.zw);
}
)";

const float kQuad[12] = {-1, 1, 0, 1, 1, 0, -1, -1, 0, 1, -1, 0};

// A full-view quad with its vertex stage and layout, and the constants block, bound for drawing.
struct Quad {
    Ref<ID3D11VertexShader> vs;
    Ref<ID3D11InputLayout> layout;
    Ref<ID3D11Buffer> vertices;
    Ref<ID3D11Buffer> constants;

    bool Make(const Device& d, const float tint[4]) {
        const std::vector<uint8_t> code = Compile(kStages, "vs_main", "vs_5_0");
        const D3D11_INPUT_ELEMENT_DESC element = {
            "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
        const D3D11_BUFFER_DESC vb = {sizeof kQuad, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, 0, 0, 0};
        const D3D11_SUBRESOURCE_DATA data = {kQuad, 0, 0};
        const D3D11_BUFFER_DESC cb = {16, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER, 0, 0, 0};
        if (code.empty() ||
            !CheckHr(d.device->CreateVertexShader(code.data(), code.size(), nullptr, vs.out()), S_OK,
                     "the quad's vertex stage") ||
            !CheckHr(d.device->CreateInputLayout(&element, 1, code.data(), code.size(), layout.out()), S_OK,
                     "the quad's layout") ||
            !CheckHr(d.device->CreateBuffer(&vb, &data, vertices.out()), S_OK, "the quad's vertices") ||
            !CheckHr(d.device->CreateBuffer(&cb, nullptr, constants.out()), S_OK, "the constants"))
            return false;
        d.context->UpdateSubresource(constants.get(), 0, nullptr, tint, 0, 0);
        UINT stride = 12, offset = 0;
        ID3D11Buffer* vbs[] = {vertices.get()};
        ID3D11Buffer* cbs[] = {constants.get()};
        d.context->IASetVertexBuffers(0, 1, vbs, &stride, &offset);
        d.context->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        d.context->IASetInputLayout(layout.get());
        d.context->VSSetShader(vs.get(), nullptr, 0);
        d.context->PSSetConstantBuffers(0, 1, cbs);
        d.context->CSSetConstantBuffers(0, 1, cbs);
        return true;
    }
};

void SetViewport(const Device& d, UINT width, UINT height) {
    const D3D11_VIEWPORT viewport = {0, 0, float(width), float(height), 0, 1};
    d.context->RSSetViewports(1, &viewport);
}

} // namespace

void ShaderCode() {
    Device d;
    if (!MakeDevice(&d))
        return;
    const std::vector<uint8_t> vs = Compile(kStages, "vs_main", "vs_5_0");
    const std::vector<uint8_t> texcoord = Compile(kStages, "vs_texcoord", "vs_5_0");
    const std::vector<uint8_t> ps = Compile(kStages, "ps_main", "ps_5_0");
    const std::vector<uint8_t> cs = Compile(kStages, "cs_main", "cs_5_0");
    if (vs.empty() || texcoord.empty() || ps.empty() || cs.empty())
        return;
    const char notCode[] = "DXBC this is not code any compiler made";
    const D3D11_INPUT_ELEMENT_DESC position = {
        "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
    Ref<ID3D11VertexShader> vertex;
    Ref<ID3D11PixelShader> pixel;
    Ref<ID3D11ComputeShader> compute;
    Ref<ID3D11InputLayout> layout;
    const struct {
        const char* what;
        HRESULT hr;
        const Difference* difference;
    } refused[] = {
        {"not code", d.device->CreateVertexShader(notCode, sizeof notCode, nullptr, vertex.out()), nullptr},
        {"pixel code as vertex code",
         d.device->CreateVertexShader(ps.data(), ps.size(), nullptr, vertex.out()), nullptr},
        {"truncated code", d.device->CreateVertexShader(vs.data(), vs.size() - 1, nullptr, vertex.out()),
         nullptr},
        {"vertex code as compute code",
         d.device->CreateComputeShader(vs.data(), vs.size(), nullptr, compute.out()), nullptr},
        {"no code", d.device->CreatePixelShader(nullptr, 0, nullptr, pixel.out()), nullptr},
        {"a layout for pixel code",
         d.device->CreateInputLayout(&position, 1, ps.data(), ps.size(), layout.out()), nullptr},
        {"a layout without the TEXCOORD0 the stage reads",
         d.device->CreateInputLayout(&position, 1, texcoord.data(), texcoord.size(), layout.out()), nullptr},
    };
    for (const auto& r : refused)
        CheckHr(r.hr, E_INVALIDARG, r.what, r.difference);
    CheckTrue(!vertex && !pixel && !compute && !layout, "nothing made of refused code");

    CheckHr(d.device->CreateVertexShader(vs.data(), vs.size(), nullptr, vertex.out()), S_OK, "vertex code");
    CheckHr(d.device->CreatePixelShader(ps.data(), ps.size(), nullptr, pixel.out()), S_OK, "pixel code");
    CheckHr(d.device->CreateComputeShader(cs.data(), cs.size(), nullptr, compute.out()), S_OK,
            "compute code");
    CheckHr(d.device->CreateInputLayout(&position, 1, vs.data(), vs.size(), layout.out()), S_OK,
            "a layout with the POSITION the stage reads");
    const D3D11_INPUT_ELEMENT_DESC both[2] = {position,
                                              {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0,
                                               D3D11_APPEND_ALIGNED_ELEMENT, D3D11_INPUT_PER_VERTEX_DATA, 0}};
    CheckHr(d.device->CreateInputLayout(both, 2, texcoord.data(), texcoord.size(), layout.out()), S_OK,
            "a layout with an element the stage does not read");
}

void ClearsAndDraws() {
    constexpr UINT kSize = 64;
    Device d;
    Ref<ID3D11Texture2D> target;
    Ref<ID3D11RenderTargetView> rtv;
    Quad quad;
    const float tint[4] = {0, 0, 0x60 / 255.0f, 0};
    if (!MakeDevice(&d) || !MakeTarget(d, kSize, kSize, &target, &rtv) || !quad.Make(d, tint))
        return;
    const std::vector<uint8_t> ps = Compile(kStages, "ps_main", "ps_5_0");
    Ref<ID3D11PixelShader> pixel;
    if (ps.empty() || !CheckHr(d.device->CreatePixelShader(ps.data(), ps.size(), nullptr, pixel.out()), S_OK,
                               "the pixel stage"))
        return;
    // Whole 255ths, so that any rounding gives the same bytes.
    const float clear[4] = {0x20 / 255.0f, 0x40 / 255.0f, 0x80 / 255.0f, 1.0f};
    const uint32_t cleared = Rgba(0x20, 0x40, 0x80, 0xFF);
    d.context->ClearRenderTargetView(rtv.get(), clear);
    CheckTexels(
        ReadTexture(d, target.get()), kSize, kSize, [&](UINT, UINT) { return cleared; }, "cleared");

    ID3D11RenderTargetView* views[] = {rtv.get()};
    d.context->OMSetRenderTargetsAndUnorderedAccessViews(1, views, nullptr, 1, 0, nullptr, nullptr);
    SetViewport(d, kSize, kSize);
    d.context->PSSetShader(pixel.get(), nullptr, 0);
    d.context->Draw(4, 0);
    auto drawn = [](UINT x, UINT y) { return Rgba(x, y, 0x60, ((x / 8 + y / 8) % 2) * 0xFF); };
    CheckTexels(ReadTexture(d, target.get()), kSize, kSize, drawn, "a quad drawn by pixel position");

    // A viewport over the left half: the right half keeps the clear.
    d.context->ClearRenderTargetView(rtv.get(), clear);
    SetViewport(d, kSize / 2, kSize);
    d.context->Draw(4, 0);
    CheckTexels(
        ReadTexture(d, target.get()), kSize, kSize,
        [&](UINT x, UINT y) { return x < kSize / 2 ? drawn(x, y) : cleared; }, "a quad over the left half");

    // Constants updated between two draws of one frame: each draw sees the block as it was when drawn.
    const float later[4] = {0, 0, 0xA0 / 255.0f, 0};
    d.context->ClearRenderTargetView(rtv.get(), clear);
    d.context->Draw(4, 0);
    d.context->UpdateSubresource(quad.constants.get(), 0, nullptr, later, 0, 0);
    const D3D11_VIEWPORT right = {float(kSize / 2), 0, float(kSize / 2), float(kSize), 0, 1};
    d.context->RSSetViewports(1, &right);
    d.context->Draw(4, 0);
    CheckTexels(
        ReadTexture(d, target.get()), kSize, kSize,
        [&](UINT x, UINT y) {
            return x < kSize / 2 ? drawn(x, y) : Rgba(x, y, 0xA0, ((x / 8 + y / 8) % 2) * 0xFF);
        },
        "the right half drawn after the constants changed");
    d.context->UpdateSubresource(quad.constants.get(), 0, nullptr, tint, 0, 0);

    // Without a pixel stage no colour is written.
    d.context->ClearRenderTargetView(rtv.get(), clear);
    SetViewport(d, kSize, kSize);
    d.context->PSSetShader(nullptr, nullptr, 0);
    d.context->Draw(4, 0);
    CheckTexels(
        ReadTexture(d, target.get()), kSize, kSize, [&](UINT, UINT) { return cleared; },
        "a draw without a pixel stage", &kWineNoPixelStage);
}

void Dispatches() {
    constexpr UINT kSize = 16;
    Device d;
    Ref<ID3D11Texture2D> target;
    Ref<ID3D11RenderTargetView> rtv;
    Quad quad;
    const float tint[4] = {0, 0, 0x60 / 255.0f, 0};
    if (!MakeDevice(&d) || !MakeTarget(d, kSize, kSize, &target, &rtv) || !quad.Make(d, tint))
        return;
    const std::vector<uint8_t> cs = Compile(kScreen, "cs_main", "cs_5_0", &kWineStructuredBuffers);
    const std::vector<uint8_t> ps = Compile(kScreen, "ps_main", "ps_5_0", &kWineStructuredBuffers);
    if (cs.empty() || ps.empty())
        return;
    Ref<ID3D11ComputeShader> compute;
    Ref<ID3D11PixelShader> pixel;
    Ref<ID3D11Buffer> cells;
    Ref<ID3D11UnorderedAccessView> uav;
    const D3D11_BUFFER_DESC desc = {kSize * kSize * 16,
                                    D3D11_USAGE_DEFAULT,
                                    D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_SHADER_RESOURCE,
                                    0,
                                    D3D11_RESOURCE_MISC_BUFFER_STRUCTURED,
                                    16};
    if (!CheckHr(d.device->CreateComputeShader(cs.data(), cs.size(), nullptr, compute.out()), S_OK,
                 "compute") ||
        !CheckHr(d.device->CreatePixelShader(ps.data(), ps.size(), nullptr, pixel.out()), S_OK, "pixel") ||
        !CheckHr(d.device->CreateBuffer(&desc, nullptr, cells.out()), S_OK, "the cells") ||
        !CheckHr(d.device->CreateUnorderedAccessView(cells.get(), nullptr, uav.out()), S_OK,
                 "the cells' view"))
        return;
    ID3D11UnorderedAccessView* views[] = {uav.get()};
    ID3D11UnorderedAccessView* none[] = {nullptr};
    ID3D11RenderTargetView* rtvs[] = {rtv.get()};
    SetViewport(d, kSize, kSize);
    d.context->PSSetShader(pixel.get(), nullptr, 0);
    d.context->CSSetShader(compute.get(), nullptr, 0);

    // A dispatch with no view bound writes nothing: the cells stay zero.
    d.context->CSSetUnorderedAccessViews(0, 1, none, nullptr);
    d.context->Dispatch(2, 2, 1);
    CheckTrue(ReadBuffer(d, cells.get()) == std::vector<uint8_t>(desc.ByteWidth, 0),
              "the cells after a dispatch with no view bound");

    d.context->CSSetUnorderedAccessViews(0, 1, views, nullptr);
    d.context->Dispatch(2, 2, 1);
    const std::vector<uint8_t> bytes = ReadBuffer(d, cells.get());
    if (CheckEq(bytes.size(), size_t(desc.ByteWidth), "bytes read back")) {
        const float* cell = reinterpret_cast<const float*>(bytes.data()) + (5 * kSize + 3) * 4;
        CheckTrue(cell[0] == 3.0f && cell[1] == 5.0f && cell[2] == 0x60 / 255.0f && cell[3] == 1.0f,
                  "cell (3, 5) as the compute stage wrote it");
    }
    // The view is unbound from the compute stage before the pixel stage reads it from u1.
    d.context->CSSetUnorderedAccessViews(0, 1, none, nullptr);
    d.context->OMSetRenderTargetsAndUnorderedAccessViews(1, rtvs, nullptr, 1, 1, views, nullptr);
    d.context->Draw(4, 0);
    CheckTexels(
        ReadTexture(d, target.get()), kSize, kSize, [](UINT x, UINT y) { return Rgba(x, y, 0x60, 0xFF); },
        "the pixel stage showing the cells");
}

} // namespace conformance
