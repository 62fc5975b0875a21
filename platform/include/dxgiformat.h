// DXGI_FORMAT: the pixel and vertex formats that the program and its tests name. Values are those
// of the Windows SDK; formats nobody uses are left out.
#pragma once

typedef enum DXGI_FORMAT {
    DXGI_FORMAT_UNKNOWN = 0,
    DXGI_FORMAT_R32G32B32A32_FLOAT = 2,
    DXGI_FORMAT_R32G32B32A32_UINT = 3,
    DXGI_FORMAT_R32G32B32_FLOAT = 6,
    DXGI_FORMAT_R32G32_FLOAT = 16,
    DXGI_FORMAT_R8G8B8A8_UNORM = 28,
    DXGI_FORMAT_R32_FLOAT = 41,
    DXGI_FORMAT_R32_UINT = 42,
    DXGI_FORMAT_R16_UINT = 57,
    DXGI_FORMAT_B8G8R8A8_UNORM = 87,
} DXGI_FORMAT;
