// D3DCompile2 as the program and the Direct3D 11 stand-in rely on it: targets, registers, cbuffer
// packing, vertex inputs, messages, includes, and the validity of the SPIR-V it hands on.
#include "compiler_test_util.h"

#include <gtest/gtest.h>
#include <testing.h>

#include <filesystem>

namespace {

using platform::RegisterClass;
using platform::ShaderStage;

using Result = fxtest::CompileResult;
using fxtest::Compile;
using fxtest::kProgramFlags;

uint32_t Bit(uint32_t reg) {
    return 1u << reg;
}

const char kVertex[] = "float4 vs_main(float3 p : POSITION) : SV_Position { return float4(p, 1); }\n";
const char kPixel[] = "float4 ps_main(float4 p : SV_Position) : SV_Target { return p; }\n";
const char kCompute[] =
    "RWStructuredBuffer<float4> o : register(u0);\n"
    "[numthreads(8, 4, 2)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
// Shader model 4 allows groups one thread deep only.
const char kFlatCompute[] =
    "RWStructuredBuffer<float4> o : register(u0);\n"
    "[numthreads(8, 4, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
const char kGeometry[] = "struct V { float4 p : SV_Position; };\n"
                         "[maxvertexcount(3)] void gs_main(triangle V i[3], inout TriangleStream<V> s) {\n"
                         "  for (int k = 0; k < 3; ++k) s.Append(i[k]);\n}\n";

class D3DCompile2Test : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(fxtest::LiveObjects("ID3D10Blob"), 0) << "blobs left alive after the test";
        fxtest::ClearFailures();
    }
};

TEST_F(D3DCompile2Test, EveryModelOfTheFourStagesCompilesToItsStage) {
    struct Case {
        const char* source;
        const char* entry;
        const char* stage;
        ShaderStage want;
    } cases[] = {{kVertex, "vs_main", "vs", ShaderStage::Vertex},
                 {kPixel, "ps_main", "ps", ShaderStage::Pixel},
                 {kFlatCompute, "cs_main", "cs", ShaderStage::Compute},
                 {kGeometry, "gs_main", "gs", ShaderStage::Geometry}};
    for (const Case& c : cases) {
        for (const char* model : {"_4_0", "_4_1", "_5_0", "_5_1"}) {
            std::string target = std::string(c.stage) + model;
            Result r;
            Compile(&r, c.source, c.entry, target.c_str());
            ASSERT_EQ(r.hr, S_OK) << target << ": " << r.messages;
            platform::ShaderInfo info = fxtest::Decode(r.code);
            EXPECT_EQ(info.stage, c.want) << target;
            EXPECT_EQ(info.entryPoint, c.entry) << target;
            EXPECT_EQ(fxtest::ValidateForVulkan(info.spirv), "") << target;
        }
    }
}

TEST_F(D3DCompile2Test, OtherTargetsFailNamingTheTarget) {
    for (const char* target :
         {"vs_3_0", "hs_5_0", "ds_5_0", "cs_6_0", "fx_5_0", "lib_6_3", "vs_5_0 ", "VS_5_0", ""}) {
        Result r;
        Compile(&r, kVertex, "vs_main", target);
        EXPECT_EQ(r.hr, E_FAIL) << "target '" << target << "'";
        EXPECT_EQ(r.code, nullptr) << target;
        EXPECT_NE(r.messages.find(std::string("'") + target + "'"), std::string::npos)
            << "got message " << r.messages << "want one naming '" << target << "'";
    }
}

