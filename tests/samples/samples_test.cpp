// Every sample compiles at its three entry points, from its own folder as `make run SAMPLE=name`
// runs it, and binds what the program binds: b0 everywhere, u0 for compute, u1 for pixel.
#include <shader_blob.h>
#include <shader_compile.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Entry {
    const char* name;
    const char* target;
    platform::ShaderStage stage;
    int uavRegister; // -1: none
};

const Entry kEntries[] = {
    {"vs_main", "vs_5_0", platform::ShaderStage::Vertex, -1},
    {"ps_main", "ps_5_0", platform::ShaderStage::Pixel, 1},
    {"cs_main", "cs_5_0", platform::ShaderStage::Compute, 0},
};

TEST(Samples, EachCompilesAtEveryEntryPointWithTheProgramsBindings) {
    fs::path samples = fs::path(std::getenv("FXVIEW_SOURCE_DIR")) / "samples";
    fs::path here = fs::current_path();
    int count = 0;
    for (const fs::directory_entry& sample : fs::directory_iterator(samples)) {
        if (!fs::exists(sample.path() / "main.fx"))
            continue;
        ++count;
        fs::current_path(sample.path());
        for (const Entry& e : kEntries) {
            ID3DBlob* code = nullptr;
            testing::internal::CaptureStdout();
            HRESULT hr = D3DCompileShaderFromFile("main.fx", e.name, e.target, &code);
            std::string out = testing::internal::GetCapturedStdout();
            std::string where = sample.path().filename().string() + " " + e.name;
            ASSERT_EQ(hr, S_OK) << where << ":\n" << out;
            platform::ShaderInfo info;
            ASSERT_TRUE(platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info));
            code->Release();
            EXPECT_EQ(info.stage, e.stage) << where;
            EXPECT_EQ(out.find("INFO : "), std::string::npos) << where << " compiles with warnings:\n" << out;
            if (e.uavRegister >= 0) {
                unsigned long uavs =
                    info.usedRegisters[static_cast<int>(platform::RegisterClass::UnorderedAccess)].to_ulong();
                EXPECT_EQ(uavs, 1ul << e.uavRegister) << where;
            }
        }
    }
    fs::current_path(here);
    EXPECT_GE(count, 3) << "samples found in " << samples;
}

} // namespace
