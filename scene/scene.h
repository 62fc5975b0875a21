// The compute scene: the reloadable compute stage with its structured buffer, the constant block
// that every stage sees with the shader clock in it, and the work of one frame.
#pragma once

#include <windows.h>
#include <d3d11.h>

// 848 bytes, 53 shader constant registers: the clock first, the rest always zero.
struct SceneConstantBlock {
    float time;
    float zero[211];
};
static_assert(sizeof(SceneConstantBlock) == 848, "the constant block is 848 bytes");

extern SceneConstantBlock SceneConstants;

extern ID3D11ComputeShader* pComputeShader;
extern ID3D11Buffer* pComputeBuffer;
extern ID3D11UnorderedAccessView* pComputeUAV;

// Rebuilds the pixel stage, the compute stage and their buffers from "main.fx".
void SceneLoad();
// Releases the scene's objects; the constant buffer is left to D3DRelease.
void SceneRelease();

// Advances SceneConstants.time by the tick's step since the previous frame step.
void UpdateTime();
// Uploads the constants, dispatches 40 x 22 x 1 groups, and draws and presents the result.
void SceneFrame();