// Every register of shader model 5 compiles: b0-b13, u0-u7, t0-t127, s0-s15.
TEST_F(D3DCompile2Test, RegistersLandOnTheBindingsOfTheirClass) {
    const char source[] = "cbuffer A : register(b3) { float4 a; };\n"
                          "cbuffer B : register(b13) { float4 b; };\n"
                          "RWStructuredBuffer<float4> u : register(u2);\n"
                          "Texture2D tex : register(t5);\n"
                          "Texture2D last : register(t127);\n"
                          "SamplerState smp : register(s15);\n"
                          "StructuredBuffer<float4> unregistered;\n" // the lowest free t register: t0
                          "RWTexture2D<float4> image : register(u7);\n"
                          "[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                          "  u[id.x] = a + b + tex.SampleLevel(smp, float2(0, 0), 0) + unregistered[id.x] +\n"
                          "            last.SampleLevel(smp, float2(0, 0), 0);\n"
                          "  image[id.xy] = a;\n}\n";
    Result r;
    Compile(&r, source, "cs_main", "cs_5_0");
    ASSERT_EQ(r.hr, S_OK) << r.messages;
    platform::ShaderInfo info = fxtest::Decode(r.code);
    using platform::BindingOf;
    std::set<uint32_t> want = {
        BindingOf(RegisterClass::ConstantBuffer, 3),   BindingOf(RegisterClass::ConstantBuffer, 13),
        BindingOf(RegisterClass::UnorderedAccess, 2),  BindingOf(RegisterClass::UnorderedAccess, 7),
        BindingOf(RegisterClass::ShaderResource, 0),   BindingOf(RegisterClass::ShaderResource, 5),
        BindingOf(RegisterClass::ShaderResource, 127), BindingOf(RegisterClass::Sampler, 15)};
    EXPECT_EQ(fxtest::Bindings(info.spirv), want);
    EXPECT_EQ(info.usedRegisters[0], Bit(3) | Bit(13)) << "constant buffers";
    EXPECT_EQ(info.usedRegisters[1], Bit(2) | Bit(7)) << "unordered-access views";
    EXPECT_EQ(info.usedRegisters[2], (std::bitset<128>(Bit(0) | Bit(5)).set(127))) << "shader-resource views";
    EXPECT_EQ(info.usedRegisters[3], Bit(15)) << "samplers";
    EXPECT_EQ(fxtest::ValidateForVulkan(info.spirv), "");
}

// The counters of append and counted buffers belong to their buffer's view, as in Direct3D; glslang
// gives them bindings of their own, which must not show as registers.
TEST_F(D3DCompile2Test, BufferCountersTakeNoRegister) {
    Result r;
    Compile(&r,
            "AppendStructuredBuffer<uint> queue : register(u0);\n"
            "RWStructuredBuffer<uint> counted : register(u1);\n"
            "RWStructuredBuffer<uint> o : register(u2);\n"
            "[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
            "  queue.Append(1); o[counted.IncrementCounter()] = counted[0];\n}\n",
            "cs_main", "cs_5_0");
    ASSERT_EQ(r.hr, S_OK) << r.messages;
    EXPECT_EQ(fxtest::Decode(r.code).usedRegisters[1], Bit(0) | Bit(1) | Bit(2));
}

TEST_F(D3DCompile2Test, VertexInputsKeepSemanticIndexAndLocation) {
    const char source[] = "struct In { float3 p : POSITION; float2 uv : TEXCOORD1; float4 c : color; uint id "
                          ": SV_VertexID; };\n"
                          "float4 vs_main(In i) : SV_Position { return float4(i.p + i.uv.x, i.id) * i.c; }\n";
    Result r;
    Compile(&r, source, "vs_main", "vs_5_0");
    ASSERT_EQ(r.hr, S_OK) << r.messages;
    platform::ShaderInfo info = fxtest::Decode(r.code);
    ASSERT_EQ(info.inputs.size(), 3u) << "SV_VertexID is not an input of the layout";
    std::set<std::string> got;
    std::set<uint32_t> locations;
    for (const platform::ShaderInput& in : info.inputs) {
        got.insert(in.semantic + std::to_string(in.semanticIndex));
        locations.insert(in.location);
    }
    EXPECT_EQ(got, (std::set<std::string>{"POSITION0", "TEXCOORD1", "COLOR0"}));
    EXPECT_EQ(locations.size(), 3u) << "each input has its own location";
    EXPECT_EQ(fxtest::ValidateForVulkan(info.spirv), "");
}

