#include "present.h"

#include "d3d.h"
#include "error_report.h"
#include "shader_compile.h"

HRESULT D3DLoadPixelShader(const char* shaderPath) {
    ID3DBlob* code = NULL;
    HRESULT hr = D3DCompileShaderFromFile(shaderPath, "ps_main", "ps_5_0", &code);
    if (hr != 0) {
        ErrorReport("d3d", hr, "CompileShaderFromFile PS");
        return hr;
    }
    hr = d3ddevice->CreatePixelShader(code->GetBufferPointer(), code->GetBufferSize(), NULL, &pPixelShader);
    code->Release();
    if (hr != 0) {
        ErrorReport("d3d", hr, "CreatePixelShader");
        return hr;
    }
    return 0;
}

void D3DReleasePixelShader() {
    ReleaseSlot(pPixelShader);
}

HRESULT D3DRender(int sync) {
    static const FLOAT clearColor[4] = {0.0f, 0.125f, 0.3f, 1.0f};
    UINT stride = 12;
    UINT offset = 0;
    d3dcontext->IASetIndexBuffer(NULL, DXGI_FORMAT_UNKNOWN, 0);
    d3dcontext->IASetVertexBuffers(0, 1, &pVertexScreen, &stride, &offset);
    d3dcontext->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
    d3dcontext->IASetInputLayout(pInputLayout);
    d3dcontext->ClearRenderTargetView(pRenderTargetView, clearColor);
    d3dcontext->VSSetShader(pVertexShader, NULL, 0);
    d3dcontext->GSSetShader(NULL, NULL, 0);
    d3dcontext->PSSetShader(pPixelShader, NULL, 0);
    d3dcontext->VSSetConstantBuffers(0, 1, &pConstant);
    d3dcontext->GSSetConstantBuffers(0, 1, &pConstant);
    d3dcontext->PSSetConstantBuffers(0, 1, &pConstant);
    d3dcontext->Draw(4, 0);
    return d3dswapchain->Present(sync ? 1 : 0, 0);
}
