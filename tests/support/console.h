// The program's console as tests see it: standard output captured around a call, and the exact
// error lines the program prints.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
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

// "ERROR : <unit> : <line> 0x<hr> : <label>\n": the line is that of the report in its source file,
// written out by each test so that a report moved or mislabelled shows.
inline std::string ErrorLine(const char* unit, int line, HRESULT hr, const std::string& label) {
    char text[256];
    std::snprintf(text, sizeof text, "ERROR : %s : %d 0x%08X : %s\n", unit, line, unsigned(hr),
                  label.c_str());
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
