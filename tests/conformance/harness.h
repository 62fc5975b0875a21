// What the cases share, through the Direct3D 11, DXGI, d3dcompiler and Win32 API alone: references
// released at scope end, a device, a window and its swap chain, shaders compiled at run time and
// read-backs through a staging copy and Map. Failures are reported as checks; nothing here skips a case.
#pragma once

#include "check.h"

#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>

#include <cstdint>
#include <string>
#include <vector>

namespace conformance {

// One COM reference, released at scope end.
template <class T> class Ref {
  public:
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Reset(); }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For a creation call: drops what was held first.
    T** out() {
        Reset();
        return &p_;
    }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    // Hands the reference to the caller, for a check of what Release returns.
    T* take() {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    void Reset() {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

  private:
    T* p_ = nullptr;
};

// A device and its immediate context. Declared before the objects made on it, it goes last: its
// context's reference and then its own must then be the last ones.
struct Device {
    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;
    ~Device();
    Ref<ID3D11Device> device;
    Ref<ID3D11DeviceContext> context;
};

// A hardware device at feature level 11_0, or a failed check and no device.
bool MakeDevice(Device* made);

// A shown top-level window with the given client size; destroyed at scope end.
class Window {
  public:
    Window(int width, int height);
    ~Window();
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_ = nullptr;
};

// The swap chain the program asks for on `window`: width x height RGBA8, one buffer, windowed.
DXGI_SWAP_CHAIN_DESC SwapChainDesc(HWND window, UINT width, UINT height);

// Handles the window messages that are waiting.
void PumpMessages();

// Compiles `entry` of `source` for `target`; empty, with a failed check naming the compiler's
// message, when it does not compile. `difference` names a compiler known to refuse it.
std::vector<uint8_t> Compile(const char* source, const char* entry, const char* target,
                             const Difference* difference = nullptr);

// A width x height RGBA8 texture of one level and one sample.
D3D11_TEXTURE2D_DESC TextureDesc(UINT width, UINT height, D3D11_USAGE usage, UINT bind, UINT cpu);

// A width x height RGBA8 texture that can be drawn into and copied, with its render-target view.
bool MakeTarget(const Device& d, UINT width, UINT height, Ref<ID3D11Texture2D>* texture,
                Ref<ID3D11RenderTargetView>* view);

// The bytes of a buffer, copied to a staging buffer and mapped; empty after a failed check.
std::vector<uint8_t> ReadBuffer(ID3D11Device* device, ID3D11DeviceContext* context, ID3D11Buffer* buffer);
inline std::vector<uint8_t> ReadBuffer(const Device& d, ID3D11Buffer* buffer) {
    return ReadBuffer(d.device.get(), d.context.get(), buffer);
}

// The RGBA8 texels of a 2D texture, copied to a staging texture and mapped, row after row.
std::vector<uint32_t> ReadTexture(ID3D11Device* device, ID3D11DeviceContext* context,
                                  ID3D11Texture2D* texture);
inline std::vector<uint32_t> ReadTexture(const Device& d, ID3D11Texture2D* texture) {
    return ReadTexture(d.device.get(), d.context.get(), texture);
}

inline uint32_t Rgba(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

} // namespace conformance
