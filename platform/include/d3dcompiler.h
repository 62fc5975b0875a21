// The HLSL compiler entry points that fxview calls, implemented over glslang and SPIRV-Tools: D3DCompile2 compiles
// one entry point to SPIR-V plus the metadata the Direct3D 11 stand-in needs, D3DCreateBlob makes a
// blob. No effects, no reflection interfaces, no disassembly.
#pragma once

#include <d3dcommon.h>

// The Flags1 values of shader model 5; any other bit makes D3DCompile2 return E_INVALIDARG.
#define D3DCOMPILE_DEBUG 0x00000001
#define D3DCOMPILE_SKIP_VALIDATION 0x00000002
#define D3DCOMPILE_SKIP_OPTIMIZATION 0x00000004
#define D3DCOMPILE_PACK_MATRIX_ROW_MAJOR 0x00000008
#define D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR 0x00000010
#define D3DCOMPILE_PARTIAL_PRECISION 0x00000020
#define D3DCOMPILE_FORCE_VS_SOFTWARE_NO_OPT 0x00000040
#define D3DCOMPILE_FORCE_PS_SOFTWARE_NO_OPT 0x00000080
#define D3DCOMPILE_NO_PRESHADER 0x00000100
#define D3DCOMPILE_AVOID_FLOW_CONTROL 0x00000200
#define D3DCOMPILE_PREFER_FLOW_CONTROL 0x00000400
#define D3DCOMPILE_ENABLE_STRICTNESS 0x00000800
#define D3DCOMPILE_ENABLE_BACKWARDS_COMPATIBILITY 0x00001000
#define D3DCOMPILE_IEEE_STRICTNESS 0x00002000
#define D3DCOMPILE_OPTIMIZATION_LEVEL0 0x00004000
#define D3DCOMPILE_OPTIMIZATION_LEVEL1 0x00000000
#define D3DCOMPILE_OPTIMIZATION_LEVEL2 0x0000c000
#define D3DCOMPILE_OPTIMIZATION_LEVEL3 0x00008000
#define D3DCOMPILE_WARNINGS_ARE_ERRORS 0x00040000
#define D3DCOMPILE_RESOURCES_MAY_ALIAS 0x00080000
#define D3DCOMPILE_ENABLE_UNBOUNDED_DESCRIPTOR_TABLES 0x00100000
#define D3DCOMPILE_ALL_RESOURCES_BOUND 0x00200000
#define D3DCOMPILE_DEBUG_NAME_FOR_SOURCE 0x00400000
#define D3DCOMPILE_DEBUG_NAME_FOR_BINARY 0x00800000

#define D3D_COMPILE_STANDARD_FILE_INCLUDE ((ID3DInclude*)(UINT_PTR)1)

extern "C" {

HRESULT WINAPI D3DCompile2(const void* data, SIZE_T data_size, const char* filename,
                           const D3D_SHADER_MACRO* defines, ID3DInclude* include, const char* entrypoint,
                           const char* target, UINT sflags, UINT eflags, UINT secondary_flags,
                           const void* secondary_data, SIZE_T secondary_data_size, ID3DBlob** shader,
                           ID3DBlob** error_messages);

HRESULT WINAPI D3DCreateBlob(SIZE_T data_size, ID3DBlob** blob);
}
