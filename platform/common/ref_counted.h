// The atomic reference count of the layer's COM objects: one reference at creation, deleted at the
// last Release.
#pragma once

#include <unknwn.h>

#include <atomic>

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

  private:
    std::atomic<ULONG> refs_{1};
};

} // namespace platform
