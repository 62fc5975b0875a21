#include "views.h"

#include "device.h"
#include "vk_result.h"

namespace platform::d3d11 {

UnorderedAccessView::UnorderedAccessView(Device* device, Buffer* buffer,
                                         const D3D11_UNORDERED_ACCESS_VIEW_DESC& desc)
    : View(device, "ID3D11UnorderedAccessView", buffer, desc),
      offset_(VkDeviceSize(desc.Buffer.FirstElement) * buffer->Desc().StructureByteStride),
      range_(VkDeviceSize(desc.Buffer.NumElements) * buffer->Desc().StructureByteStride) {}

HRESULT UnorderedAccessView::Create(Device* device, ID3D11Resource* resource,
                                    const D3D11_UNORDERED_ACCESS_VIEW_DESC* desc,
                                    ID3D11UnorderedAccessView** out) {
    if (!resource)
        return E_INVALIDARG;
    Buffer* buffer = As<Buffer>(resource);
    if (!buffer) {
        return Refuse("CreateUnorderedAccessView", "only buffer views are implemented by this layer",
                      E_INVALIDARG);
    }
    const D3D11_BUFFER_DESC& b = buffer->Desc();
    if (!(b.BindFlags & D3D11_BIND_UNORDERED_ACCESS))
        return E_INVALIDARG;
    if (!(b.MiscFlags & D3D11_RESOURCE_MISC_BUFFER_STRUCTURED)) {
        return Refuse("CreateUnorderedAccessView",
                      "only structured buffer views are implemented by this layer", E_INVALIDARG);
    }
    D3D11_UNORDERED_ACCESS_VIEW_DESC view = {};
    if (desc) {
        view = *desc;
    } else {
        view.Format = DXGI_FORMAT_UNKNOWN;
        view.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
        view.Buffer = {0, b.ByteWidth / b.StructureByteStride, 0};
    }
    const uint64_t elements = b.ByteWidth / b.StructureByteStride;
    if (view.ViewDimension != D3D11_UAV_DIMENSION_BUFFER || view.Format != DXGI_FORMAT_UNKNOWN ||
        view.Buffer.NumElements == 0 ||
        uint64_t(view.Buffer.FirstElement) + view.Buffer.NumElements > elements ||
        (view.Buffer.Flags & D3D11_BUFFER_UAV_FLAG_RAW))
        return E_INVALIDARG;
    if (view.Buffer.Flags) {
        return Refuse("CreateUnorderedAccessView",
                      "append and counter views are not implemented by this layer", E_INVALIDARG);
    }
    // A storage-buffer descriptor starts on the device's alignment: 4 to 256 bytes on GPUs.
    const VkDeviceSize alignment = device->vk.properties.limits.minStorageBufferOffsetAlignment;
    if (VkDeviceSize(view.Buffer.FirstElement) * b.StructureByteStride % alignment != 0) {
        return Refuse("CreateUnorderedAccessView",
                      "the first element's byte offset is not a multiple of the device's storage-buffer "
                      "offset alignment",
                      E_INVALIDARG);
    }
    if (!out)
        return S_FALSE;
    *out = new UnorderedAccessView(device, buffer, view);
    return S_OK;
}

} // namespace platform::d3d11