// What the device links the pixel stage's inputs to the vertex stage's outputs by: semantic name and
// index (an array's elements one index each, split into variables or not), locations, components and
// where each Location number lies; system values are not listed.
TEST_F(D3DCompile2Test, OutputsAndPixelInputsCarrySemanticsLocationsAndComponents) {
    const char source[] =
        "struct V { float4 p : SV_Position; float2 uv : texcoord1; float4 t[2] : TEXCOORD2; "
        "float4x4 m : MAT0; };\n"
        "V vs_main(float3 p : POSITION) { V v = (V)0; v.p = float4(p, 1); v.uv = p.xy; "
        "v.t[1] = 1; v.m[2] = 2; return v; }\n"
        "float4 ps_main(float4 t[2] : TEXCOORD2, float4 p : SV_Position, float x : TEXCOORD1) "
        ": SV_Target { return t[1] + x + p; }\n";
    const auto listed = [](const std::vector<platform::ShaderInput>& list,
                           const std::vector<uint32_t>& spirv) {
        std::set<std::string> got;
        for (const platform::ShaderInput& v : list) {
            EXPECT_EQ(spirv.at(v.locationWord), v.location) << v.semantic;
            got.insert(v.semantic + std::to_string(v.semanticIndex) + " x" + std::to_string(v.locations) +
                       " of " + std::to_string(v.components));
        }
        return got;
    };
    Result vs, ps;
    Compile(&vs, source, "vs_main", "vs_5_0");
    Compile(&ps, source, "ps_main", "ps_5_0");
    ASSERT_EQ(vs.hr, S_OK) << vs.messages;
    ASSERT_EQ(ps.hr, S_OK) << ps.messages;
    const platform::ShaderInfo v = fxtest::Decode(vs.code), p = fxtest::Decode(ps.code);
    EXPECT_EQ(listed(v.outputs, v.spirv), (std::set<std::string>{"TEXCOORD1 x1 of 2", "TEXCOORD2 x1 of 4",
                                                                 "TEXCOORD3 x1 of 4", "MAT0 x4 of 4"}));
    EXPECT_EQ(listed(p.inputs, p.spirv), (std::set<std::string>{"TEXCOORD2 x2 of 4", "TEXCOORD1 x1 of 1"}));
    EXPECT_TRUE(p.outputs.empty());
}

// The forms of thread group size HLSL authors write: literals, macros of macros, integer constants,
// casts, vector members and arithmetic on them. Only the compiled entry point's attribute counts.
TEST_F(D3DCompile2Test, ThreadGroupSizeFoldsIntegerConstantExpressions) {
    const char prologue[] =
        "#define WIDTH 0x10\n#define N WIDTH\n"
        "static const uint kHeight = 2;\n"
        "const int kDepth = kHeight * 3;\n"
        "static const uint2 kTile = uint2(4, 8);\n"
        "RWStructuredBuffer<float4> o : register(u0);\n"
        "[numthreads(N > 32 ? 32 : N, 1, 1)] void other(uint3 i : SV_DispatchThreadID) {}\n"
        "[numthreads(";
    const struct {
        const char* size;
        uint32_t x, y, z;
    } cases[] = {
        {"WIDTH, (kHeight + 1), kDepth", 16, 3, 6},
        {"N > 8 ? 8 : N, (uint)8, uint(2)", 8, 8, 2},
        {"kTile.y, kTile[0], !0 + (N == 16)", 8, 4, 2},
    };
    for (const auto& c : cases) {
        Result r;
        Compile(&r,
                std::string(prologue) + c.size +
                    ")] void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = 1; }\n",
                "cs_main", "cs_5_0");
        ASSERT_EQ(r.hr, S_OK) << c.size << ": " << r.messages;
        platform::ShaderInfo info = fxtest::Decode(r.code);
        EXPECT_EQ(info.threadGroupSize[0], c.x) << c.size;
        EXPECT_EQ(info.threadGroupSize[1], c.y) << c.size;
        EXPECT_EQ(info.threadGroupSize[2], c.z) << c.size;
    }
}

// A group may have 1,024 threads in shader model 5 (z at most 64) and 768 in model 4 (z 1), as the
// Windows compiler enforces; a Vulkan device may allow more, but a shader must run on both.
TEST_F(D3DCompile2Test, ThreadGroupsLargerThanTheShaderModelAllowsFail) {
    struct Case {
        const char* size;
        const char* target;
        bool compiles;
    } cases[] = {
        {"32, 32, 1", "cs_5_0", true},  {"1024, 1, 1", "cs_5_0", true}, {"1, 16, 64", "cs_5_0", true},
        {"32, 33, 1", "cs_5_0", false}, {"1, 1, 65", "cs_5_0", false},  {"2048, 1, 1", "cs_5_0", false},
        {"768, 1, 1", "cs_4_0", true},  {"32, 32, 1", "cs_4_0", false}, {"1, 1, 2", "cs_4_1", false},
    };
    for (const Case& c : cases) {
        std::string source = std::string("RWStructuredBuffer<float4> o : register(u0);\n[numthreads(") +
                             c.size + ")] void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
        Result r;
        Compile(&r, source, "cs_main", c.target);
        EXPECT_EQ(r.hr, c.compiles ? S_OK : E_FAIL) << c.size << " for " << c.target << ": " << r.messages;
        if (!c.compiles) {
            EXPECT_NE(r.messages.find("thread group size"), std::string::npos) << "got " << r.messages;
        }
    }
}

