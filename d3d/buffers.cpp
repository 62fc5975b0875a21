#include "d3d.h"

#include "error_report.h"

#include <cstdio>

HRESULT D3DCreateBuffer(ID3D11Buffer** buffer, UINT bindFlags, UINT byteWidth,
                        const D3D11_SUBRESOURCE_DATA* initialData, UINT usage, UINT cpuAccessFlags,
                        UINT miscFlags, UINT structureByteStride) {
    printf("\n==CreateBuffer==\n");
    printf("  ByteWidth           = %d\n", (int)byteWidth);
    printf("  D3D11_USAGE_DEFAULT = %d\n", (int)usage);
    printf("  BindFlags           = %d\n", (int)bindFlags);
    printf("  AccessFlag          = %d\n", (int)cpuAccessFlags);
    printf("  MiscFlags           = %d\n", (int)miscFlags);
    printf("  StructureByteStride = %d\n", (int)structureByteStride);

    D3D11_BUFFER_DESC desc;
    desc.ByteWidth = byteWidth;
    desc.Usage = (D3D11_USAGE)usage;
    desc.BindFlags = bindFlags;
    desc.CPUAccessFlags = cpuAccessFlags;
    desc.MiscFlags = miscFlags;
    desc.StructureByteStride = structureByteStride;
    return d3ddevice->CreateBuffer(&desc, initialData, buffer);
}

HRESULT D3DCreateBufferUAV(ID3D11Buffer** buffer, ID3D11UnorderedAccessView** view, UINT byteWidth,
                           UINT structureByteStride) {
    HRESULT hr =
        D3DCreateBuffer(buffer, D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS, byteWidth, NULL,
                        D3D11_USAGE_DEFAULT, 0, D3D11_RESOURCE_MISC_BUFFER_STRUCTURED, structureByteStride);
    if (hr != 0) {
        ErrorReport("d3d", hr, "D3DCreateBuffer");
        return hr;
    }
    // The element count divides by the stride: a stride of 0 is refused rather than divided by.
    if (structureByteStride == 0) {
        hr = E_INVALIDARG;
        ErrorReport("d3d", hr, "D3DCreateBufferUAV CS");
        return hr;
    }
    D3D11_UNORDERED_ACCESS_VIEW_DESC desc;
    desc.Format = DXGI_FORMAT_UNKNOWN;
    desc.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    desc.Buffer.FirstElement = 0;
    desc.Buffer.NumElements = byteWidth / structureByteStride;
    desc.Buffer.Flags = 0;
    hr = d3ddevice->CreateUnorderedAccessView(*buffer, &desc, view);
    if (hr != 0) {
        ErrorReport("d3d", hr, "D3DCreateBufferUAV CS");
        return hr;
    }
    return 0;
}
