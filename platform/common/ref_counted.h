// The COM base of every object the layer hands out: an atomic reference count (one reference at
// creation, deleted at the last Release) and QueryInterface over the interfaces the object's one
// vtable implements. No aggregation, no tear-offs, no second count.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace platform {

template <class Interface> class RefCounted : public Interface {
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    virtual ~RefCounted() = default;

    // Answers for the interfaces in `iids`, each a base of Interface.
    HRESULT Query(REFIID riid, void** out, std::initializer_list<const IID*> iids) {
        if (!out)
            return E_POINTER;
        for (const IID* iid : iids) {
            if (riid == *iid) {
                AddRef();
                *out = static_cast<Interface*>(this);
                return S_OK;
            }
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

  private:
    std::atomic<ULONG> refs_{1};
};

} // namespace platform