// The front end reads these arguments as constants unchecked: each of these once crashed the
// compiler, and with it the program, when the shader was saved half-edited. The first is what the
// fuzzer found: a misspelt macro in main.fx.
TEST_F(D3DCompile2Test, ThreadGroupSizesThatAreNotThreeIntegerConstantsFail) {
    const char* attributes[] = {
        "[numthreads(GROUP_WIDTH, GROUP_HEHTGI, 1)]",
        "[numthreads(uniformWidth, 1, 1)]",
        "[numthreads(parameter, 1, 1)]",
        "[numthreads]",
        "[[numthreads(missing, 1, 1)]]",
        "[numthreads(1, 1, 1, 1)]",
        "[numthreads(8, 8)]",
        "[numthreads(\"8\", 1, 1)]",
        "[numthreads(1.5, 1, 1)]",
        "[numthreads(kConstStatic, 1, 1)]",
        "[numthreads(0, 0, 0)]",
        "[numthreads(-8, 1, 1)]",
        "[numthreads(100000, 1, 1)]",
        "[numthreads(8, 1 / 0, 1)]",
        "",
    };
    for (const char* attribute : attributes) {
        std::string source = std::string("#define GROUP_WIDTH 8\n"
                                         "uint uniformWidth;\n"
                                         "const static uint kConstStatic = 1;\n"
                                         "void f(const uint parameter = 1) {}\n"
                                         "RWStructuredBuffer<float4> o : register(u0);\n") +
                             attribute + " void cs_main(uint3 id : SV_DispatchThreadID) { o[id.x] = 1; }\n";
        Result r;
        Compile(&r, source, "cs_main", "cs_5_0");
        EXPECT_EQ(r.hr, E_FAIL) << attribute;
        EXPECT_EQ(r.code, nullptr) << attribute;
        EXPECT_NE(r.messages.find("numthreads"), std::string::npos) << attribute << ": got " << r.messages;
        EXPECT_NE(r.messages.find("<source>:6: error"), std::string::npos)
            << attribute << ": got " << r.messages;
        // Glslang would crash on some of these: the attribute check must answer first.
        EXPECT_EQ(r.messages.find("crashed"), std::string::npos) << attribute << ": got " << r.messages;
    }
}

// A construct glslang leaves out of its module (here a compare-store spelt by a macro, which the
// source passes do not see) fails the compile rather than compiling without it.
TEST_F(D3DCompile2Test, WhatGlslangLeavesOutFailsTheCompile) {
    Result r;
    Compile(&r,
            "#define STORE InterlockedCompareStore\nRWByteAddressBuffer b : register(u0);\n"
            "[numthreads(1, 1, 1)] void cs_main() { b.STORE(0, 0, 1); }\n",
            "cs_main", "cs_5_0");
    EXPECT_EQ(r.hr, E_FAIL);
    EXPECT_NE(r.messages.find("Missing functionality"), std::string::npos) << r.messages;
}

