// The source stage's one reading of HLSL: its tokens, the table of what a file declares, and the
// passes over it, which keep every line and read comments and strings as what they are.
#include "attributes.h"
#include "crash_hints.h"
#include "declarations.h"
#include "source_bridge.h"
#include "source_global_constants.h"
#include "source_lines.h"
#include "source_matrix_majority.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using platform::d3dcompiler::Brace;
using platform::d3dcompiler::Declaration;
using platform::d3dcompiler::DeclarationKind;
using platform::d3dcompiler::Declarations;
using platform::d3dcompiler::Tokens;

// The index of the n-th token spelled `s` (from 0), or tokens.size().
size_t TokenAt(const Tokens& t, std::string_view s, int n = 0) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (t.Text(i) == s && n-- == 0)
            return i;
    }
    return t.size();
}

TEST(SourceTokensTest, CommentsStringsAndDirectivesAreReadOnce) {
    const std::string text = "#define A(x) \\\n  x /* ' */\n"
                             "float s = \"a } \\\" register(b0\"; // } register(b1)\n"
                             "/* {\n */ x >>= 1; Buffer<vector<float, 4>> b;\n";
    const Tokens t(text);
    ASSERT_EQ(t[0].kind, platform::d3dcompiler::TokenKind::Directive);
    EXPECT_EQ(t.Text(0), "#define A(x) \\\n  x /* ' */");
    const size_t string = TokenAt(t, "=") + 1;
    EXPECT_EQ(t[string].kind, platform::d3dcompiler::TokenKind::String);
    EXPECT_EQ(t.Text(string + 1), ";");
    EXPECT_EQ(TokenAt(t, "register"), t.size()) << "a word inside a comment or string is no token";
    const size_t x = TokenAt(t, "x");
    EXPECT_EQ(t[x].line, 5u);
    EXPECT_EQ(t[x].column, 5u);
    EXPECT_EQ(t.Text(x + 1), ">>=");
    const size_t open = TokenAt(t, "<");
    EXPECT_EQ(t.Close(open), TokenAt(t, ">>")) << "`>>` closes both brackets of a nested template";
    const Tokens include("#include \"a/*b.h\"\nx \"\\");
    ASSERT_EQ(include.size(), 3u) << "a string in a directive opens no comment";
    EXPECT_EQ(include[1].line, 2u);
    EXPECT_EQ(include[2].end, 22u) << "a string cut short by the end of the text ends there";
    const Tokens directive(t, 0);
    EXPECT_EQ(directive.Text(0), "define");
    EXPECT_EQ(directive[directive.size() - 1].line, 2u);
}

