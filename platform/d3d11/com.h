// What every object the device makes shares, besides the COM base (ref_counted.h): a private
// reference on the device and a live-object count under its interface's name. No private data.
#pragma once

#include "device.h"
#include "hooks.h"
#include "ref_counted.h"

namespace platform::d3d11 {

template <class Interface> class DeviceChild : public platform::RefCounted<Interface> {
  public:
    void STDMETHODCALLTYPE GetDevice(ID3D11Device** ppDevice) override {
        device_->AddRef();
        *ppDevice = device_;
    }

    Device* Owner() const { return device_; }

  protected:
    DeviceChild(Device* device, const char* kind) : device_(device), kind_(kind) {
        device_->AddPrivateRef();
        platform::CountLive(kind_, +1);
    }
    ~DeviceChild() override {
        platform::CountLive(kind_, -1);
        device_->ReleasePrivateRef();
    }

    Device* device_;
    const char* kind_;
};

// Release-and-null for the references one object holds on another.
template <class T> void ReleaseRef(T*& slot) {
    if (slot)
        slot->Release();
    slot = nullptr;
}

// Replaces a held reference, taking the new one before dropping the old.
template <class T> void HoldRef(T*& slot, T* value) {
    if (value)
        value->AddRef();
    if (slot)
        slot->Release();
    slot = value;
}

} // namespace platform::d3d11
