#include "usage.h"

#include "vk_result.h"

namespace platform::d3d11 {

HRESULT ValidateUsage(const char* call, D3D11_USAGE usage, UINT cpuAccess, UINT bindFlags, bool initial,
                      UINT immutableBinds) {
    switch (usage) {
    case D3D11_USAGE_DEFAULT:
        return cpuAccess ? E_INVALIDARG : S_OK;
    case D3D11_USAGE_IMMUTABLE:
        return cpuAccess || !initial || (bindFlags & ~immutableBinds) ? E_INVALIDARG : S_OK;
    case D3D11_USAGE_STAGING:
        return bindFlags || !cpuAccess || (cpuAccess & ~(D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE))
                   ? E_INVALIDARG
                   : S_OK;
    case D3D11_USAGE_DYNAMIC:
        return Refuse(call, "dynamic usage is not implemented by this layer", E_INVALIDARG);
    }
    return E_INVALIDARG;
}

} // namespace platform::d3d11
