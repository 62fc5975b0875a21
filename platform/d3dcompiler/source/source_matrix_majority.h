// Matrix majority as Windows' compiler gives it, where glslang loses it: a typedef's `row_major` or
// `column_major` (`typedef row_major float4x4 RowMatrix;`), which glslang drops, and the majority of
// `#pragma pack_matrix` where a matrix is declared, which glslang applies where a structure is used
// in a buffer instead. Each declaration of a matrix gets its majority written out. Insertions stay on
// their line, so that line numbers hold.
#pragma once

#include <string>

namespace platform::d3dcompiler {

void WriteOutMatrixMajority(std::string* text);

} // namespace platform::d3dcompiler
