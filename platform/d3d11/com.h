// What every object the device makes shares: an atomic reference count, a private reference on the
// device, a live-object count under its interface's name, and QueryInterface over its own IIDs.
// No aggregation and no private data.
#pragma once

#include "device.h"
#include "hooks.h"
#include "ref_counted.h"

#include <initializer_list>

namespace d3d11 {

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

    // Answers for the interfaces in `iids`, all of which this object's one vtable implements.
    HRESULT Query(REFIID riid, void** out, std::initializer_list<const IID*> iids) {
        if (!out)
            return E_POINTER;
        for (const IID* iid : iids) {
            if (riid == *iid) {
                this->AddRef();
                *out = static_cast<Interface*>(this);
                return S_OK;
            }
        }
        *out = nullptr;
        return E_NOINTERFACE;
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

} // namespace d3d11
