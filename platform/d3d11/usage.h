// The rules Direct3D 11 sets on a resource's usage and CPU access, the same for buffers and textures:
// default usage without CPU access, immutable usage with initial data and no CPU access, staging
// usage with read or write access and no bind flags. Dynamic usage is refused: this layer has none.
#pragma once

#include <d3d11.h>

namespace platform::d3d11 {

// S_OK or the refusal for a description of `call` ("CreateBuffer"...); `immutableBinds` are the
// bind flags an immutable resource of that kind may have.
HRESULT ValidateUsage(const char* call, D3D11_USAGE usage, UINT cpuAccess, UINT bindFlags, bool initial,
                      UINT immutableBinds);

} // namespace platform::d3d11
