// Windows' warnings and refusals that glslang does not give: each with its line, warnings only for
// the code the entry point runs, D3DCOMPILE_WARNINGS_ARE_ERRORS failing on them, and the project's
// own shaders free of them.
#include "compiler_test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Result = fxtest::CompileResult;
using fxtest::Compile;
using fxtest::kProgramFlags;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const char kWarned[] =
    "RWStructuredBuffer<float4> o : register(u0); Texture2D t : register(t0);\n"
    "float3 Narrow(float4 a) { return a; }\n"
    "float Dot2(float2 a) { return a.x; } float3 Unused(float4 a) { float u; return a / 0 + u; }\n"
    "void Set(out float v, bool c) { if (c) v = 1; else v = 2; }\n"
    "[numthreads(1, 1, 1)]\n"
    "void cs_main(uint3 id : SV_DispatchThreadID) {\n"
    "    float3 v = float4(1, 2, 3, 4);\n"
    "    float sum;\n"
    "    for (uint i = 0; i < 4; ++i) sum += i;\n"
    "    float y = id.x / 0.0, z = id.y % 0;\n"
    "#if 0\n"
    "    float3 skipped = float4(1, 1, 1, 1) / 0;\n"
    "#endif\n"
    "    float s, c, out1, b;\n"
    "    sincos(y, s, c);\n"
    "    Set(out1, id.x > 1);\n"
    "    float m; if (id.x > 3) m = 1; if (id.x > 2) b = 1; else b = 0;\n"
    "    float4 w;\n"
    "    w.xyz = v; w.w = 1;\n"
    "    float3 loaded = t.Load(int3(id)) + Dot2(v); loaded += normalize(v - w);\n"
    "    o[id.x] = float4(Narrow(w) + s + c + out1 + b + v.xy.x, sum + y + z + m);\n"
    "}\n";

TEST(SourceChecksTest, WarningsNameTheirLineOnlyForTheEntryPointsCodeAndFailUnderWarningsAreErrors) {
    Result plain;
    Compile(&plain, kWarned, "cs_main", "cs_5_0");
    ASSERT_EQ(plain.hr, S_OK) << plain.messages;
    for (const char* want : {"<source>:2: warning: implicit truncation of vector type",
                             "<source>:7: warning: implicit truncation of vector type",
                             "<source>:9: warning: use of potentially uninitialized variable 'sum'",
                             "<source>:10: warning: division by zero",
                             "<source>:20: warning: implicit truncation of vector type: 4 components into 3",
                             "<source>:20: warning: implicit truncation of vector type: 3 components into 2",
                             "<source>:20: warning: implicit truncation of vector type: 4 components into 3\n"
                             "<source>:20: warning: implicit truncation of vector type: 3 components into 2\n"
                             "<source>:20: warning: implicit truncation of vector type: 4 components into 3",
                             "<source>:21: warning: use of potentially uninitialized variable 'm'"})
        EXPECT_NE(plain.messages.find(want), std::string::npos) << want << " in " << plain.messages;
    // The unused function, the skipped block, out arguments, an `if` and `else` that both assign and
    // a vector assigned in parts say nothing.
    EXPECT_EQ(Count(plain.messages, ": warning: "), 8u) << plain.messages;

    Result strict;
    Compile(&strict, kWarned, "cs_main", "cs_5_0", kProgramFlags | D3DCOMPILE_WARNINGS_ARE_ERRORS);
    EXPECT_EQ(strict.hr, E_FAIL);
    EXPECT_EQ(strict.code, nullptr);
    EXPECT_NE(strict.messages.find("<source>:7: warning: implicit truncation"), std::string::npos);
}

TEST(SourceChecksTest, EntryPointsAndStaticsWindowsRefusesAreRefusedWithTheirLine) {
    Result bare;
    Compile(&bare, "float4 ps_main(float4 p : SV_Position) { return p; }\n", "ps_main", "ps_5_0");
    EXPECT_EQ(bare.hr, E_FAIL);
    EXPECT_NE(
        bare.messages.find("<source>:1: error: 'ps_main': the entry point's return value has no semantic"),
        std::string::npos)
        << bare.messages;
    Result constant;
    Compile(&constant, "static const float k;\nfloat4 ps_main() : SV_Target { return k; }\n", "ps_main",
            "ps_5_0");
    EXPECT_EQ(constant.hr, E_FAIL);
    EXPECT_NE(constant.messages.find("<source>:1: error: 'k': a const variable needs an initial value"),
              std::string::npos)
        << constant.messages;
    // Shader model 4 and 5 need no SV_Target: a pixel stage may write only depth, or nothing.
    for (const char* allowed :
         {"void ps_main(out float d : SV_Depth) { d = 0.5; }\n",
          "RWStructuredBuffer<float4> o : register(u1);\nvoid ps_main() { o[0] = 1; }\n"}) {
        Result r;
        Compile(&r, allowed, "ps_main", "ps_5_0");
        EXPECT_EQ(r.hr, S_OK) << allowed << r.messages;
    }
}

// Code that Windows compiles without a word, close to what is warned of or refused.
TEST(SourceChecksTest, WhatWindowsTakesSilentlyCompilesSilently) {
    const char source[] =
        "struct S { float xx; };\n"
        "RWStructuredBuffer<float4> o : register(u0);\n"
        "Texture2D<float> depth : register(t0);\n"
        "const float fromBuffer;\n"
        "static const float k = 1;\n"
        "static float table[65536];\n"
        "float4 Pick(float4 a) { return a; }\n"
        "float2 Pick(float2 a) { return a; }\n"
        "[numthreads(1, 1, 1)]\n"
        "void cs_main(uint3 id : SV_DispatchThreadID) {\n"
        "    S s; s.xx = 1;\n"
        "    float4 v = 0; v.xy = float2(1, 2);\n"
        "    float4x4 m = 0; float3 row = m[0].xyz;\n"
        "    float3 picked = Pick(v).xyz, chosen = id.x > 0 ? v.xyz : row;\n"
        "    float d = depth.Load(int3(id)), e;\n"
        "    for (uint i = 0; i < 4; ++i) e = i;\n"
        "    float f; if (1) f = 2;\n"
        "    o[id.x] = float4(picked + chosen, s.xx + d + e + f + k + table[id.x] + fromBuffer);\n"
        "}\n";
    Result r;
    Compile(&r, source, "cs_main", "cs_5_0", kProgramFlags | D3DCOMPILE_WARNINGS_ARE_ERRORS);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
}

TEST(SourceChecksTest, TheProjectsShadersCompileWithoutWarnings) {
    const char* root = std::getenv("FXVIEW_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::vector<std::filesystem::path> files = {std::filesystem::path(root) / "main.fx"};
    for (const auto& sample : std::filesystem::directory_iterator(std::filesystem::path(root) / "samples"))
        files.push_back(sample.path() / "main.fx");
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream source;
        source << in.rdbuf();
        for (const auto& [entry, target] : {std::pair{"vs_main", "vs_5_0"}, std::pair{"ps_main", "ps_5_0"},
                                            std::pair{"cs_main", "cs_5_0"}}) {
            Result r;
            Compile(&r, source.str(), entry, target, kProgramFlags | D3DCOMPILE_WARNINGS_ARE_ERRORS,
                    file.string().c_str());
            EXPECT_EQ(r.hr, S_OK) << file << " " << entry << ": " << r.messages;
        }
    }
}

} // namespace
