// The pixel stage and the present pass: compiles and creates the pixel shader from the shader file,
// and draws the full-screen quad and presents. Binds no render target or viewport of its own.
#pragma once

#include <windows.h>

HRESULT D3DLoadPixelShader(const char* shaderPath);
void D3DReleasePixelShader();
// Draws the quad and presents with sync interval 1 when `sync` is set, else 0.
HRESULT D3DRender(int sync);
