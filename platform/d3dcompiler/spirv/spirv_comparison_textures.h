// A texture read both plainly and through a comparison sampler (`SampleCmp`) is one register on
// Windows; glslang makes a second variable of it, a depth image of the same name, and gives that one
// the register's number without its class's place among the bindings. The second variable takes the
// first one's binding, so that both read the one texture bound there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Rewrites `spirv` in place; false, with a message, when it is not a whole module.
bool BindComparisonTextures(std::vector<uint32_t>* spirv, std::string* error);

} // namespace platform::d3dcompiler
