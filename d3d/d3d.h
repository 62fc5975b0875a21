// The graphics device layer: the process-wide Direct3D slots, the buffer factory, and device start-up
// and shutdown. Each slot owns one reference; releasing a slot means Release and null. Drawing and
// the pixel stage live with the present pass; compiling lives in shader_compile.h.
#pragma once

#include <windows.h>
#include <d3d11.h>

extern ID3D11Device* d3ddevice;
extern ID3D11DeviceContext* d3dcontext;
extern IDXGISwapChain* d3dswapchain;
extern ID3D11Texture2D* pBackBuffer;
extern ID3D11RenderTargetView* pRenderTargetView;
extern ID3D11VertexShader* pVertexShader;
extern ID3D11PixelShader* pPixelShader;
extern ID3D11Buffer* pConstant;
extern ID3D11InputLayout* pInputLayout;
extern ID3D11Buffer* pVertexScreen;

// Release and null: what every slot gets when it is emptied.
template <class T> void ReleaseSlot(T*& slot) {
    if (slot)
        slot->Release();
    slot = NULL;
}

// Prints the description, then creates the buffer into *buffer. The caller reports a failure.
HRESULT D3DCreateBuffer(ID3D11Buffer** buffer, UINT bindFlags, UINT byteWidth,
                        const D3D11_SUBRESOURCE_DATA* initialData, UINT usage, UINT cpuAccessFlags,
                        UINT miscFlags, UINT structureByteStride);

// A structured buffer of byteWidth bytes and an unordered-access view over all of it. A failing view
// leaves the buffer in *buffer.
HRESULT D3DCreateBufferUAV(ID3D11Buffer** buffer, ID3D11UnorderedAccessView** view, UINT byteWidth,
                           UINT structureByteStride);

// Device, swap chain, render target, viewport, vertex stage and quad; stops at the first failure,
// leaving what was made in its slot. width and height are not used: the sizes are fixed.
HRESULT D3DInit(HWND hwnd, int width, int height, const char* shaderPath);

// Releases every slot of this layer, in order; empty slots are skipped. Always returns 0.
HRESULT D3DRelease();
