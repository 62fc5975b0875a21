// Every sample compiles at its three entry points, from its own folder as `make run SAMPLE=name`
// runs it, without warnings, and binds what the program binds: u0 for compute, u1 for pixel.
#include <shader_blob.h>
#include <shader_compile.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

TEST(Samples, EachCompilesAtEveryEntryPointWithTheProgramsBindings) {
    const struct {
        const char *name, *target;
        platform::ShaderStage stage;
        unsigned long uavs; // the unordered-access registers it uses, as a mask
    } entries[] = {
        {"vs_main", "vs_5_0", platform::ShaderStage::Vertex, 0},
        {"ps_main", "ps_5_0", platform::ShaderStage::Pixel, 1ul << 1},
        {"cs_main", "cs_5_0", platform::ShaderStage::Compute, 1ul << 0},
    };
    const fs::path samples = fs::path(std::getenv("FXVIEW_SOURCE_DIR")) / "samples",
                   here = fs::current_path();
    int count = 0;
    for (const fs::directory_entry& sample : fs::directory_iterator(samples)) {
        if (!fs::exists(sample.path() / "main.fx"))
            continue;
        ++count;
        fs::current_path(sample.path());
        for (const auto& e : entries) {
            SCOPED_TRACE(sample.path().filename().string() + " " + e.name);
            ID3DBlob* code = nullptr;
            testing::internal::CaptureStdout();
            const HRESULT hr = D3DCompileShaderFromFile("main.fx", e.name, e.target, &code);
            const std::string out = testing::internal::GetCapturedStdout();
            ASSERT_EQ(hr, S_OK) << out;
            EXPECT_EQ(out.find("INFO : "), std::string::npos) << "warnings:\n" << out;
            platform::ShaderInfo info;
            ASSERT_TRUE(platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info));
            code->Release();
            EXPECT_EQ(info.stage, e.stage);
            EXPECT_EQ(
                info.usedRegisters[static_cast<int>(platform::RegisterClass::UnorderedAccess)].to_ulong(),
                e.uavs);
        }
    }
    fs::current_path(here);
    EXPECT_GE(count, 3) << "samples found in " << samples;
}
