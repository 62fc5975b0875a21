#include "scene.h"

#include "d3d.h"
#include "present.h"

#include <mmsystem.h>
#include <stdio.h>

SceneConstantBlock SceneConstants = {};

void UpdateTime() {
    static DWORD lastTick = timeGetTime();
    DWORD now = timeGetTime();
    // A running single-precision sum of unsigned steps: the tick's wrap adds its true small step.
    SceneConstants.time += (float)(DWORD)(now - lastTick) / 1000.0f;
    lastTick = now;
}

void SceneFrame() {
    d3dcontext->UpdateSubresource(pConstant, 0, NULL, &SceneConstants, 0, 0);
    d3dcontext->CSSetConstantBuffers(0, 1, &pConstant);
    d3dcontext->CSSetShader(pComputeShader, NULL, 0);
    d3dcontext->CSSetUnorderedAccessViews(0, 1, &pComputeUAV, NULL);
    printf("Dispatch X=%d,  y=%d\r", 40, 22);
    d3dcontext->Dispatch(40, 22, 1);

    // The pixel stage reads the same buffer at u1, beside render target 0.
    d3dcontext->OMSetRenderTargetsAndUnorderedAccessViews(1, &pRenderTargetView, NULL, 1, 1, &pComputeUAV,
                                                          NULL);
    D3DRender(0);
}
