// fxview-compile: its options in either spelling, and the program on files: a good one writes a SPIR-V
// module, a bad one fails with its line, /D reaches the preprocessor and /I is searched last.
#include "command_line.h"

#include "files.h"

#include <d3dcompiler.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct Parsed {
    bool ok;
    CommandLine line;
    std::string error;
};

Parsed Parse(const std::vector<std::string>& arguments) {
    Parsed p;
    p.ok = ParseCommandLine(arguments, &p.line, &p.error);
    return p;
}

TEST(CompileToolOptions, BothSpellingsWithValuesAttachedOrApart) {
    const Parsed p = Parse({"/T", "cs_5_0", "-ECSMain", "/DA", "-D", "B=2", "/Iinc", "-I", "/opt/shared",
                            "/Fo", "out.spv", "/Zpr", "-O3", "/WX", "-nologo", "/home/author/a.hlsl"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.line.target, "cs_5_0");
    EXPECT_EQ(p.line.entry, "CSMain");
    const std::vector<std::pair<std::string, std::string>> defines = {{"A", "1"}, {"B", "2"}};
    EXPECT_EQ(p.line.defines, defines);
    EXPECT_EQ(p.line.includeDirectories, (std::vector<std::string>{"inc", "/opt/shared"}));
    EXPECT_EQ(p.line.output, "out.spv");
    EXPECT_EQ(p.line.file, "/home/author/a.hlsl");
    EXPECT_EQ(p.line.flags, UINT(D3DCOMPILE_PACK_MATRIX_ROW_MAJOR | D3DCOMPILE_OPTIMIZATION_LEVEL3 |
                                 D3DCOMPILE_WARNINGS_ARE_ERRORS));
}

TEST(CompileToolOptions, DefaultsAndTheLaterOfTwoChoices) {
    const Parsed plain = Parse({"-Tps_5_0", "a.hlsl"});
    ASSERT_TRUE(plain.ok) << plain.error;
    EXPECT_EQ(plain.line.entry, "main");
    EXPECT_EQ(plain.line.flags, UINT(D3DCOMPILE_OPTIMIZATION_LEVEL1));
    const Parsed later = Parse({"/T", "ps_5_0", "/Zpr", "/Zpc", "/Od", "/O2", "a.hlsl"});
    ASSERT_TRUE(later.ok) << later.error;
    EXPECT_EQ(later.line.flags, UINT(D3DCOMPILE_PACK_MATRIX_COLUMN_MAJOR | D3DCOMPILE_OPTIMIZATION_LEVEL2));
}

TEST(CompileToolOptions, BadUsageIsRefusedWithTheReason) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                      // nothing at all
        {"a.hlsl"},                              // no target
        {"/T", "cs_5_0", "/Q", "a.hlsl"},        // an option Windows' compiler has but this one lacks
        {"/T", "cs_5_0", "/E", "a.hlsl"},        // the entry point's value missing
        {"b.hlsl", "/T", "cs_5_0", "a.hlsl"},    // two files
        {"/T", "cs_5_0", "/D", "=1", "a.hlsl"}}; // a macro without a name
    for (const auto& arguments : bad) {
        const Parsed p = Parse(arguments);
        EXPECT_FALSE(p.ok) << testing::PrintToString(arguments);
        EXPECT_FALSE(p.error.empty());
    }
}

struct Outcome {
    int status;
    std::string output; // standard output and error together
};

class CompileTool : public testing::Test {
  protected:
    void Write(const std::string& name, const std::string& text) { scratch_.Write(name, text); }

    // Runs fxview-compile in the scratch folder with `arguments`.
    Outcome Compile(const std::string& arguments) {
        const std::string command =
            "cd '" + dir_.string() + "' && '" FXVIEW_COMPILE "' " + arguments + " 2>&1";
        Outcome run{-1, ""};
        FILE* out = popen(command.c_str(), "r");
        if (!out)
            return run;
        char chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, out)) > 0)
            run.output.append(chunk, n);
        const int status = pclose(out);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    Scratch scratch_;
    const fs::path& dir_ = scratch_.dir;
};

