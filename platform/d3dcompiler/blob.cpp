// ID3DBlob: a reference-counted byte buffer, the only way code and messages leave the compiler.
#include "hooks.h"
#include "ref_counted.h"

#include <d3dcompiler.h>

#include <exception>
#include <vector>

const IID IID_ID3D10Blob = {0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace {

class Blob final : public platform::RefCounted<ID3D10Blob> {
  public:
    explicit Blob(size_t size) : bytes_(size) { platform::CountLive("ID3D10Blob", +1); }
    ~Blob() override { platform::CountLive("ID3D10Blob", -1); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3D10Blob) {
            AddRef();
            *ppvObject = static_cast<ID3D10Blob*>(this);
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return bytes_.size(); }

  private:
    std::vector<unsigned char> bytes_;
};

} // namespace

extern "C" HRESULT WINAPI D3DCreateBlob(SIZE_T data_size, ID3DBlob** blob) {
    if (!blob)
        return E_INVALIDARG;
    *blob = nullptr;
    HRESULT injected;
    if (platform::TakeInjectedFailure("D3DCreateBlob", &injected))
        return injected;
    try {
        *blob = new Blob(data_size);
    } catch (const std::exception&) {
        platform::LogFailure("D3DCreateBlob", "out of memory");
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
