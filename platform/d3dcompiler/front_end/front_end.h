// The third-party part of D3DCompile2, shaderc's preprocessor and compiler over glslang, run on the
// user's source in an isolated child process (of the compile server, or of the program when there is
// none), and what comes back from it. It judges none of the results: attributes, the entry point,
// reflection and the messages' wording are D3DCompile2's.
#pragma once

#include "isolation.h"

#include <shaderc/shaderc.hpp>

#include <string>
#include <utility>
#include <vector>

namespace platform {

// Everything the front end needs, in a form that can travel to the compile server.
struct FrontEndJob {
    std::string source;
    std::string name;
    std::string entry;
    shaderc_shader_kind kind = shaderc_glsl_compute_shader;
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

    shaderc_compilation_status preprocessStatus = shaderc_compilation_status_success;
    std::string preprocessMessages;
    std::string preprocessedText; // only when the preprocessor succeeded

    shaderc_compilation_status compileStatus = shaderc_compilation_status_success;
    size_t compileErrors = 0;
    std::string compileMessages;
    std::vector<uint32_t> spirv;
};

// Preprocesses the source and, when that succeeds, compiles it, in a child process killed after
// `limitMs`. The compile does not start when preprocessing fails.
FrontEndResult RunFrontEnd(const FrontEndJob& job, int limitMs);

// The child process of one job, forked from this process: what RunFrontEnd does without a compile
// server, and what the server does for each request. `callerFd` is as RunIsolated's.
IsolatedRun RunFrontEndChild(const FrontEndJob& job, int limitMs, int callerFd);

} // namespace platform
