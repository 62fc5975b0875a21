// D3DCompileShaderFromFile: what it prints and returns for the default main.fx, for shaders with
// warnings and errors, and for files that are missing, empty, huge, folders or not text at all.
#include "compiler_test_util.h"
#include "shader_compile.h"

#include <gtest/gtest.h>
#include <testing.h>

#include <filesystem>
#include <random>
#include <unistd.h>

namespace {

using platform::ShaderStage;

struct Printed {
    HRESULT hr = S_OK;
    ID3DBlob* code = nullptr;
    std::string out; // standard output during the call
    ~Printed() {
        if (code)
            code->Release();
    }
};

void Compile(Printed* r, const std::string& path, const char* entry, const char* target) {
    testing::internal::CaptureStdout();
    r->hr = D3DCompileShaderFromFile(path.c_str(), entry, target, &r->code);
    fflush(stdout);
    r->out = testing::internal::GetCapturedStdout();
}

std::string StatusLine(const char* entry, const char* target, HRESULT hr) {
    char line[128];
    snprintf(line, sizeof line, "D3DCompileShaderFromFile : %s %s::%08X\n", entry, target,
             static_cast<unsigned>(hr));
    return line;
}

const char kVertex[] = "float4 vs_main(float3 p : POSITION) : SV_Position\n{\n    return float4(p, 1);\n}\n";

class CompileFromFileTest : public testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(fxtest::LiveObjects("ID3D10Blob"), 0) << "blobs left alive after the test";
    }
    Scratch dir;
};

TEST_F(CompileFromFileTest, DefaultMainFxCompilesAtItsThreeEntryPoints) {
    const std::string path = SourceDir() + "/main.fx";
    const uint32_t b0 = 1u << 0, u0 = 1u << 0, u1 = 1u << 1; // register bit masks

    Printed vs, ps, cs;
    Compile(&vs, path, "vs_main", "vs_5_0");
    EXPECT_EQ(vs.out, "D3DCompileShaderFromFile : vs_main vs_5_0::00000000\n");
    platform::ShaderInfo v = fxtest::Decode(vs.code);
    EXPECT_EQ(v.stage, ShaderStage::Vertex);
    ASSERT_EQ(v.inputs.size(), 1u);
    EXPECT_EQ(v.inputs[0].semantic, "POSITION");
    EXPECT_EQ(v.inputs[0].semanticIndex, 0u);

    Compile(&ps, path, "ps_main", "ps_5_0");
    EXPECT_EQ(ps.out, "D3DCompileShaderFromFile : ps_main ps_5_0::00000000\n");
    platform::ShaderInfo p = fxtest::Decode(ps.code);
    EXPECT_EQ(p.stage, ShaderStage::Pixel);
    EXPECT_EQ(p.usedRegisters[0], b0) << "constant buffers of the pixel stage";
    EXPECT_EQ(p.usedRegisters[1], u1) << "unordered-access views of the pixel stage";

    Compile(&cs, path, "cs_main", "cs_5_0");
    EXPECT_EQ(cs.out, "D3DCompileShaderFromFile : cs_main cs_5_0::00000000\n");
    platform::ShaderInfo c = fxtest::Decode(cs.code);
    EXPECT_EQ(c.stage, ShaderStage::Compute);
    EXPECT_EQ(c.usedRegisters[0], b0) << "constant buffers of the compute stage";
    EXPECT_EQ(c.usedRegisters[1], u0) << "unordered-access views of the compute stage";
    // The program dispatches 40 x 22 groups over 1280 x 720 cells.
    EXPECT_EQ(c.threadGroupSize[0] * 40, 1280u);

    for (const platform::ShaderInfo* info : {&v, &p, &c}) {
        EXPECT_EQ(fxtest::ValidateForVulkan(info->spirv), "") << "stage " << static_cast<int>(info->stage);
        EXPECT_FALSE(fxtest::DeclaresExtension(info->spirv)) << "stage " << static_cast<int>(info->stage);
    }
}

TEST_F(CompileFromFileTest, AWarningIsPrintedBeforeASucceedingStatus) {
    std::string path = dir.Write("warn.fx", std::string("[unknown_attribute]\n") + kVertex);
    Printed r;
    Compile(&r, path, "vs_main", "vs_5_0");
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_NE(r.code, nullptr);
    const std::string status = StatusLine("vs_main", "vs_5_0", S_OK);
    EXPECT_EQ(r.out.rfind("INFO : <source>:1: warning", 0), 0u) << "got " << r.out;
    EXPECT_TRUE(r.out.ends_with(status)) << "got " << r.out;
}

