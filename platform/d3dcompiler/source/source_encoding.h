// The encoding of a source that Windows' compiler does not read either: HLSL is read as ASCII or
// UTF-8 (a UTF-8 byte-order mark is skipped), and a UTF-16 file fails there with an illegal
// character. Here it fails with a message that names the encoding.
#pragma once

#include <cstddef>

namespace platform::d3dcompiler {

// "UTF-16LE" or "UTF-16BE" for a source in UTF-16, with or without a byte-order mark; null for any
// other.
const char* Utf16Encoding(const char* data, size_t size);

} // namespace platform::d3dcompiler
