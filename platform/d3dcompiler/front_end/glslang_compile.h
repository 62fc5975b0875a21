// Glslang's own steps on one job: the preprocessor, then the parser, the linker and the SPIR-V
// generator, with D3DCompile2's registers, macros, entry point and includes. Run in the isolated
// child; PrepareGlslang runs in the process that forks it.
#pragma once

#include "front_end.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::d3dcompiler {

// Sets up glslang for this process and builds its table of built-in functions for `stage`, once
// each: every child forked afterwards starts with them.
// False when glslang could not be set up.
bool PrepareGlslang(ShaderStage stage);

// The preprocessed text; false when the preprocessor failed. `messages` get our format either way.
bool Preprocess(const FrontEndJob& job, std::string* text, std::string* messages);

// The job parsed and linked by glslang, kept so that its SPIR-V can be made again with line marks.
class GlslangProgram {
  public:
    explicit GlslangProgram(const FrontEndJob& job);
    ~GlslangProgram();

    // Parses and links the job and makes SPIR-V of it; false when glslang refused the source.
    // `entryFound` is false when the source has no function of the entry point's name.
    bool Compile(std::vector<uint32_t>* spirv, std::string* messages, bool* entryFound);

    // The SPIR-V of what Compile linked; with `lines`, each instruction's source line is marked
    // (OpLine), which makes the module larger and legalisation twice as slow, so only a failure asks
    // for it. `said` gets glslang's own words, if any.
    std::vector<uint32_t> Spirv(bool lines, std::string* said = nullptr) const;

  private:
    struct Parts;
    const FrontEndJob& job_;
    std::unique_ptr<Parts> parts_;
};

} // namespace platform::d3dcompiler
