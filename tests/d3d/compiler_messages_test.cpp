// The compiler's message blob is printed by its size, not up to a NUL: Windows' compiler ends its
// text with one, Wine's does not, and then whatever follows the blob in memory must not appear.
#include "console.h"
#include "shader_compile.h"

#include <atomic>
#include <string>

namespace {

// A message blob holding `text`, with bytes of other data straight after it, as a heap would have.
class MessageBlob final : public ID3DBlob {
  public:
    explicit MessageBlob(const std::string& text) : bytes_(text + "STRAY HEAP BYTES"), size_(text.size()) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_.data(); }
    SIZE_T STDMETHODCALLTYPE GetBufferSize() override { return size_; }

  private:
    std::string bytes_;
    size_t size_;
    std::atomic<ULONG> references_{1};
};

std::string nextMessages;
HRESULT nextResult = S_OK;

} // namespace

// The compiler of this test: no code, the prepared messages and result.
extern "C" HRESULT WINAPI D3DCompile2(const void*, SIZE_T, const char*, const D3D_SHADER_MACRO*, ID3DInclude*,
                                      const char*, const char*, UINT, UINT, UINT, const void*, SIZE_T,
                                      ID3DBlob** shader, ID3DBlob** messages) {
    *shader = nullptr;
    *messages = new MessageBlob(nextMessages);
    return nextResult;
}

TEST(CompilerMessages, PrintedByTheBlobSizeLessOneTrailingNul) {
    struct Case {
        std::string blob;
        HRESULT result;
        std::string printed;
    } cases[] = {
        {"main.fx(3,1): error X3000: syntax error", E_FAIL,
         "INFO : main.fx(3,1): error X3000: syntax error\nD3DCompileShaderFromFile : ps_main "
         "ps_5_0::80004005\n"},
        {std::string("<source>:3: warning: unused\n\0", 29), S_OK,
         "INFO : <source>:3: warning: unused\n\nD3DCompileShaderFromFile : ps_main ps_5_0::00000000\n"},
    };
    for (const Case& c : cases) {
        nextMessages = c.blob;
        nextResult = c.result;
        ID3DBlob* code = nullptr;
        std::string out =
            CapturedStdout([&] { D3DCompileShaderFromFile("main.fx", "ps_main", "ps_5_0", &code); });
        EXPECT_EQ(out, c.printed);
        EXPECT_EQ(code, nullptr);
    }
}
