// The compatibility suite: each shader in this folder is HLSL as written for Windows' compiler, with
// its expected outcome in its first comment lines, checked on the device:
//   // expect: 1 2.5 -3   the first words of the u0 buffer after one group ran (a '.' marks a float)
//   // error: 7: text     the compile fails with a message at that line holding that text
//   // stride: 16         the u0 buffer's structure stride (4 when absent)
//   // flags: row_major   compiled with D3DCOMPILE_PACK_MATRIX_ROW_MAJOR
// The constant buffer at b0 holds the float n in its word n, so a shader reading a member there
// shows where its packing put it.
#include "d3d11/d3d11_test.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Expectation {
    std::vector<uint32_t> words;
    int errorLine = 0;
    std::string errorText;
    UINT stride = 4;
    UINT flags =
        D3DCOMPILE_OPTIMIZATION_LEVEL3 | D3DCOMPILE_ENABLE_STRICTNESS | D3DCOMPILE_PREFER_FLOW_CONTROL;
};

Expectation ReadExpectation(const std::string& source) {
    Expectation e;
    std::istringstream lines(source);
    std::string line;
    while (std::getline(lines, line) && line.compare(0, 3, "// ") == 0) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line.substr(3));
        std::string key;
        words >> key;
        if (key == "expect:") {
            for (std::string w; words >> w;) {
                if (w.find('.') != std::string::npos) {
                    float f = std::stof(w);
                    uint32_t bits;
                    std::memcpy(&bits, &f, 4);
                    e.words.push_back(bits);
                } else {
                    e.words.push_back(static_cast<uint32_t>(std::stoll(w)));
                }
            }
        } else if (key == "error:") {
            char colon;
            words >> e.errorLine >> colon;
            std::getline(words >> std::ws, e.errorText);
        } else if (key == "stride:") {
            words >> e.stride;
        } else if (key == "flags:") {
            e.flags |= D3DCOMPILE_PACK_MATRIX_ROW_MAJOR;
        }
    }
    return e;
}

using conformance::Ref;

class CompatTest : public d3dtest::D3D11Test {
  protected:
    // Compiles and runs one shader, checking its outcome against its expectation.
    void Check(const std::string& path, ID3D11Buffer* constants) {
        std::ifstream in(path, std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const Expectation want = ReadExpectation(source);
        Ref<ID3DBlob> code, messages;
        HRESULT hr = D3DCompile2(source.data(), source.size(), path.c_str(), nullptr,
                                 D3D_COMPILE_STANDARD_FILE_INCLUDE, "cs_main", "cs_5_0", want.flags, 0, 0,
                                 nullptr, 0, code.out(), messages.out());
        const std::string text = messages ? static_cast<const char*>(messages->GetBufferPointer()) : "";
        if (want.errorLine) {
            EXPECT_EQ(hr, E_FAIL) << path;
            const std::string where = path + ":" + std::to_string(want.errorLine) + ": error";
            EXPECT_NE(text.find(where), std::string::npos) << path << " wants " << where << ", got " << text;
            EXPECT_NE(text.find(want.errorText), std::string::npos) << path << " got " << text;
            return;
        }
        ASSERT_EQ(hr, S_OK) << path << ": " << text;
        Ref<ID3D11ComputeShader> shader;
        ASSERT_EQ(device->CreateComputeShader(code->GetBufferPointer(), code->GetBufferSize(), nullptr,
                                              shader.out()),
                  S_OK)
            << path;
        D3D11_BUFFER_DESC desc = {64 * want.stride,
                                  D3D11_USAGE_DEFAULT,
                                  D3D11_BIND_UNORDERED_ACCESS,
                                  0,
                                  D3D11_RESOURCE_MISC_BUFFER_STRUCTURED,
                                  want.stride};
        Ref<ID3D11Buffer> buffer;
        Ref<ID3D11UnorderedAccessView> view;
        ASSERT_EQ(device->CreateBuffer(&desc, nullptr, buffer.out()), S_OK);
        ASSERT_EQ(device->CreateUnorderedAccessView(buffer.get(), nullptr, view.out()), S_OK);
        context->CSSetShader(shader.get(), nullptr, 0);
        context->CSSetConstantBuffers(0, 1, &constants);
        ID3D11UnorderedAccessView* views[] = {view.get()};
        context->CSSetUnorderedAccessViews(0, 1, views, nullptr);
        context->Dispatch(1, 1, 1);
        ID3D11UnorderedAccessView* none = nullptr;
        context->CSSetUnorderedAccessViews(0, 1, &none, nullptr);
        context->CSSetShader(nullptr, nullptr, 0);
        const std::vector<uint8_t> bytes = d3dtest::ReadBuffer(device, context, buffer.get());
        std::vector<uint32_t> got(want.words.size());
        ASSERT_GE(bytes.size(), got.size() * 4) << path;
        if (!got.empty())
            std::memcpy(got.data(), bytes.data(), got.size() * 4);
        EXPECT_EQ(got, want.words) << path;
    }
};

TEST_F(CompatTest, WindowsShadersCompileAndComputeAsOnWindows) {
    MakeDevice();
    float pattern[64];
    for (int i = 0; i < 64; ++i)
        pattern[i] = float(i);
    D3D11_BUFFER_DESC cbDesc = {sizeof pattern, D3D11_USAGE_DEFAULT, D3D11_BIND_CONSTANT_BUFFER, 0, 0, 0};
    D3D11_SUBRESOURCE_DATA cbData = {pattern, 0, 0};
    ID3D11Buffer* constants = nullptr;
    ASSERT_EQ(device->CreateBuffer(&cbDesc, &cbData, &constants), S_OK);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FXVIEW_COMPAT_DIR)) {
        if (entry.path().extension() != ".hlsl")
            continue;
        ++files;
        Check(entry.path().string(), constants);
    }
    EXPECT_GT(files, 0) << "no shaders in " << FXVIEW_COMPAT_DIR;
    constants->Release();
}

} // namespace
