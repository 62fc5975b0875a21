// ID3D11Buffer: one VkBuffer each, device-local for default and immutable usage, host-visible and
// mapped for staging. New buffers read as zeros, as on Windows. A large device-local buffer released
// is kept for the next buffer of its size and usage (see SpareBuffer). No dynamic usage: the program
// never maps a buffer it draws with.
#pragma once

#include "barriers.h"
#include "com.h"
#include "memory.h"

namespace platform::d3d11 {

class Buffer final
    : public Resource<ID3D11Buffer, D3D11_BUFFER_DESC, D3D11_RESOURCE_DIMENSION_BUFFER, IID_ID3D11Buffer> {
  public:
    static HRESULT Create(Device* device, const D3D11_BUFFER_DESC* desc,
                          const D3D11_SUBRESOURCE_DATA* initial, ID3D11Buffer** out);

    VkBuffer Handle() const { return memory_.buffer; }
    void* Mapped() const { return memory_.mapped; }
    Hazard hazard;

  private:
    Buffer(Device* device, const D3D11_BUFFER_DESC& desc);
    ~Buffer() override;

    BufferMemory memory_;
    VkDeviceSize size_ = 0;
    VkBufferUsageFlags usage_ = 0;
};

} // namespace platform::d3d11
