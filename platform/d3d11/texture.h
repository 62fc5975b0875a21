// ID3D11Texture2D: one mip level, one layer, one sample. Default usage is a VkImage that starts
// zeroed; staging usage is a host-visible buffer of tightly packed rows, which is all that copying
// and mapping need. A swap chain's back buffer may keep its channels in the window's order (BGRA for
// RGBA) so that Present is a plain copy; copies in and out reorder them. For a frame that begins by
// clearing it whole, the presenter may lend a back buffer the window's own image, which then stands
// in for the texture's image until Present. No compressed or depth formats.
#pragma once

#include "barriers.h"
#include "com.h"
#include "memory.h"

namespace d3d11 {

class Presenter;

class Texture2D final : public DeviceChild<ID3D11Texture2D> {
  public:
    static HRESULT Create(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                          const D3D11_SUBRESOURCE_DATA* initial, ID3D11Texture2D** out);
    // A back buffer without initial data whose image stores its texels as `storage`, a format of the
    // same size as the description's with the red and blue channels swapped (or the same format).
    static HRESULT CreateBackBuffer(Device* device, const D3D11_TEXTURE2D_DESC* desc, VkFormat storage,
                                    ID3D11Texture2D** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override;
    void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) override;

    const D3D11_TEXTURE2D_DESC& Desc() const { return desc_; }
    bool Staging() const { return desc_.Usage == D3D11_USAGE_STAGING; }
    // The image that uses of the texture record into: its own, or the one lent to it for this frame.
    VkImage Image() const { return lent_.image ? lent_.image : image_.image; }
    VkImage OwnImage() const { return image_.image; }
    VkBuffer StagingBuffer() const { return staging_.buffer; }
    void* Mapped() const { return staging_.mapped; }
    UINT RowPitch() const { return rowPitch_; }
    // The image's format, which render passes and views use.
    VkFormat Format() const { return format_; }
    // The image keeps red and blue where the description's format does not.
    bool Swapped() const { return swapped_; }
    Hazard hazard;

    // The presenter of the swap chain whose back buffer this is, or null.
    Presenter* presenter = nullptr;
    // Makes `image` (of this texture's size and format), seen through `view`, stand in for the
    // texture's own image, starting from `hazard`; the own image's hazard is kept for Reclaim.
    void Lend(VkImage image, VkImageView view, const Hazard& fresh);
    void Reclaim();
    VkImageView LentView() const { return lent_.view; }

    // A clear of the whole image not recorded yet: a draw into all of the texture makes it its load
    // operation, which tiled GPUs do for nothing; any other use records it first.
    bool clearPending = false;
    VkClearColorValue clearColor = {};
    void RecordPendingClear(VkCommandBuffer cmd);

    // Records a copy between `box` of this texture's swapped image (already in the transfer layout of
    // the direction) and rows in the description's channel order packed tightly in `buffer`, through a
    // scratch image and a blit that reorders the channels and changes no value.
    VkResult RecordReorderingCopy(VkCommandBuffer cmd, VkBuffer buffer, const D3D11_BOX& box, bool toImage);

  private:
    Texture2D(Device* device, const D3D11_TEXTURE2D_DESC& desc, VkFormat storage);
    static HRESULT Make(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                        const D3D11_SUBRESOURCE_DATA* initial, VkFormat storage, ID3D11Texture2D** out);
    ~Texture2D() override;
    // The staging buffer's or the image's memory and first contents (the data, or zeros); `failed`
    // names the Vulkan call that failed.
    platform::VkStatus FillStaging(const D3D11_SUBRESOURCE_DATA* initial);
    platform::VkStatus FillImage(const D3D11_SUBRESOURCE_DATA* initial);

    D3D11_TEXTURE2D_DESC desc_;
    VkFormat format_;
    bool swapped_;
    UINT rowPitch_;
    ImageMemory image_;
    struct {
        VkImage image = VK_NULL_HANDLE;
        VkImageView view = VK_NULL_HANDLE;
        Hazard ownHazard;
    } lent_;
    BufferMemory staging_;
};

} // namespace d3d11
