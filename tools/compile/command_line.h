// The options of Windows' command-line HLSL compiler that fxview-compile takes, in either spelling
// (/T or -T), with the value attached or as the next argument; the input file comes last.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct CommandLine {
    std::string target;
    std::string entry = "main";
    std::vector<std::pair<std::string, std::string>> defines; // name, value
    std::vector<std::string> includeDirectories;
    std::string output; // where the SPIR-V module goes; empty: nowhere
    std::string file;
    UINT flags = 0; // optimisation level 1, as Windows' compiler has it without an /O option
};

extern const char kUsage[];

// False, with what is wrong, for an unknown option, an option without its value, no target or no file.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line, std::string* error);