TEST_F(CompileFromFileTest, ASyntaxErrorNamesItsLineInLfAndCrLfFiles) {
    const std::string lf =
        "// line 1\nfloat4 vs_main(float3 p : POSITION) : SV_Position\n{\n    return float4(p, 1)\n}\n";
    std::string crlf;
    for (char ch : lf)
        crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    Printed a, b;
    Compile(&a, dir.Write("lf.fx", lf), "vs_main", "vs_5_0");
    Compile(&b, dir.Write("crlf.fx", crlf), "vs_main", "vs_5_0");
    EXPECT_EQ(a.hr, E_FAIL);
    EXPECT_EQ(a.code, nullptr);
    EXPECT_EQ(a.out,
              "INFO : <source>:5: error: ';' : Expected\n\n" + StatusLine("vs_main", "vs_5_0", E_FAIL));
    EXPECT_EQ(b.out, a.out) << "the CR-LF copy";
}

// Whatever keeps a file from being read as text, the call prints what a missing file prints.
TEST_F(CompileFromFileTest, UnreadableFilesPrintWhatAMissingFilePrints) {
    const std::string want = "INFO : <source>: error: entry point 'cs_main' not found\n\n" +
                             StatusLine("cs_main", "cs_5_0", E_FAIL);
    Printed missing;
    Compile(&missing, dir.Path("missing.fx"), "cs_main", "cs_5_0");
    EXPECT_EQ(missing.hr, E_FAIL);
    EXPECT_EQ(missing.out, want);

    std::filesystem::create_directories(dir.Path("folder.fx"));
    std::string huge = dir.Write("huge.fx", kVertex);
    // Sparse: the claimed size is 3 GiB, nothing is stored, and nothing that size may be allocated.
    ASSERT_EQ(truncate(huge.c_str(), 3ll << 30), 0);
    for (const std::string& path : {dir.Write("empty.fx", ""), dir.Path("folder.fx"), huge}) {
        Printed r;
        Compile(&r, path, "cs_main", "cs_5_0");
        EXPECT_EQ(r.hr, E_FAIL) << path;
        EXPECT_EQ(r.code, nullptr) << path;
        EXPECT_EQ(r.out, want) << path;
    }
}

TEST_F(CompileFromFileTest, BinaryAndNulPaddedFilesDoNotCrash) {
    std::mt19937 random(42);
    std::string noise(64 * 1024, '\0');
    for (char& ch : noise)
        ch = static_cast<char>(random());
    Printed binary;
    Compile(&binary, dir.Write("noise.fx", noise), "cs_main", "cs_5_0");
    EXPECT_EQ(binary.hr, E_FAIL);
    EXPECT_TRUE(binary.out.ends_with(StatusLine("cs_main", "cs_5_0", E_FAIL))) << "got " << binary.out;

    Printed padded;
    Compile(&padded, dir.Write("padded.fx", kVertex + std::string(4096, '\0') + "garbage after the padding"),
            "vs_main", "vs_5_0");
    EXPECT_EQ(padded.hr, S_OK);
    EXPECT_EQ(padded.out, StatusLine("vs_main", "vs_5_0", S_OK));
}

// The program opens "main.fx" in the current directory, so includes beside it are found there.
TEST_F(CompileFromFileTest, IncludesBesideMainFx) {
    dir.Write("common.hlsl", "float4 Grey() { return 0.5; }\n");
    dir.Write("main.fx", "#include \"common.hlsl\"\nfloat4 ps_main() : SV_Target { return Grey(); }\n"
                         "#include \"absent.hlsl\"\n");
    dir.Write("good.fx", "#include \"common.hlsl\"\nfloat4 ps_main() : SV_Target { return Grey(); }\n");
    std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.dir);
    Printed good, bad;
    Compile(&good, "good.fx", "ps_main", "ps_5_0");
    Compile(&bad, "main.fx", "ps_main", "ps_5_0");
    std::filesystem::current_path(before);
    EXPECT_EQ(good.out, StatusLine("ps_main", "ps_5_0", S_OK));
    EXPECT_EQ(bad.hr, E_FAIL);
    EXPECT_EQ(bad.out.rfind("INFO : <source>:3: error:", 0), 0u) << "got " << bad.out;
    EXPECT_NE(bad.out.find("absent.hlsl"), std::string::npos) << "got " << bad.out;
}

} // namespace
