#include "scene.h"

#include "d3d.h"
#include "error_report.h"
#include "present.h"
#include "shader_compile.h"

#include <stdio.h>

ID3D11ComputeShader* pComputeShader = NULL;
ID3D11Buffer* pComputeBuffer = NULL;
ID3D11UnorderedAccessView* pComputeUAV = NULL;

void SceneLoad() {
    D3DReleasePixelShader();
    ReleaseSlot(pComputeShader);
    ReleaseSlot(pComputeBuffer);
    ReleaseSlot(pComputeUAV);

    // A pixel stage that fails has reported itself; the compute stage is still rebuilt.
    D3DLoadPixelShader("main.fx");

    ID3DBlob* code = NULL;
    HRESULT hr = D3DCompileShaderFromFile("main.fx", "cs_main", "cs_5_0", &code);
    if (hr != 0) {
        ErrorReport("scene", hr, "CompileShaderFromFile CS");
        return;
    }
    hr = d3ddevice->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), NULL,
                                        &pComputeShader);
    code->Release();
    if (hr != 0) {
        ErrorReport("scene", hr, "CreateComputeShader");
        return;
    }

    // One 16-byte cell per pixel of the 1280 x 720 screen.
    hr = D3DCreateBufferUAV(&pComputeBuffer, &pComputeUAV, 14745600, 16);
    if (hr != 0) {
        ErrorReport("scene", hr, "D3DCreateBufferUAV CS");
        return;
    }
    printf("Loaded.\n");

    ReleaseSlot(pConstant);
    hr =
        D3DCreateBuffer(&pConstant, D3D11_BIND_CONSTANT_BUFFER, sizeof(SceneConstantBlock), NULL, 0, 0, 0, 0);
    if (hr != 0) {
        ErrorReport("scene", hr, "D3DCreateBuffer:pConstant");
        return;
    }
}

void SceneRelease() {
    D3DReleasePixelShader();
    ReleaseSlot(pComputeShader);
    ReleaseSlot(pComputeBuffer);
    ReleaseSlot(pComputeUAV);
}
