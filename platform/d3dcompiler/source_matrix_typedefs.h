// Matrix majority given by a typedef (`typedef row_major float4x4 RowMatrix;`), which glslang drops:
// each declaration with the type's name gets the typedef's `row_major` or `column_major` again.
// Insertions stay on their line, so that line numbers hold.
#pragma once

#include <string>

namespace platform {

void ApplyMatrixTypedefs(std::string* text);

} // namespace platform