constexpr char kKernel[] = "RWStructuredBuffer<uint> o : register(u0);\n"
                           "[numthreads(SIZE, 1, 1)]\n"
                           "void CSMain(uint3 id : SV_DispatchThreadID) { o[id.x] = K * id.x; }\n";

TEST_F(CompileTool, AGoodFileWritesItsSpirvAndABadOneFailsWithItsLine) {
    Write("shaders/kernel.hlsl", "#include \"constants.hlsli\"\n#define SIZE 64\n" + std::string(kKernel));
    Write("shaders/constants.hlsli", "static const uint K = 3;\n");
    const Outcome good = Compile("-T cs_5_0 -E CSMain /Fo kernel.spv shaders/kernel.hlsl");
    EXPECT_EQ(good.status, 0) << good.output;
    EXPECT_NE(good.output.find("D3DCompileShaderFromFile : CSMain cs_5_0::00000000\n"), std::string::npos)
        << good.output;
    uint32_t magic = 0;
    std::ifstream(dir_ / "kernel.spv", std::ios::binary).read(reinterpret_cast<char*>(&magic), sizeof magic);
    EXPECT_EQ(magic, 0x07230203u);
    EXPECT_EQ(fs::file_size(dir_ / "kernel.spv") % 4, 0u);

    Write("bad.hlsl", "[numthreads(1, 1, 1)]\nvoid main()\n{\n    uint x = ;\n}\n");
    const Outcome bad = Compile("/T cs_5_0 /Fo bad.spv bad.hlsl");
    EXPECT_EQ(bad.status, 1) << bad.output;
    EXPECT_NE(bad.output.find("INFO : bad.hlsl:4:"), std::string::npos) << bad.output;
    EXPECT_NE(bad.output.find("D3DCompileShaderFromFile : main cs_5_0::80004005\n"), std::string::npos)
        << bad.output;
    EXPECT_FALSE(fs::exists(dir_ / "bad.spv"));

    const Outcome usage = Compile("/T cs_5_0 /Q bad.hlsl");
    EXPECT_EQ(usage.status, 1);
    EXPECT_NE(usage.output.find("usage: fxview-compile"), std::string::npos) << usage.output;
}

TEST_F(CompileTool, DefinesReachTheSourceAndIncludeFoldersAreSearchedLast) {
    Write("kernel.hlsl", "#include \"constants.hlsli\"\n#ifndef SIZE\n#error SIZE not given\n#endif\n" +
                             std::string(kKernel));
    Write("common/constants.hlsli", "static const uint K = 3;\n");
    EXPECT_EQ(Compile("/T cs_5_0 /E CSMain /D SIZE=32 kernel.hlsl").status, 1) << "found without /I";
    const Outcome found = Compile("/T cs_5_0 /E CSMain /D SIZE=32 /I common kernel.hlsl");
    EXPECT_EQ(found.status, 0) << found.output;
    const Outcome undefined = Compile("/T cs_5_0 /E CSMain /I common kernel.hlsl");
    EXPECT_EQ(undefined.status, 1);
    EXPECT_NE(undefined.output.find("SIZE not given"), std::string::npos) << undefined.output;

    // A file beside the including one is found before the same name in an /I folder.
    Write("shaders/kernel.hlsl", "#include \"constants.hlsli\"\n" + std::string(kKernel));
    Write("shaders/constants.hlsli", "static const uint K = 5;\n");
    Write("wrong/constants.hlsli", "#error the /I folder was searched first\n");
    const Outcome beside = Compile("/T cs_5_0 /E CSMain -DSIZE=8 -Iwrong shaders/kernel.hlsl");
    EXPECT_EQ(beside.status, 0) << beside.output;
}

} // namespace
