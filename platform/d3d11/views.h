// ID3D11UnorderedAccessView over a structured buffer range, and ID3D11RenderTargetView over a 2D
// texture. A view holds a reference on its resource. No typed or raw buffer views, no texture UAVs,
// no append or counter flags.
#pragma once

#include "buffer.h"
#include "texture.h"

namespace platform::d3d11 {

constexpr UINT kUavSlots = D3D11_PS_CS_UAV_REGISTER_COUNT;

class UnorderedAccessView final : public View<ID3D11UnorderedAccessView, D3D11_UNORDERED_ACCESS_VIEW_DESC,
                                              Buffer, IID_ID3D11UnorderedAccessView> {
  public:
    static HRESULT Create(Device* device, ID3D11Resource* resource,
                          const D3D11_UNORDERED_ACCESS_VIEW_DESC* desc, ID3D11UnorderedAccessView** out);

    // The descriptor a shader reads the view through: the layer makes structured buffer views only.
    VkDescriptorType Kind() const { return VK_DESCRIPTOR_TYPE_STORAGE_BUFFER; }
    VkDeviceSize Offset() const { return offset_; }
    VkDeviceSize Range() const { return range_; }

  private:
    UnorderedAccessView(Device* device, Buffer* buffer, const D3D11_UNORDERED_ACCESS_VIEW_DESC& desc);

    VkDeviceSize offset_;
    VkDeviceSize range_;
};

class RenderTargetView final : public View<ID3D11RenderTargetView, D3D11_RENDER_TARGET_VIEW_DESC, Texture2D,
                                           IID_ID3D11RenderTargetView> {
  public:
    static HRESULT Create(Device* device, ID3D11Resource* resource, const D3D11_RENDER_TARGET_VIEW_DESC* desc,
                          ID3D11RenderTargetView** out);

    // The view that draws record into: the lent window image's while the texture has one.
    VkImageView Handle() const { return target_->LentView() ? target_->LentView() : view_; }

  private:
    RenderTargetView(Device* device, Texture2D* texture, const D3D11_RENDER_TARGET_VIEW_DESC& desc);
    ~RenderTargetView() override;

    VkImageView view_ = VK_NULL_HANDLE;
};

// The buffer or texture behind a resource interface, told apart by the dimension it reports; null for
// a null resource or one of the other kind. Only this layer makes ID3D11Resource objects here.
template <class Concrete> Concrete* As(ID3D11Resource* resource) {
    if (!resource)
        return nullptr;
    D3D11_RESOURCE_DIMENSION dimension;
    resource->GetType(&dimension);
    return dimension == Concrete::kResourceDimension ? static_cast<Concrete*>(resource) : nullptr;
}

} // namespace platform::d3d11
