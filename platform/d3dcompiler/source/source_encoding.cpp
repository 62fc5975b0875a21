#include "source_encoding.h"

namespace platform::d3dcompiler {

const char* Utf16Encoding(const char* data, size_t size) {
    if (!data || size < 2)
        return nullptr;
    const auto byte = [data](size_t i) { return static_cast<unsigned char>(data[i]); };
    if (byte(0) == 0xFF && byte(1) == 0xFE)
        return "UTF-16LE";
    if (byte(0) == 0xFE && byte(1) == 0xFF)
        return "UTF-16BE";
    // Without a mark: ASCII text in UTF-16 has a zero byte in every other place.
    if (size >= 4 && byte(0) != 0 && byte(1) == 0 && byte(2) != 0 && byte(3) == 0)
        return "UTF-16LE";
    if (size >= 4 && byte(0) == 0 && byte(1) != 0 && byte(2) == 0 && byte(3) != 0)
        return "UTF-16BE";
    return nullptr;
}

} // namespace platform::d3dcompiler