// Windows' compiler ignores [numthreads] outside compute; defines reach the source.
TEST_F(D3DCompile2Test, NumThreadsOfOtherStagesIsIgnoredAndDefinesAreUsed) {
    Result pixel, compute, defined;
    const char both[] =
        "static const uint N = 8;\n"
        "[earlydepthstencil] [numthreads(N, 0, 1)] float4 ps_main() : SV_Target { return 1; }\n"
        "[numthreads(N, 1, 1)] void cs_main() {}\n";
    Compile(&pixel, both, "ps_main", "ps_5_0");
    EXPECT_EQ(pixel.hr, S_OK) << pixel.messages;
    Compile(&compute, both, "cs_main", "cs_5_0");
    EXPECT_EQ(compute.hr, S_OK) << compute.messages;
    D3D_SHADER_MACRO defines[] = {{"WITH_ENTRY", nullptr}, {"SCALE", "2.0"}, {nullptr, nullptr}};
    Compile(
        &defined,
        "#ifdef WITH_ENTRY\nfloat4 vs_main(float3 p : POSITION) : SV_Position { return float4(p, SCALE); }\n"
        "#endif\n",
        "vs_main", "vs_5_0", kProgramFlags, "shaders/a.fx", D3D_COMPILE_STANDARD_FILE_INCLUDE, defines);
    EXPECT_EQ(defined.hr, S_OK) << defined.messages;
}

// An effect-style file with a geometry function per pass, of other vertex types: each compiles as the
// entry point (glslang crashed on the other one's Append).
TEST_F(D3DCompile2Test, GeometryFunctionsOfOtherVertexTypesShareAFile) {
    const char kSource[] = "struct In { float4 q : POSITION; };\n"
                           "struct Line { float4 p : SV_Position; };\n"
                           "struct Quad { float4 p : SV_Position; float2 uv : TEXCOORD0; };\n"
                           "[maxvertexcount(4)] void gs_quad(point In v[1], inout TriangleStream<Quad> s) {\n"
                           "    Quad o; o.p = v[0].q; o.uv = 0; s.Append(o); }\n"
                           "[MaxVertexCount(2)] void gs_line(point In v[1], inout LineStream<Line> s) {\n"
                           "    Line o; o.p = v[0].q; s.Append(o); }\n";
    for (const char* entry : {"gs_quad", "gs_line"}) {
        Result r;
        Compile(&r, kSource, entry, "gs_5_0");
        EXPECT_EQ(r.hr, S_OK) << entry << ": " << r.messages;
    }
}

// A main.fx saved as UTF-16 by a Windows editor is named as such. A shader's control characters (an
// include's name holding a terminal's escape sequences) reach the messages and the log escaped.
TEST_F(D3DCompile2Test, MessagesNameTheEncodingAndShowControlCharactersEscaped) {
    const std::string ascii = "float4 ps_main() : SV_Target { return 1; }\n";
    std::string little = "\xFF\xFE", big = "\xFE\xFF";
    for (const char c : ascii) {
        little += {c, '\0'};
        big += {'\0', c};
    }
    for (const auto& [text, encoding] :
         {std::pair{little, "UTF-16LE"}, {big, "UTF-16BE"}, {little.substr(2), "UTF-16LE"}}) {
        Result r;
        Compile(&r, text, "ps_main", "ps_5_0", kProgramFlags, "main.fx");
        EXPECT_EQ(r.messages, std::string("main.fx:1: error: the file is ") + encoding +
                                  "; the HLSL compiler reads ASCII or UTF-8: save it as UTF-8\n");
    }
    Scratch dir;
    dir.Write("wide.hlsl", little);
    const std::string main = dir.Write("main.fx", "#include \"wide.hlsl\"\n");
    Result included;
    Compile(&included, ReadFile(main), "ps_main", "ps_5_0", kProgramFlags, main.c_str());
    EXPECT_NE(included.messages.find("cannot open include file 'wide.hlsl': the file is UTF-16LE; the HLSL "
                                     "compiler reads ASCII or UTF-8: save it as UTF-8"),
              std::string::npos)
        << included.messages;
    testing::internal::CaptureStderr();
    Result r;
    Compile(&r, "#include \"\x1B]0;owned\x07\x1B[2J\xC2\x9B.hlsl\"\n" + ascii, "ps_main", "ps_5_0",
            kProgramFlags, "main.fx", D3D_COMPILE_STANDARD_FILE_INCLUDE);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(r.messages.find("\\x1B]0;owned\\x07\\x1B[2J\\xC2\\x9B.hlsl"), std::string::npos) << r.messages;
    for (const std::string& text : {r.messages, log})
        EXPECT_EQ(text.find_first_of("\x1B\x07\x9B"), std::string::npos) << text;
}

