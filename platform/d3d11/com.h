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

// What ID3D11Buffer and ID3D11Texture2D share: the interfaces they answer for, their dimension and
// their description, as GetType and GetDesc report them.
template <class Interface, class Description, D3D11_RESOURCE_DIMENSION kDimension, const IID& kIid>
class Resource : public DeviceChild<Interface> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return this->Query(riid, ppvObject,
                           {&IID_IUnknown, &IID_ID3D11DeviceChild, &IID_ID3D11Resource, &kIid});
    }
    void STDMETHODCALLTYPE GetType(D3D11_RESOURCE_DIMENSION* pResourceDimension) override {
        *pResourceDimension = kDimension;
    }
    void STDMETHODCALLTYPE GetDesc(Description* pDesc) override { *pDesc = desc_; }

    const Description& Desc() const { return desc_; }

    static constexpr D3D11_RESOURCE_DIMENSION kResourceDimension = kDimension;

  protected:
    Resource(Device* device, const char* kind, const Description& desc)
        : DeviceChild<Interface>(device, kind), desc_(desc) {}

    Description desc_;
};

// What the views share: the interfaces they answer for, their description, and the reference each
// holds on its resource, `Viewed`.
template <class Interface, class Description, class Viewed, const IID& kIid>
class View : public DeviceChild<Interface> {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return this->Query(riid, ppvObject, {&IID_IUnknown, &IID_ID3D11DeviceChild, &IID_ID3D11View, &kIid});
    }
    void STDMETHODCALLTYPE GetResource(ID3D11Resource** ppResource) override {
        target_->AddRef();
        *ppResource = target_;
    }
    void STDMETHODCALLTYPE GetDesc(Description* pDesc) override { *pDesc = desc_; }

    Viewed* Target() const { return target_; }

  protected:
    View(Device* device, const char* kind, Viewed* target, const Description& desc)
        : DeviceChild<Interface>(device, kind), target_(target), desc_(desc) {
        target_->AddRef();
    }
    ~View() override { target_->Release(); }

    Viewed* target_;
    Description desc_;
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
