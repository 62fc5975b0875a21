// What Direct3D 11's debug layer says of a view bound where the shader declares another kind of
// resource (a structured buffer view where the shader declares RWBuffer<float>, or the reverse):
// one line on standard error per stage and slot, when FXVIEW_VALIDATION is set. It changes nothing
// of the call: the shader sees no resource in that slot, as the binding is left null.
#pragma once

#include "pipelines.h"
#include "views.h"

#include <bitset>

namespace platform::d3d11 {

class ViewKindCheck {
  public:
    // Compares each unordered-access register `code` declares with the view bound in `uavs` (null
    // for a stage without any); `call` is the Direct3D call that reads them.
    void Check(const char* call, const ShaderCode& code, UnorderedAccessView* const* uavs);

  private:
    std::bitset<kShaderStages * kUavSlots> said_;
};

} // namespace platform::d3d11
