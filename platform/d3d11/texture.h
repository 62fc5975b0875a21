// ID3D11Texture2D: one mip level, one layer, one sample. Default usage is a VkImage that starts
// zeroed; staging usage is a host-visible buffer of tightly packed rows, which is all that copying
// and mapping need. No compressed or depth formats.
#pragma once

#include "barriers.h"
#include "com.h"
#include "memory.h"

namespace d3d11 {

class Texture2D final : public DeviceChild<ID3D11Texture2D> {
  public:
    static HRESULT Create(Device* device, const D3D11_TEXTURE2D_DESC* desc,
                          const D3D11_SUBRESOURCE_DATA* initial, ID3D11Texture2D** out);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override;
    void STDMETHODCALLTYPE GetDesc(D3D11_TEXTURE2D_DESC* pDesc) override;

    const D3D11_TEXTURE2D_DESC& Desc() const { return desc_; }
    bool Staging() const { return desc_.Usage == D3D11_USAGE_STAGING; }
    VkImage Image() const { return image_.image; }
    VkBuffer StagingBuffer() const { return staging_.buffer; }
    void* Mapped() const { return staging_.mapped; }
    UINT RowPitch() const { return rowPitch_; }
    VkFormat Format() const { return format_; }
    Hazard hazard;

  private:
    Texture2D(Device* device, const D3D11_TEXTURE2D_DESC& desc);
    ~Texture2D() override;

    D3D11_TEXTURE2D_DESC desc_;
    VkFormat format_;
    UINT rowPitch_;
    ImageMemory image_;
    BufferMemory staging_;
};

} // namespace d3d11