// Each failing source gets a message that names its file and line, and hands out no code.
TEST_F(D3DCompile2Test, FailingSourcesNameTheirFileAndLine) {
    const char kCs[] = "RWStructuredBuffer<float4> o : register(u0);\n";
    const char kEntry[] = " void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = 1; }\n";
    const struct {
        std::string source;
        const char* entry;
        const char* name;
        const char* want;
    } cases[] = {
        {"RWStructuredBuffer<float4> o : register(u8);\n[numthreads(1, 1, 1)]" + std::string(kEntry),
         "cs_main", nullptr, "<source>:1: error: register u8"},
        {kCs +
             std::string(
                 "groupshared float4 big[2049];\n[numthreads(1, 1, 1)] void cs_main() { o[0] = big[0]; }\n"),
         "cs_main", nullptr, "<source>:2: error: groupshared variables take 32784 bytes"},
        // The declaration, not a comment or a macro that names the keyword first.
        {"// groupshared tiles\n#define SHARED groupshared\n/* groupshared\n */" + std::string(kCs) +
             "groupshared float4 big[2049];\n[numthreads(1, 1, 1)] void cs_main() { o[0] = big[0]; }\n",
         "cs_main", nullptr, "<source>:5: error: groupshared variables take 32784 bytes"},
        {"// register(u8) below\nRWStructuredBuffer<float4> o : register(u8);\n[numthreads(1, 1, 1)]" +
             std::string(kEntry),
         "cs_main", nullptr, "<source>:2: error: register u8"},
        {kCs + std::string("[numthreads(GROUP_WIDHT, 1, 1)]") + kEntry, "cs_main", "main.fx",
         "main.fx:2: error: [numthreads(x, y, z)] takes three integer constants: 'GROUP_WIDHT' is not an "
         "integer constant"},
        // Glslang parses on after a preprocessor error; this misspelt macro then left numthreads an
        // unknown name and crashed it (found by the fuzzer).
        {"#define GR(OUP_WIDTH 32\n" + std::string(kCs) + "[numthreads(GROUP_WIDTH, 1, 1)]" + kEntry,
         "cs_main", "main.fx", "main.fx:1: error"},
        {"Texture2D t : register(t2, space1);\n" + std::string(kCs) +
             "[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) { o[0] = t[id.xy]; }\n",
         "cs_main", nullptr,
         "<source>:1: error: register t2 is in space1: register spaces need shader model 5.1"},
        // Glslang crashed on a geometry stage without its vertex count.
        {"struct V { float4 p : SV_Position; };\n"
         "void gs_main(point V v[1], inout TriangleStream<V> s) { s.Append(v[0]); }\n",
         "gs_main", nullptr, "<source>:2: error: geometry entry point 'gs_main' has no [maxvertexcount(n)]"},
        {kVertex, "ps_main", nullptr, "<source>: error: entry point 'ps_main' not found\n"},
        {"", "ps_main", nullptr, "<source>: error: entry point 'ps_main' not found\n"},
        {std::string(64, '\0'), "ps_main", nullptr, "<source>: error: entry point 'ps_main' not found\n"},
        {"#ifdef WITH_ENTRY\n" + std::string(kVertex) + "#endif\n", "vs_main", "shaders/a.fx",
         "shaders/a.fx: error: entry point 'vs_main' not found"},
    };
    for (const auto& c : cases) {
        Result r;
        const std::string target = std::string(c.entry, 2) + "_5_0";
        Compile(&r, c.source, c.entry, target.c_str(), kProgramFlags, c.name);
        EXPECT_EQ(r.hr, E_FAIL) << c.want;
        EXPECT_EQ(r.code, nullptr) << c.want;
        EXPECT_NE(r.messages.find(c.want), std::string::npos) << "got " << r.messages << "want " << c.want;
    }
    ID3DBlob* messages = nullptr;
    ID3DBlob* code = nullptr;
    EXPECT_EQ(D3DCompile2(nullptr, 0, nullptr, nullptr, nullptr, "ps_main", "ps_5_0", kProgramFlags, 0, 0,
                          nullptr, 0, &code, &messages),
              E_FAIL);
    EXPECT_EQ(code, nullptr);
    EXPECT_EQ(fxtest::Text(messages), "<source>: error: entry point 'ps_main' not found\n") << "null source";
    if (messages)
        messages->Release();
}

