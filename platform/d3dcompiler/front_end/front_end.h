// The third-party part of D3DCompile2, run on the user's source in an isolated child process (of the
// compile server, or of the program when there is none): glslang's preprocessor, parser, linker and
// SPIR-V generator, then the SPIR-V stage (spirv/spirv_stage.h), which legalises, optimises and
// validates what glslang made. It judges none of the results: attributes, the entry point,
// reflection and the messages' wording are D3DCompile2's.
#pragma once

#include "isolation.h"
#include "shader_blob.h"
#include "spirv_stage.h"

#include <string>
#include <utility>
#include <vector>

namespace platform::d3dcompiler {

// Everything the front end needs, in a form that can travel to the compile server.
struct FrontEndJob {
    std::string source;
    std::string name;
    std::string entry;
    ShaderStage stage = ShaderStage::Compute;
    bool optimize = false;
    std::vector<std::pair<std::string, std::string>> macros; // name, value
    bool standardIncludes = false;
    // Where the standard includes look last, after the including file's folder and the directory.
    std::vector<std::string> includeDirectories;
    // The caller's working directory, where includes are looked up; empty: the child's own.
    std::string directory;
};

struct FrontEndResult {
    // How the child ended. `finished` is set only when it sent everything, all of it readable, and
    // exited with status 0.
    ChildEnd end = ChildEnd::NotStarted;
    int exitStatus = 0;
    int signal = 0;
    std::string failure;
    bool finished = false;

    // Glslang's steps. Their messages are already ours ("name:line: error: ..."), one a line.
    bool preprocessed = false;
    std::string preprocessMessages;
    std::string preprocessedText; // only when the preprocessor succeeded
    bool compiled = false;        // parsed, linked and made into SPIR-V
    bool entryFound = true;
    std::string compileMessages;

    // The SPIR-V stage, run only on what glslang compiled: the module, or why there is none.
    bool flawed = false; // glslang's module was not valid before legalisation
    SpirvStageFailure flaw;
    bool spirvMade = false;
    SpirvStageFailure spirvFailure;
    std::vector<uint32_t> spirv;
};

// Preprocesses the source and, when that succeeds, compiles it, in a child process killed after
// `limitMs`. The compile does not start when preprocessing fails.
FrontEndResult RunFrontEnd(const FrontEndJob& job, int limitMs);

// The child process of one job, forked from this process: what RunFrontEnd does without a compile
// server, and what the server does for each request. `callerFd` is as RunIsolated's.
IsolatedRun RunFrontEndChild(const FrontEndJob& job, int limitMs, int callerFd);

} // namespace platform::d3dcompiler
