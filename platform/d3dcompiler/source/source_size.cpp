#include "source_size.h"

namespace platform::d3dcompiler {

std::string TooLargeReason(uint64_t size) {
    return std::to_string((size + (1 << 20) - 1) >> 20) + " MiB, more than the " +
           std::to_string(kMaxSourceBytes >> 20) + " MiB a shader file may have";
}

} // namespace platform::d3dcompiler
