// ID3DBlob: a reference-counted byte buffer, the only way code and messages leave the compiler.
#include "hooks.h"
#include "ref_counted.h"

#include <d3dcompiler.h>

#include <exception>
#include <vector>

namespace {

class Blob final : public platform::RefCounted<ID3D10Blob> {
  public:
    explicit Blob(size_t size) : bytes_(size) { platform::CountLive("ID3D10Blob", +1); }
    ~Blob() override { platform::CountLive("ID3D10Blob", -1); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Query(riid, ppvObject, {&IID_IUnknown, &IID_ID3D10Blob});
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