// A shader of the kind a Windows sample ships, asked what a rewrite asks.
TEST(SourceDeclarationsTest, AnswersWhatTheFileDeclares) {
    const std::string text =
        "typedef row_major float4x4 RowMatrix;\n"
        "struct Light { float3 direction; float4 colour[2]; };\n"
        "cbuffer Frame : register(b0) { RowMatrix world; Light lights[4]; uint count; };\n"
        "static const uint kTaps = 3;\n"
        "Texture2D<float4> tex : register(t0);\n"
        "SamplerState linearSampler { Filter = MIN_MAG_MIP_LINEAR; };\n"
        "float4 Shade(SamplerState s, in float2 uv, Light light) : SV_Target {\n"
        "    float4 sum = 0;\n"
        "    for (uint i = 0; i < kTaps; ++i) { float uv = i; sum += uv; }\n"
        "    return sum * tex.Sample(s, uv);\n"
        "}\n";
    const Tokens t(text);
    const Declarations d(t);
    auto find = [&](std::string_view name, size_t at) -> const Declaration& {
        const Declaration* found = d.Find(name, at);
        EXPECT_NE(found, nullptr) << name;
        static const Declaration none = {};
        return found ? *found : none;
    };
    auto type = [&](const Declaration& x) {
        return std::string(
            t.text().substr(t[x.type.begin].begin, t[x.type.end - 1].end - t[x.type.begin].begin));
    };
    const size_t end = t.size() - 1;
    const Declaration& world = find("world", end);
    EXPECT_EQ(world.kind, DeclarationKind::BufferMember);
    EXPECT_EQ(type(world), "RowMatrix");
    EXPECT_EQ(d.TypeName(world), "float4x4");
    EXPECT_EQ(d.all()[world.owner].name, "Frame");
    const Declaration& lights = find("lights", end);
    ASSERT_EQ(lights.arraySizes.size(), 1u);
    EXPECT_EQ(t.Text(lights.arraySizes[0].begin), "4");
    const Declaration* colour = d.Member(find("Light", end), "colour");
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(type(*colour), "float4");
    EXPECT_EQ(colour->arraySizes.size(), 1u);
    EXPECT_EQ(d.Find("colour", end), nullptr) << "a member is no name of its own";
    EXPECT_EQ(type(find("tex", end)), "Texture2D<float4>");
    const Declaration& taps = find("kTaps", end);
    EXPECT_EQ(t.Text(taps.initializer.begin), "3");
    EXPECT_EQ(taps.qualifiers.size(), 2u);
    // Inside the function: its parameters, a local, and the loop's own `uv` shadowing a parameter.
    const size_t body = TokenAt(t, "sum");
    EXPECT_EQ(find("Shade", body).kind, DeclarationKind::Function);
    EXPECT_EQ(type(find("s", body)), "SamplerState");
    EXPECT_EQ(find("uv", body).kind, DeclarationKind::Parameter);
    EXPECT_EQ(t.Text(find("uv", body).qualifiers[0]), "in");
    EXPECT_EQ(type(find("light", body)), "Light");
    EXPECT_EQ(find("i", TokenAt(t, "i", 1)).kind, DeclarationKind::Local);
    EXPECT_EQ(type(find("uv", TokenAt(t, "uv", 2))), "float") << "the loop's local shadows the parameter";
    EXPECT_EQ(type(find("uv", TokenAt(t, "uv", 3))), "float2") << "after the loop the parameter is seen";
    EXPECT_EQ(d.Find("i", TokenAt(t, "return")), nullptr) << "the loop's variable is the loop's";
    EXPECT_EQ(d.Opens(TokenAt(t, "{", 2)), Brace::StateBlock);
    EXPECT_EQ(d.Opens(TokenAt(t, "{", 3)), Brace::FunctionBody) << "a sampler parameter makes no state block";
    EXPECT_EQ(d.Opens(TokenAt(t, "{", 4)), Brace::Block);
}

// Headers the text does not spell plainly: variants under `#if`, and one a macro spells.
TEST(SourceDeclarationsTest, ReadsBodiesBehindDirectivesAndMacros) {
    const std::string text = "#if FAST\nfloat4 f(float2 uv)\n#else\nfloat4 f(float3 uv)\n#endif\n"
                             "{ return uv.xyzz; }\n"
                             "MAIN_SIGNATURE(cs_main) { uint k = 1; o[0] = k; }\n";
    const Tokens t(text);
    const Declarations d(t);
    EXPECT_EQ(d.Opens(TokenAt(t, "{")), Brace::FunctionBody);
    const Declaration* uv = d.Find("uv", TokenAt(t, "uv", 2));
    ASSERT_NE(uv, nullptr);
    EXPECT_EQ(t.Text(uv->type.begin), "float3") << "the header the body follows";
    const Declaration* k = d.Find("k", TokenAt(t, "k", 1));
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->kind, DeclarationKind::Local);
}

// Each pass with a source whose every line ends in a marker: the markers stay on their lines, and
// those on lines the pass does not insert into keep their columns.
TEST(SourcePassesTest, EveryPassKeepsEveryLine) {
    const std::string source = "#pragma pack_matrix(row_major) // m0\n"
                               "unsigned int a; DWORD b; texture2D t; /* } ' */ m1\n"
                               "const float k = 1; m2\n"
                               "SamplerState s { Filter = POINT; /* } */ }; m3\n"
                               "float4x4 w; m4\n"
                               "float F(SamplerState p) { return 0; } m5\n"
                               "void G() { for (uint i = 0;\n"
                               "  i < 2; ++i) {} uint j = i; } m6\n"
                               "technique11 T { pass P { } } m7\n";
    const std::pair<const char*, std::function<void(std::string*)>> passes[] = {
        {"bridge", platform::d3dcompiler::BridgeSource},
        {"global constants", platform::d3dcompiler::MakeGlobalConstantsUniform},
        {"matrix majority", platform::d3dcompiler::WriteOutMatrixMajority},
    };
    const Tokens before(source);
    for (const auto& [name, pass] : passes) {
        std::string text = source;
        pass(&text);
        const Tokens after(text);
        for (int m = 1; m <= 7; ++m) {
            const std::string marker = "m" + std::to_string(m);
            const size_t was = TokenAt(before, marker), is = TokenAt(after, marker);
            ASSERT_LT(is, after.size()) << name << " lost " << marker;
            EXPECT_EQ(after[is].line, before[was].line) << name << ": " << marker;
            if (marker != "m4") {
                EXPECT_EQ(after[is].column, before[was].column) << name << ": " << marker << "\n" << text;
            }
        }
    }
}

