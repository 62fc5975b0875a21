// The program's console as tests see it: standard output captured around a call, and the exact
// error lines the program prints.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "text.h"

// Standard output of `body`.
template <class Body> std::string CapturedStdout(Body body) {
    ::testing::internal::CaptureStdout();
    body();
    return ::testing::internal::GetCapturedStdout();
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
