#include "command_line.h"

#include <d3dcompiler.h>

const char kUsage[] = "usage: fxview-compile /T target [/E entry] [/D name[=value]]... [/I folder]... "
                      "[/Zpr|/Zpc] [/Od|/O0|/O1|/O2|/O3] [/WX] [/Fo file.spv] [/nologo] file\n";

namespace {

// The options that stand alone, and the compile flags each sets within the bits of `mask`.
struct Switch {
    const char* name;
    UINT mask;
    UINT flags;
};

constexpr UINT kMatrix = D3DCOMPILE_PACK_MATRIX_ROW_MAJOR | D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR;
constexpr UINT kOptimization = D3DCOMPILE_SKIP_OPTIMIZATION | D3DCOMPILE_OPTIMIZATION_LEVEL3;

constexpr Switch kSwitches[] = {
    {"Zpr", kMatrix, D3DCOMPILE_PACK_MATRIX_ROW_MAJOR},
    {"Zpc", kMatrix, D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR},
    {"Od", kOptimization, D3DCOMPILE_SKIP_OPTIMIZATION},
    {"O0", kOptimization, D3DCOMPILE_OPTIMIZATION_LEVEL0},
    {"O1", kOptimization, D3DCOMPILE_OPTIMIZATION_LEVEL1},
    {"O2", kOptimization, D3DCOMPILE_OPTIMIZATION_LEVEL2},
    {"O3", kOptimization, D3DCOMPILE_OPTIMIZATION_LEVEL3},
    {"WX", D3DCOMPILE_WARNINGS_ARE_ERRORS, D3DCOMPILE_WARNINGS_ARE_ERRORS},
    {"nologo", 0, 0},
};

// The options that take a value; longer names first, so that /Fo is not read as /F with "o...".
constexpr const char* kValued[] = {"Fo", "T", "E", "D", "I"};

bool IsOption(const std::string& argument) {
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

void Store(const std::string& name, const std::string& value, CommandLine* line) {
    if (name == "T") {
        line->target = value;
    } else if (name == "E") {
        line->entry = value;
    } else if (name == "Fo") {
        line->output = value;
    } else if (name == "I") {
        line->includeDirectories.push_back(value);
    } else {
        // A macro without a value is 1, as the command line of Windows' compiler defines it.
        const size_t equals = value.find('=');
        if (equals == std::string::npos)
            line->defines.emplace_back(value, "1");
        else
            line->defines.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    }
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine* line, std::string* error) {
    if (arguments.empty()) {
        *error = "no input file";
        return false;
    }
    const size_t last = arguments.size() - 1;
    for (size_t i = 0; i < last; ++i) {
        const std::string& argument = arguments[i];
        if (!IsOption(argument)) {
            *error = "'" + argument + "': the input file comes last, after the options";
            return false;
        }
        const std::string option = argument.substr(1);
        const Switch* matched = nullptr;
        for (const Switch& s : kSwitches)
            if (option == s.name)
                matched = &s;
        if (matched) {
            line->flags = (line->flags & ~matched->mask) | matched->flags;
            continue;
        }
        const char* valued = nullptr;
        for (const char* name : kValued)
            if (!valued && option.compare(0, std::char_traits<char>::length(name), name) == 0)
                valued = name;
        if (!valued) {
            *error = "unknown option '" + argument + "'";
            return false;
        }
        std::string value = option.substr(std::char_traits<char>::length(valued));
        if (value.empty()) {
            if (i + 1 == last) {
                *error = "option '" + argument + "' needs a value";
                return false;
            }
            value = arguments[++i];
        }
        if (value.empty() || (valued[0] == 'D' && value[0] == '=')) {
            *error = "option '" + argument + "' needs a value";
            return false;
        }
        Store(valued, value, line);
    }
    line->file = arguments[last];
    if (line->target.empty()) {
        *error = "no target: name one with /T (cs_5_0, ps_5_0...)";
        return false;
    }
    return true;
}
