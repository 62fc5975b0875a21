#include "views.h"

#include "vk_result.h"

namespace platform::d3d11 {

RenderTargetView::RenderTargetView(Device* device, Texture2D* texture,
                                   const D3D11_RENDER_TARGET_VIEW_DESC& desc)
    : View(device, "ID3D11RenderTargetView", texture, desc) {}

RenderTargetView::~RenderTargetView() {
    if (view_)
        device_->frames.Defer(GarbageKind::ImageView, reinterpret_cast<uint64_t>(view_));
}

HRESULT RenderTargetView::Create(Device* device, ID3D11Resource* resource,
                                 const D3D11_RENDER_TARGET_VIEW_DESC* desc, ID3D11RenderTargetView** out) {
    if (!resource)
        return E_INVALIDARG;
    Texture2D* texture = As<Texture2D>(resource);
    if (!texture) {
        return Refuse("CreateRenderTargetView", "only 2D texture views are implemented by this layer",
                      E_INVALIDARG);
    }
    const D3D11_TEXTURE2D_DESC& t = texture->Desc();
    if (!(t.BindFlags & D3D11_BIND_RENDER_TARGET))
        return E_INVALIDARG;
    D3D11_RENDER_TARGET_VIEW_DESC view = {};
    if (desc) {
        view = *desc;
        if (view.Format == DXGI_FORMAT_UNKNOWN)
            view.Format = t.Format;
    } else {
        view.Format = t.Format;
        view.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
        view.Texture2D.MipSlice = 0;
    }
    if (view.ViewDimension != D3D11_RTV_DIMENSION_TEXTURE2D || view.Texture2D.MipSlice != 0 ||
        view.Format != t.Format)
        return E_INVALIDARG;
    if (!out)
        return S_FALSE;

    RenderTargetView* rtv = new RenderTargetView(device, texture, view);
    VkImageViewCreateInfo info = {VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    info.image = texture->OwnImage();
    info.viewType = VK_IMAGE_VIEW_TYPE_2D;
    info.format = texture->Format(); // the view's format, with channels as the image keeps them
    info.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VkResult result = vkCreateImageView(device->vk.device, &info, nullptr, &rtv->view_);
    if (result != VK_SUCCESS) {
        rtv->Release();
        *out = nullptr;
        return Fail({"vkCreateImageView", result});
    }
    *out = rtv;
    return S_OK;
}

} // namespace platform::d3d11
