// The program's console as tests see it: standard output captured around a call, and the exact
// error lines the program prints, with the line numbers read from its sources.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "text.h"
#include <unistd.h>

// Standard output of `body`, captured through a temporary file.
template <class Body> std::string CapturedStdout(Body body) {
    std::fflush(stdout);
    FILE* capture = std::tmpfile();
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::rewind(capture);
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, capture)) > 0)
        text.append(chunk, n);
    std::fclose(capture);
    return text;
}

inline std::string ProjectFile(const std::string& relative) {
    const char* dir = std::getenv("FXVIEW_SOURCE_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line of `file` (relative to the project) that reports `label`: the error line carries it.
inline int ReportLine(const std::string& file, const std::string& label) {
    std::istringstream source(ProjectFile(file));
    std::string line;
    int found = 0;
    for (int number = 1; std::getline(source, line); ++number) {
        if (line.find("ErrorReport(") != std::string::npos &&
            line.find('"' + label + '"') != std::string::npos)
            found = number;
    }
    EXPECT_NE(found, 0) << "no report of " << label << " in " << file;
    return found;
}

// "ERROR : <unit> : <line> 0x<hr> : <label>\n", as `file` prints it.
inline std::string ErrorLine(const char* unit, const std::string& file, HRESULT hr,
                             const std::string& label) {
    char text[256];
    std::snprintf(text, sizeof text, "ERROR : %s : %d 0x%08X : %s\n", unit, ReportLine(file, label),
                  unsigned(hr), label.c_str());
    return text;
}

// The dump every buffer creation prints first.
inline std::string BufferDump(int byteWidth, int bindFlags, int miscFlags, int stride) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "\n==CreateBuffer==\n"
                  "  ByteWidth           = %d\n"
                  "  D3D11_USAGE_DEFAULT = 0\n"
                  "  BindFlags           = %d\n"
                  "  AccessFlag          = 0\n"
                  "  MiscFlags           = %d\n"
                  "  StructureByteStride = %d\n",
                  byteWidth, bindFlags, miscFlags, stride);
    return text;
}