// What used to confuse one reader but not another: a `}`, a `register(`, a `const` or a type inside a
// comment or a string beside each rewrite.
TEST(SourcePassesTest, CommentsAndStringsAreNotCode) {
    std::string bridged = "float4 f(SamplerState s, float2 uv) { return t.Sample(s, uv); /* { */ }\n"
                          "SamplerState w { Filter = POINT; /* }; */ };\n"
                          "static const float2 k[2] = { 1, 2, /* } */ 3, 4 };\n";
    platform::d3dcompiler::BridgeSource(&bridged);
    EXPECT_NE(bridged.find("return t.Sample(s, uv);"), std::string::npos) << "a function body is kept\n"
                                                                          << bridged;
    EXPECT_EQ(bridged.find("Filter"), std::string::npos) << bridged;
    EXPECT_NE(bridged.find("float2(1, 2), /* } */ float2(3, 4)"), std::string::npos) << bridged;

    std::string globals = "uint n = 2;\n"
                          "Texture2D t <string name = \"const;\";>;\n"
                          "const float k = 1;\n";
    platform::d3dcompiler::MakeGlobalConstantsUniform(&globals);
    EXPECT_NE(globals.find("\"const;\""), std::string::npos) << globals;
    EXPECT_NE(globals.find("      float k"), std::string::npos)
        << "an integer declared before makes a later float no constant\n"
        << globals;

    std::string matrices = "#pragma pack_matrix(row_major)\n// float4x4 note;\nfloat4x4 m;\n";
    platform::d3dcompiler::WriteOutMatrixMajority(&matrices);
    EXPECT_EQ(matrices, "#pragma pack_matrix(row_major)\n// float4x4 note;\nrow_major float4x4 m;\n");

    const std::string registers = "// was register(s0)\n/* Texture2D u : register(s0); */\n"
                                  "SamplerState s : register(s0);\n";
    EXPECT_EQ(platform::d3dcompiler::WhereInSource(registers, "a.fx", "register s0 is taken"), "a.fx:3: error: ");
    EXPECT_EQ(platform::d3dcompiler::CrashHint("/* int2x3 */ int a = 1 << 2;\n", "a.fx"), "");
    EXPECT_EQ(platform::d3dcompiler::IntrinsicCrashHint("/* mul(float1 */\nfloat1 x;\nfloat y = mul(x, 2);\n", "a.fx"),
              "a.fx:3: error: glslang crashes on mul with a float1: spell the product out (x * m[0])\n");
}

// The source is read in the program's own process: nesting deeper than any shader nests must end in
// a message, not in a stack overflow.
TEST(SourcePassesTest, DeepNestingIsReadWithinTheStack) {
    const size_t n = 100000;
    std::string text = "void f() { " + std::string(n, '{') + std::string(n, '}') + " }\n[numthreads(" +
                       std::string(n, '(') + "1" + std::string(n, ')') + ", 1, 1)] void cs_main() {}\n";
    platform::d3dcompiler::BridgeSource(&text);
    platform::d3dcompiler::MakeGlobalConstantsUniform(&text);
    platform::d3dcompiler::WriteOutMatrixMajority(&text);
    std::string error;
    EXPECT_FALSE(
        platform::d3dcompiler::CheckNumThreads(text, "a.fx", "cs_main", platform::ShaderStage::Compute, "cs_5_0", &error));
    EXPECT_NE(
        error.find("a.fx:2: error: [numthreads(x, y, z)] takes three integer constants: nested more than"),
        std::string::npos)
        << error.substr(0, 200);
}

} // namespace