// Includes resolve beside the including file first, then in the current directory; as on Windows,
// backslashes separate folders, a name may differ from the file's in case, and files may start with
// a UTF-8 byte-order mark.
TEST_F(D3DCompile2Test, IncludesResolveBesideTheIncluderThenTheCurrentDirectory) {
    Scratch dir;
    dir.Write("shaders/lib/colour.hlsl",
              "\xEF\xBB\xBF#include \"scale.hlsl\"\nfloat4 Colour() { return SCALE; }\n");
    dir.Write("shaders/lib/scale.hlsl", "#define SCALE 0.5\n");
    dir.Write("cwd/fromcwd.hlsl", "float Extra() { return 2; }\n");
    std::string main =
        dir.Write("shaders/main.fx", "\xEF\xBB\xBF#include \"Lib\\Colour.hlsl\"\n#include \"fromcwd.hlsl\"\n"
                                     "float4 ps_main() : SV_Target { return Colour() * Extra(); }\n");
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path("cwd"));
    Result r;
    Compile(&r, ReadFile(main), "ps_main", "ps_5_0", kProgramFlags, main.c_str());
    std::filesystem::current_path(before);
    EXPECT_EQ(r.hr, S_OK) << r.messages;
}

// A main.fx or an include past the size limit is refused before anything copies it: a 1 GiB include
// of nothing (sparse) and a main.fx of 65 MiB.
TEST_F(D3DCompile2Test, FilesPastTheSizeLimitAreRefusedWithTheLimit) {
    Scratch dir;
    const std::string big = dir.Write("big.hlsl", "");
    ASSERT_EQ(truncate(big.c_str(), off_t{1} << 30), 0);
    const std::string main =
        dir.Write("main.fx", "#include \"big.hlsl\"\nfloat4 ps_main() : SV_Target { return 1; }\n");
    Result include, whole;
    Compile(&include, ReadFile(main), "ps_main", "ps_5_0", kProgramFlags, main.c_str());
    EXPECT_NE(
        include.messages.find(
            "cannot open include file 'big.hlsl': 1024 MiB, more than the 64 MiB a shader file may have"),
        std::string::npos)
        << include.messages;
    Compile(&whole, std::string(65 << 20, ' '), "ps_main", "ps_5_0", kProgramFlags, "main.fx");
    EXPECT_EQ(whole.messages,
              "main.fx: error: the file is 65 MiB, more than the 64 MiB a shader file may have\n");
}

TEST_F(D3DCompile2Test, AnIncludeThatCannotBeReadIsAnError) {
    Scratch dir;
    std::filesystem::create_directories(dir.Path("folder.hlsl"));
    std::string self = dir.Write("self.hlsl", "#include \"self.hlsl\"\n");
    struct Case {
        std::string line;
        std::string want;  // in the message
        std::string where; // the file and line the message names
    } cases[] = {{"#include \"missing.hlsl\"\n", "missing.hlsl", "main.fx:1: error"},
                 {"#include \"folder.hlsl\"\n", "folder.hlsl", "main.fx:1: error"},
                 {"#include \"self.hlsl\"\n", "nested", "self.hlsl:1: error"}};
    std::string name = dir.Path("main.fx");
    for (const Case& c : cases) {
        Result r;
        Compile(&r, c.line + kPixel, "ps_main", "ps_5_0", kProgramFlags, name.c_str());
        EXPECT_EQ(r.hr, E_FAIL) << c.line;
        EXPECT_EQ(r.code, nullptr) << c.line;
        EXPECT_NE(r.messages.find(c.want), std::string::npos) << "got " << r.messages << "want " << c.want;
        EXPECT_NE(r.messages.find(c.where), std::string::npos) << "got " << r.messages << "want " << c.where;
    }
    Result none;
    Compile(&none, "#include \"self.hlsl\"\n" + std::string(kPixel), "ps_main", "ps_5_0", kProgramFlags,
            self.c_str(), nullptr);
    EXPECT_EQ(none.hr, E_FAIL) << "no include handler, yet the include was resolved";
}

