#include "compiler_test_util.h"

#include <gtest/gtest.h>
#include <spirv-tools/libspirv.hpp>

#include <cerrno>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace fxtest {

void Compile(CompileResult* r, const std::string& source, const char* entry, const char* target, UINT flags,
             const char* name, ID3DInclude* include, const D3D_SHADER_MACRO* defines) {
    ID3DBlob* messages = nullptr;
    r->hr = D3DCompile2(source.data(), source.size(), name, defines, include, entry, target, flags, 0, 0,
                        nullptr, 0, &r->code, &messages);
    r->messages = Text(messages);
    if (messages)
        messages->Release();
}

platform::ShaderInfo Decode(ID3DBlob* code) {
    platform::ShaderInfo info;
    if (!code) {
        ADD_FAILURE() << "got no code blob, want one";
        return info;
    }
    EXPECT_TRUE(platform::DecodeShaderBlob(code->GetBufferPointer(), code->GetBufferSize(), &info))
        << "the code blob does not decode";
    return info;
}

std::string Text(ID3DBlob* messages) {
    if (!messages)
        return "";
    const char* text = static_cast<const char*>(messages->GetBufferPointer());
    size_t size = messages->GetBufferSize();
    EXPECT_GT(size, 0u);
    EXPECT_EQ(text[size - 1], '\0') << "message blob is not NUL-terminated";
    EXPECT_EQ(std::char_traits<char>::length(text) + 1, size) << "message blob holds a NUL before its end";
    return std::string(text);
}

namespace {

// Calls `visit(words, count)` for each instruction after the header.
template <typename Visit> void ForEachInstruction(const std::vector<uint32_t>& spirv, Visit visit) {
    for (size_t at = 5; at < spirv.size();) {
        uint32_t count = spirv[at] >> 16;
        if (count == 0 || count > spirv.size() - at)
            return;
        visit(&spirv[at], count);
        at += count;
    }
}

} // namespace

std::set<uint32_t> Bindings(const std::vector<uint32_t>& spirv) {
    constexpr uint32_t kOpDecorate = 71, kDecorationBinding = 33;
    std::set<uint32_t> bindings;
    ForEachInstruction(spirv, [&](const uint32_t* ins, uint32_t count) {
        if ((ins[0] & 0xffff) == kOpDecorate && count >= 4 && ins[2] == kDecorationBinding)
            bindings.insert(ins[3]);
    });
    return bindings;
}

bool DeclaresExtension(const std::vector<uint32_t>& spirv) {
    constexpr uint32_t kOpExtension = 10;
    bool found = false;
    ForEachInstruction(spirv,
                       [&](const uint32_t* ins, uint32_t) { found |= (ins[0] & 0xffff) == kOpExtension; });
    return found;
}

std::string ValidateForVulkan(const std::vector<uint32_t>& spirv) {
    spvtools::SpirvTools tools(SPV_ENV_VULKAN_1_3);
    std::string message;
    tools.SetMessageConsumer([&](spv_message_level_t, const char*, const spv_position_t&, const char* m) {
        message += m;
        message += "\n";
    });
    // The device enables scalar block layout, which structured buffers are packed by.
    spvtools::ValidatorOptions options;
    options.SetScalarBlockLayout(true);
    if (tools.Validate(spirv.data(), spirv.size(), options))
        return "";
    return message.empty() ? "invalid" : message;
}

bool NoChildren() {
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

const char* AloneMode() {
    return std::getenv("FXVIEW_TEST_ALONE");
}

int RunAlone(const std::string& mode, std::string* out,
             const std::function<void(pid_t, const std::string&)>& watch) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return -1;
    }
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        setenv("FXVIEW_TEST_ALONE", mode.c_str(), 1);
        execl("/proc/self/exe", "alone", filter.c_str(), "--gtest_brief=1", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
        out->append(buffer, static_cast<size_t>(n));
        if (watch)
            watch(pid, *out);
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

bool RanAlone() {
    if (AloneMode())
        return false;
    std::string out;
    const int status = RunAlone("1", &out);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the test, run alone, failed:\n" << out;
    return true;
}

} // namespace fxtest
