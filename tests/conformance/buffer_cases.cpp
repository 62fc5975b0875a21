// Buffers: descriptions refused or taken as Direct3D 11 documents them, contents read back through
// a staging copy and Map, views checked against their buffer and holding it, references counted.
#include "cases.h"
#include "differences.h"
#include "harness.h"

namespace conformance {

namespace {

D3D11_BUFFER_DESC Desc(UINT byteWidth, UINT bind, UINT misc = 0, UINT stride = 0) {
    return {byteWidth, D3D11_USAGE_DEFAULT, bind, 0, misc, stride};
}

constexpr UINT kShaderAccess = D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_SHADER_RESOURCE;
constexpr UINT kStructured = D3D11_RESOURCE_MISC_BUFFER_STRUCTURED;

} // namespace

void BufferDescriptions() {
    Device d;
    if (!MakeDevice(&d))
        return;
    const struct {
        const char* what;
        D3D11_BUFFER_DESC desc;
        HRESULT want;
        const Difference* difference = nullptr;
    } cases[] = {
        {"zero size", Desc(0, D3D11_BIND_VERTEX_BUFFER), E_INVALIDARG},
        {"structured without a stride", Desc(64, kShaderAccess, kStructured, 0), E_INVALIDARG},
        {"size not a multiple of the stride", Desc(60, kShaderAccess, kStructured, 16), E_INVALIDARG},
        {"constant buffer not a multiple of 16", Desc(844, D3D11_BIND_CONSTANT_BUFFER), E_INVALIDARG},
        {"constant buffer over 64 KiB", Desc(65536 + 16, D3D11_BIND_CONSTANT_BUFFER), E_INVALIDARG,
         &kWineConstantBuffers},
        {"constant buffer with another bind flag",
         Desc(848, D3D11_BIND_CONSTANT_BUFFER | D3D11_BIND_VERTEX_BUFFER), E_INVALIDARG,
         &kWineConstantBuffers},
        {"default usage with CPU access",
         {64, D3D11_USAGE_DEFAULT, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_READ, 0, 0},
         E_INVALIDARG},
        {"staging with a bind flag",
         {64, D3D11_USAGE_STAGING, D3D11_BIND_VERTEX_BUFFER, D3D11_CPU_ACCESS_READ, 0, 0},
         E_INVALIDARG},
        {"the program's constant buffer", Desc(848, D3D11_BIND_CONSTANT_BUFFER), S_OK},
        {"the program's screen buffer", Desc(14745600, kShaderAccess, kStructured, 16), S_OK},
        {"a 64 KiB constant buffer", Desc(65536, D3D11_BIND_CONSTANT_BUFFER), S_OK},
    };
    for (const auto& c : cases) {
        Ref<ID3D11Buffer> buffer;
        CheckHr(d.device->CreateBuffer(&c.desc, nullptr, buffer.out()), c.want, c.what, c.difference);
        CheckEq(bool(buffer), c.want == S_OK, std::string(c.what) + ": a buffer made", c.difference);
    }
    if (!Avoid(&kWineNullArguments, "no description"))
        CheckHr(d.device->CreateBuffer(nullptr, nullptr, nullptr), E_INVALIDARG, "no description");
    const D3D11_BUFFER_DESC vertex = Desc(48, D3D11_BIND_VERTEX_BUFFER);
    const D3D11_SUBRESOURCE_DATA empty = {nullptr, 0, 0};
    Ref<ID3D11Buffer> buffer;
    CheckHr(d.device->CreateBuffer(&vertex, &empty, buffer.out()), E_INVALIDARG,
            "initial data without memory");
    if (!Avoid(&kWineValidationOnly, "no buffer asked for"))
        CheckHr(d.device->CreateBuffer(&vertex, nullptr, nullptr), S_FALSE,
                "no buffer asked for: validation only");
}

void BufferContents() {
    Device d;
    if (!MakeDevice(&d))
        return;
    // Buffers made one after another, of one size: each reads as its initial data, or as zeros.
    const D3D11_BUFFER_DESC desc = Desc(1 << 20, D3D11_BIND_UNORDERED_ACCESS, kStructured, 16);
    const std::vector<uint8_t> zeros(desc.ByteWidth, 0), ab(desc.ByteWidth, 0xAB), cd(desc.ByteWidth, 0xCD);
    for (const std::vector<uint8_t>* data : {&ab, &zeros, &cd, &zeros}) {
        const D3D11_SUBRESOURCE_DATA initial = {data->data(), 0, 0};
        Ref<ID3D11Buffer> buffer;
        if (!CheckHr(d.device->CreateBuffer(&desc, data == &zeros ? nullptr : &initial, buffer.out()), S_OK,
                     "a 1 MiB structured buffer"))
            return;
        CheckTrue(ReadBuffer(d, buffer.get()) == *data, "made with bytes " + Hex((*data)[0]) + ", read back");
    }
    // UpdateSubresource of the whole constant block, as the program does every frame, and of a range
    // of a default buffer.
    Ref<ID3D11Buffer> constants;
    const D3D11_BUFFER_DESC cb = Desc(848, D3D11_BIND_CONSTANT_BUFFER);
    if (!CheckHr(d.device->CreateBuffer(&cb, nullptr, constants.out()), S_OK, "the constant buffer"))
        return;
    std::vector<uint8_t> block(848, 0);
    block[3] = 0x3F;
    block[847] = 0x41;
    d.context->UpdateSubresource(constants.get(), 0, nullptr, block.data(), 0, 0);
    CheckTrue(ReadBuffer(d, constants.get()) == block, "the constant block after UpdateSubresource");

    Ref<ID3D11Buffer> vertices;
    const D3D11_BUFFER_DESC vb = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    if (!CheckHr(d.device->CreateBuffer(&vb, nullptr, vertices.out()), S_OK, "a vertex buffer"))
        return;
    const uint8_t patch[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const D3D11_BOX range = {16, 0, 0, 24, 1, 1};
    d.context->UpdateSubresource(vertices.get(), 0, &range, patch, 0, 0);
    std::vector<uint8_t> want(64, 0);
    std::copy(patch, patch + 8, want.begin() + 16);
    CheckTrue(ReadBuffer(d, vertices.get()) == want, "bytes 16 to 23 after UpdateSubresource of a box");

    // CopyResource between two default buffers.
    Ref<ID3D11Buffer> copy;
    if (!CheckHr(d.device->CreateBuffer(&vb, nullptr, copy.out()), S_OK, "a second vertex buffer"))
        return;
    d.context->CopyResource(copy.get(), vertices.get());
    CheckTrue(ReadBuffer(d, copy.get()) == want, "a buffer copied from another");

    // Map: only staging memory, only as its CPU access allows; what is written reaches a copy.
    const D3D11_BUFFER_DESC upload = {64, D3D11_USAGE_STAGING, 0, D3D11_CPU_ACCESS_WRITE, 0, 0};
    Ref<ID3D11Buffer> staging;
    if (!CheckHr(d.device->CreateBuffer(&upload, nullptr, staging.out()), S_OK, "a staging buffer to write"))
        return;
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    const struct {
        const char* what;
        ID3D11Buffer* buffer;
        UINT subresource;
        D3D11_MAP type;
        const Difference* difference = nullptr;
    } refused[] = {
        {"Map of a default buffer", vertices.get(), 0, D3D11_MAP_READ},
        {"Map to read a buffer written only", staging.get(), 0, D3D11_MAP_READ},
        {"Map to discard a staging buffer", staging.get(), 0, D3D11_MAP_WRITE_DISCARD, &kWineDiscardStaging},
        {"Map of subresource 1 of a buffer", staging.get(), 1, D3D11_MAP_WRITE},
    };
    for (const auto& r : refused) {
        const HRESULT hr = d.context->Map(r.buffer, r.subresource, r.type, 0, &mapped);
        if (!CheckHr(hr, E_INVALIDARG, r.what, r.difference) && SUCCEEDED(hr))
            d.context->Unmap(r.buffer, r.subresource);
    }
    if (!CheckHr(d.context->Map(staging.get(), 0, D3D11_MAP_WRITE, 0, &mapped), S_OK, "Map to write"))
        return;
    for (uint8_t i = 0; i < 64; ++i)
        static_cast<uint8_t*>(mapped.pData)[i] = uint8_t(i * 3 + 1);
    d.context->Unmap(staging.get(), 0);
    d.context->CopyResource(copy.get(), staging.get());
    std::vector<uint8_t> written(64);
    for (uint8_t i = 0; i < 64; ++i)
        written[i] = uint8_t(i * 3 + 1);
    CheckTrue(ReadBuffer(d, copy.get()) == written, "what Map wrote, copied to a default buffer");
    CheckHr(d.device->GetDeviceRemovedReason(), S_OK, "the device is not removed");
}

void UnorderedAccessViews() {
    Device d;
    if (!MakeDevice(&d))
        return;
    const D3D11_BUFFER_DESC screenDesc = Desc(14745600, kShaderAccess, kStructured, 16);
    const D3D11_BUFFER_DESC wordsDesc = Desc(1024, kShaderAccess, kStructured, 4);
    const D3D11_BUFFER_DESC vertexDesc = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    Ref<ID3D11Buffer> screen, words, vertex;
    if (!CheckHr(d.device->CreateBuffer(&screenDesc, nullptr, screen.out()), S_OK, "the screen buffer") ||
        !CheckHr(d.device->CreateBuffer(&wordsDesc, nullptr, words.out()), S_OK, "a buffer of words") ||
        !CheckHr(d.device->CreateBuffer(&vertexDesc, nullptr, vertex.out()), S_OK, "a vertex buffer"))
        return;
    D3D11_UNORDERED_ACCESS_VIEW_DESC view = {};
    view.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    const struct {
        const char* what;
        ID3D11Buffer* buffer;
        UINT first, count;
        HRESULT want;
    } cases[] = {
        {"one element past the end", screen.get(), 0, 921600 + 1, E_INVALIDARG},
        {"starting one element in, ending past the end", screen.get(), 1, 921600, E_INVALIDARG},
        {"no UAV bind flag", vertex.get(), 0, 4, E_INVALIDARG},
        {"a 256-byte offset", words.get(), 64, 4, S_OK},
        {"the whole screen buffer", screen.get(), 0, 921600, S_OK},
    };
    for (const auto& c : cases) {
        view.Buffer = {c.first, c.count, 0};
        Ref<ID3D11UnorderedAccessView> made;
        CheckHr(d.device->CreateUnorderedAccessView(c.buffer, &view, made.out()), c.want, c.what);
        CheckEq(bool(made), c.want == S_OK, std::string(c.what) + ": a view made");
    }
    if (!Avoid(&kWineNullArguments, "a view of no resource"))
        CheckHr(d.device->CreateUnorderedAccessView(nullptr, &view, nullptr), E_INVALIDARG,
                "a view of no resource");
    if (!Avoid(&kWineValidationOnly, "no view asked for"))
        CheckHr(d.device->CreateUnorderedAccessView(screen.get(), &view, nullptr), S_FALSE,
                "no view asked for: validation only");
    Ref<ID3D11RenderTargetView> rtv;
    CheckHr(d.device->CreateRenderTargetView(vertex.get(), nullptr, rtv.out()), E_INVALIDARG,
            "a render-target view of a buffer without the RTV bind flag");

    Ref<ID3D11UnorderedAccessView> uav;
    view.Buffer = {0, 921600, 0};
    if (!CheckHr(d.device->CreateUnorderedAccessView(screen.get(), &view, uav.out()), S_OK,
                 "the screen's view"))
        return;
    D3D11_UNORDERED_ACCESS_VIEW_DESC got = {};
    uav->GetDesc(&got);
    CheckEq(got.Buffer.NumElements, 921600u, "GetDesc: elements");
    Ref<ID3D11UnorderedAccessView> whole;
    if (CheckHr(d.device->CreateUnorderedAccessView(screen.get(), nullptr, whole.out()), S_OK,
                "a view with no description")) {
        whole->GetDesc(&got);
        CheckEq(got.Buffer.NumElements, 921600u, "no description: the whole buffer's elements");
        CheckEq(int(got.ViewDimension), int(D3D11_UAV_DIMENSION_BUFFER), "no description: a buffer view");
    }
    whole.Reset();
    // The view keeps its buffer: ours released, GetResource still hands out the same buffer, whole.
    // How the view's hold shows in the buffer's count is the implementation's, so it is not checked.
    ID3D11Buffer* viewed = screen.get();
    screen.Reset();
    Ref<ID3D11Resource> resource;
    uav->GetResource(resource.out());
    CheckTrue(resource.get() == static_cast<ID3D11Resource*>(viewed),
              "GetResource returns the viewed buffer");
    D3D11_RESOURCE_DIMENSION dimension = D3D11_RESOURCE_DIMENSION_UNKNOWN;
    resource->GetType(&dimension);
    CheckEq(int(dimension), int(D3D11_RESOURCE_DIMENSION_BUFFER), "the viewed resource is a buffer");
    Ref<ID3D11Buffer> buffer;
    if (CheckHr(resource->QueryInterface(IID_ID3D11Buffer, buffer.outVoid()), S_OK,
                "the resource as a buffer")) {
        D3D11_BUFFER_DESC desc;
        buffer->GetDesc(&desc);
        CheckEq(desc.ByteWidth, screenDesc.ByteWidth, "the viewed buffer's size after our reference went");
    }
    buffer.Reset();
    resource.Reset();
    CheckEq(uav.take()->Release(), ULONG(0), "the view released");
}

void References() {
    Device d;
    if (!MakeDevice(&d))
        return;
    D3D11_BUFFER_DESC desc = Desc(64, D3D11_BIND_VERTEX_BUFFER);
    Ref<ID3D11Buffer> buffer;
    if (!CheckHr(d.device->CreateBuffer(&desc, nullptr, buffer.out()), S_OK, "a vertex buffer"))
        return;
    Ref<ID3D11Resource> resource;
    CheckHr(buffer->QueryInterface(IID_ID3D11Resource, resource.outVoid()), S_OK, "the buffer as a resource");
    CheckTrue(resource.get() == static_cast<ID3D11Resource*>(buffer.get()), "the same object as a resource");
    CheckEq(resource.take()->Release(), ULONG(1), "QueryInterface's reference released");
    Ref<ID3D11Texture2D> texture;
    CheckHr(buffer->QueryInterface(IID_ID3D11Texture2D, texture.outVoid()), E_NOINTERFACE,
            "a buffer as a texture");
    CheckTrue(!texture, "no texture handed out");
    Ref<IUnknown> unknown;
    CheckHr(buffer->QueryInterface(IID_IUnknown, unknown.outVoid()), S_OK, "the buffer as IUnknown");
    ID3D11Device* owner = nullptr;
    buffer->GetDevice(&owner);
    CheckTrue(owner == d.device.get(), "GetDevice returns the buffer's device");
    if (owner)
        owner->Release();

    // The buffer outlives our references to the device and its context.
    d.context.Reset();
    d.device.Reset();
    buffer->GetDesc(&desc);
    CheckEq(desc.ByteWidth, 64u, "GetDesc after the device's reference went");
    CheckEq(unknown.take()->Release(), ULONG(1), "IUnknown's reference released");
    CheckEq(buffer.take()->Release(), ULONG(0), "the last reference to the buffer");
}

} // namespace conformance
