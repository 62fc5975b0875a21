// ID3D11Texture2D: one mip level, one layer, one sample. Default usage is a VkImage that starts
// zeroed; staging usage is a host-visible buffer of tightly packed rows, which is all that copying
// and mapping need. A swap chain's back buffer may keep its channels in the window's order (BGRA for
// RGBA) so that Present is a plain copy; copies in and out reorder them. For a frame that begins by
// clearing it whole, the presenter may lend a back buffer the window's own image, which then stands
// in for the texture's image until Present: the texture asks its ImageLender when it is cleared,
// and knows nothing else of presentation. No compressed or depth formats.
#pragma once

#include "barriers.h"
#include "com.h"
#include "memory.h"

namespace platform::d3d11 {

class Texture2D;

// What a swap chain's back buffer asks before a clear of the whole image: whether the window's next
// image can stand in for its own for this frame (then the lender calls Lend).
class ImageLender {
  public:
    virtual void TryLend(Texture2D* backBuffer) = 0;

  protected:
    ~ImageLender() = default;
};

class Texture2D final : public Resource<ID3D11Texture2D, D3D11_TEXTURE2D_DESC,
                                        D3D11_RESOURCE_DIMENSION_TEXTURE2D, IID_ID3D11Texture2D> {
  public:
    static HRESULT Create(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                          const D3D11_SUBRESOURCE_DATA* initial, ID3D11Texture2D** out);
    // A back buffer without initial data whose image stores its texels as `storage`, a format of the
    // same size as the description's with the red and blue channels swapped (or the same format).
    static HRESULT CreateBackBuffer(Device* device, const D3D11_TEXTURE2D_DESC* desc, VkFormat storage,
                                    ID3D11Texture2D** out);

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

    // Puts the barrier for the next use of the image (after the clear still pending, if any); a
    // `discard` use does not keep the contents.
    void Use(VkCommandBuffer cmd, VkPipelineStageFlags2 stage, VkAccessFlags2 access, VkImageLayout layout,
             bool discard = false);
    // The staging buffer's hazard, for copies and Map; images are used through Use.
    Hazard* StagingHazard() { return &hazard_; }

    // The back buffer of a swap chain asks `lender` before each whole clear; null stops it.
    void SetLender(ImageLender* lender) { lender_ = lender; }
    // Makes `image` (of this texture's size and format), seen through `view`, stand in for the
    // texture's own image, starting from `fresh`; the own image's hazard is kept for Reclaim.
    void Lend(VkImage image, VkImageView view, const Hazard& fresh);
    void Reclaim();
    VkImageView LentView() const { return lent_.view; }

    // Clears the whole image to `color`, lazily: a draw into all of the texture makes the clear its
    // load operation, which tiled GPUs do for nothing; any other use records it first.
    void ClearWhole(const FLOAT color[4]);
    // True, with the colour, when a clear is pending and a render pass over `area` covers the whole
    // image: the pass then makes it its load operation, and the clear is no longer pending.
    bool TakeClearAsLoad(VkExtent2D area, VkClearColorValue* color);

    // Records a copy between `box` of this texture's swapped image (already in the transfer layout of
    // the direction) and rows in the description's channel order packed tightly in `buffer`, through a
    // scratch image and a blit that reorders the channels and changes no value.
    VkResult RecordReorderingCopy(VkCommandBuffer cmd, VkBuffer buffer, const D3D11_BOX& box, bool toImage);

  private:
    Texture2D(Device* device, const D3D11_TEXTURE2D_DESC& desc, VkFormat storage);
    static HRESULT Make(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                        const D3D11_SUBRESOURCE_DATA* initial, VkFormat storage, ID3D11Texture2D** out);
    ~Texture2D() override;
    void RecordPendingClear(VkCommandBuffer cmd);
    // The staging buffer's or the image's memory and first contents (the data, or zeros).
    platform::VkStatus FillStaging(const D3D11_SUBRESOURCE_DATA* initial);
    platform::VkStatus FillImage(const D3D11_SUBRESOURCE_DATA* initial);

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
    Hazard hazard_;
    ImageLender* lender_ = nullptr;
    bool clearPending_ = false;
    VkClearColorValue clearColor_ = {};
};

} // namespace platform::d3d11