TEST_F(D3DCompile2Test, OptimisationLevelThreeOptimises) {
    const char source[] = "float4 ps_main(float4 p : SV_Position) : SV_Target {\n"
                          "  float4 s = 0; for (int i = 0; i < 4; ++i) s += p * i; return s; }\n";
    Result fast, plain;
    Compile(&fast, source, "ps_main", "ps_5_0", D3DCOMPILE_OPTIMIZATION_LEVEL3);
    Compile(&plain, source, "ps_main", "ps_5_0", D3DCOMPILE_SKIP_OPTIMIZATION);
    ASSERT_EQ(fast.hr, S_OK) << fast.messages;
    ASSERT_EQ(plain.hr, S_OK) << plain.messages;
    size_t fastWords = fxtest::Decode(fast.code).spirv.size();
    size_t plainWords = fxtest::Decode(plain.code).spirv.size();
    EXPECT_LT(fastWords, plainWords) << "level 3 made a module no smaller than no optimisation";
}

// Every flag Windows' compiler takes for shader model 5 is taken; warnings fail the compile when
// asked to. (Row-major packing is checked on the device by the compatibility suite.)
TEST_F(D3DCompile2Test, WindowsCompileFlagsAreAccepted) {
    const UINT flags[] = {D3DCOMPILE_DEBUG,
                          D3DCOMPILE_SKIP_VALIDATION,
                          D3DCOMPILE_PACK_MATRIX_ROW_MAJOR,
                          D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR,
                          D3DCOMPILE_PARTIAL_PRECISION,
                          D3DCOMPILE_AVOID_FLOW_CONTROL,
                          D3DCOMPILE_ENABLE_BACKWARDS_COMPATIBILITY,
                          D3DCOMPILE_IEEE_STRICTNESS,
                          D3DCOMPILE_RESOURCES_MAY_ALIAS,
                          D3DCOMPILE_ALL_RESOURCES_BOUND,
                          D3DCOMPILE_WARNINGS_ARE_ERRORS};
    for (UINT flag : flags) {
        Result r;
        Compile(&r, kCompute, "cs_main", "cs_5_0", kProgramFlags | flag);
        EXPECT_EQ(r.hr, S_OK) << std::hex << flag << ": " << r.messages;
    }
    const char warned[] = "RWStructuredBuffer<float4> o : register(u0);\n"
                          "[numthreads(1, 1, 1)] void cs_main(uint3 id : SV_DispatchThreadID) {\n"
                          "  [fastopt] for (uint i = 0; i < 4; ++i) o[i] = 1;\n}\n";
    Result plain, strict;
    Compile(&plain, warned, "cs_main", "cs_5_0");
    EXPECT_EQ(plain.hr, S_OK) << plain.messages;
    Compile(&strict, warned, "cs_main", "cs_5_0", kProgramFlags | D3DCOMPILE_WARNINGS_ARE_ERRORS);
    EXPECT_EQ(strict.hr, E_FAIL) << strict.messages;
    EXPECT_EQ(strict.code, nullptr);
}

TEST_F(D3DCompile2Test, ArgumentsItCannotHonourAreRefused) {
    Result flags, effects;
    Compile(&flags, kVertex, "vs_main", "vs_5_0",
            kProgramFlags | D3DCOMPILE_PACK_MATRIX_ROW_MAJOR | D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR);
    EXPECT_EQ(flags.hr, E_INVALIDARG);
    ID3DBlob* code = nullptr;
    HRESULT hr = D3DCompile2(kVertex, sizeof kVertex, nullptr, nullptr, nullptr, "vs_main", "vs_5_0", 0, 1, 0,
                             nullptr, 0, &code, nullptr);
    EXPECT_EQ(hr, E_INVALIDARG) << "effect flags";
    EXPECT_EQ(code, nullptr);
    hr = D3DCompile2(kVertex, sizeof kVertex, nullptr, nullptr, nullptr, nullptr, "vs_5_0", 0, 0, 0, nullptr,
                     0, &code, nullptr);
    EXPECT_EQ(hr, E_INVALIDARG) << "null entry point";
}

// A compile whose code blob cannot be made hands out nothing.
TEST_F(D3DCompile2Test, AFailedBlobLeavesNothingBehind) {
    fxtest::FailNextCall("D3DCreateBlob", E_OUTOFMEMORY);
    Result code;
    Compile(&code, kVertex, "vs_main", "vs_5_0");
    EXPECT_EQ(code.hr, E_OUTOFMEMORY);
    EXPECT_EQ(code.code, nullptr);
}

} // namespace
