#include "d3d.h"

#include "error_report.h"
#include "shader_compile.h"

ID3D11Device* d3ddevice = NULL;
ID3D11DeviceContext* d3dcontext = NULL;
IDXGISwapChain* d3dswapchain = NULL;
ID3D11Texture2D* pBackBuffer = NULL;
ID3D11RenderTargetView* pRenderTargetView = NULL;
ID3D11VertexShader* pVertexShader = NULL;
ID3D11PixelShader* pPixelShader = NULL;
ID3D11Buffer* pConstant = NULL;
ID3D11InputLayout* pInputLayout = NULL;
ID3D11Buffer* pVertexScreen = NULL;

namespace {

// The full-screen quad as a triangle strip, already in clip space.
const float quadVertices[12] = {-1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, -1.0f, 1.0f};

} // namespace

HRESULT D3DInit(HWND hwnd, int width, int height, const char* shaderPath) {
    (void)width;
    (void)height;

    DXGI_SWAP_CHAIN_DESC desc;
    desc.BufferDesc.Width = 1280;
    desc.BufferDesc.Height = 720;
    desc.BufferDesc.RefreshRate.Numerator = 60;
    desc.BufferDesc.RefreshRate.Denominator = 1;
    desc.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.BufferDesc.ScanlineOrdering = DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED;
    desc.BufferDesc.Scaling = DXGI_MODE_SCALING_UNSPECIFIED;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 1;
    desc.OutputWindow = hwnd;
    desc.Windowed = TRUE;
    desc.SwapEffect = DXGI_SWAP_EFFECT_DISCARD;
    desc.Flags = DXGI_SWAP_CHAIN_FLAG_ALLOW_MODE_SWITCH;

    HRESULT hr =
        D3D11CreateDeviceAndSwapChain(NULL, D3D_DRIVER_TYPE_HARDWARE, NULL, 0, NULL, 0, D3D11_SDK_VERSION,
                                      &desc, &d3dswapchain, &d3ddevice, NULL, &d3dcontext);
    if (hr != 0) {
        ErrorReport("d3d", hr, "D3D11CreateDeviceAndSwapChain");
        return hr;
    }

    hr = d3dswapchain->GetBuffer(0, IID_ID3D11Texture2D, (void**)&pBackBuffer);
    if (hr != 0) {
        ErrorReport("d3d", hr, "d3dswapchain GetBuffer");
        return hr;
    }

    hr = d3ddevice->CreateRenderTargetView(pBackBuffer, NULL, &pRenderTargetView);
    if (hr != 0) {
        ErrorReport("d3d", hr, "CreateRenderTargetView Back Buffer");
        return hr;
    }

    D3D11_VIEWPORT viewport;
    viewport.TopLeftX = 0.0f;
    viewport.TopLeftY = 0.0f;
    viewport.Width = 1280.0f;
    viewport.Height = 720.0f;
    viewport.MinDepth = 0.0f;
    viewport.MaxDepth = 1.0f;
    d3dcontext->RSSetViewports(1, &viewport);

    ID3DBlob* code = NULL;
    hr = D3DCompileShaderFromFile(shaderPath, "vs_main", "vs_5_0", &code);
    if (hr != 0) {
        ErrorReport("d3d", hr, "CompileShaderFromFile VS");
        return hr;
    }

    hr = d3ddevice->CreateVertexShader(code->GetBufferPointer(), code->GetBufferSize(), NULL, &pVertexShader);
    if (hr != 0) {
        code->Release();
        ErrorReport("d3d", hr, "CreateVertexShader");
        return hr;
    }

    D3D11_INPUT_ELEMENT_DESC element;
    element.SemanticName = "POSITION";
    element.SemanticIndex = 0;
    element.Format = DXGI_FORMAT_R32G32B32_FLOAT;
    element.InputSlot = 0;
    element.AlignedByteOffset = 0;
    element.InputSlotClass = D3D11_INPUT_PER_VERTEX_DATA;
    element.InstanceDataStepRate = 0;
    hr = d3ddevice->CreateInputLayout(&element, 1, code->GetBufferPointer(), code->GetBufferSize(),
                                      &pInputLayout);
    if (hr != 0) {
        code->Release();
        ErrorReport("d3d", hr, "CreateInputLayout");
        return hr;
    }
    code->Release();

    D3D11_SUBRESOURCE_DATA init;
    init.pSysMem = quadVertices;
    init.SysMemPitch = 0;
    init.SysMemSlicePitch = 0;
    hr = D3DCreateBuffer(&pVertexScreen, D3D11_BIND_VERTEX_BUFFER, 48, &init, 0, 0, 0, 0);
    if (hr != 0) {
        ErrorReport("d3d", hr, "D3DXCreateBuffer : pVertexScreen");
        return hr;
    }
    return 0;
}

HRESULT D3DRelease() {
    ReleaseSlot(pPixelShader);
    ReleaseSlot(pVertexShader);
    ReleaseSlot(pConstant);
    ReleaseSlot(pInputLayout);
    ReleaseSlot(pVertexScreen);
    ReleaseSlot(pRenderTargetView);
    ReleaseSlot(pBackBuffer);
    // A swap chain is released windowed, as DXGI requires; the program itself never leaves windowed mode.
    if (d3dswapchain)
        d3dswapchain->SetFullscreenState(FALSE, NULL);
    ReleaseSlot(d3dswapchain);
    ReleaseSlot(d3dcontext);
    ReleaseSlot(d3ddevice);
    return 0;
}
