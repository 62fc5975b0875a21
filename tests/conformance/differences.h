// Where Wine's Direct3D 11 and HLSL compiler depart from Direct3D 11's documented behaviour, as the
// checks that meet them name them. Each says what Wine does and why the checks keep Direct3D 11's way.
#pragma once

#include "check.h"

namespace conformance {

extern const Difference kWineConstantBuffers;
extern const Difference kWineDefaultTextureCpuAccess;
extern const Difference kWineDiscardStaging;
extern const Difference kWineNullArguments;
extern const Difference kWineStructuredBuffers;
extern const Difference kWineValidationOnly;
extern const Difference kWineNoPixelStage;
extern const Difference kWineNotAWindow;

} // namespace conformance
