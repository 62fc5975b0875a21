#include "shader_compile.h"

#include <cstdint>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

namespace {

// The source of one compile: whatever happens, the file is closed and the bytes freed when the
// call ends.
struct ShaderSource {
    FILE* file = nullptr;
    std::vector<char> bytes;
    int32_t size = 0;

    ~ShaderSource() {
        if (file)
            fclose(file);
    }

    void Close() {
        fclose(file);
        file = nullptr;
    }

    // Reads the whole file as text. A file that cannot be measured, is 2 GiB or more, or cannot be
    // read (a folder) leaves no source, as a missing file does.
    void Read() {
        long end = -1;
        if (fseek(file, 0, SEEK_END) == 0)
            end = ftell(file);
        if (end < 0 || end > INT32_MAX || fseek(file, 0, SEEK_SET) != 0) {
            Close();
            return;
        }
        size = static_cast<int32_t>(end);
        bytes.resize(size, 0);
        if (size > 0)
            fread(bytes.data(), 1, size, file);
        if (ferror(file)) {
            bytes.clear();
            size = 0;
        }
        Close();
    }
};

// Only a regular file is opened: opening a FIFO waits for a writer, and a device never ends.
bool IsRegularFile(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && (status.st_mode & S_IFMT) == S_IFREG;
}

} // namespace

HRESULT CompileShaderFile(const ShaderFileCompile& compile, ID3DBlob** code) {
    ShaderSource source;
    if (IsRegularFile(compile.path))
        source.file = fopen(compile.path, "r");
    if (source.file)
        source.Read();

    ID3DBlob* messages = nullptr;
    HRESULT hr = D3DCompile2(source.size ? source.bytes.data() : nullptr, source.size, compile.sourceName,
                             compile.defines, D3D_COMPILE_STANDARD_FILE_INCLUDE, compile.entry,
                             compile.target, compile.flags, 0, 0, NULL, 0, code, &messages);
    if (messages) {
        // The blob's own size bounds the text: a compiler need not end it with a NUL.
        const char* text = static_cast<const char*>(messages->GetBufferPointer());
        size_t length = messages->GetBufferSize();
        if (length > 0 && text[length - 1] == '\0')
            --length;
        printf("INFO : ");
        fwrite(text, 1, length, stdout);
        printf("\n");
        messages->Release();
        messages = nullptr;
    }
    printf("%s : %s %s::%08X\n", "D3DCompileShaderFromFile", compile.entry, compile.target,
           static_cast<unsigned>(hr));
    return hr;
}

HRESULT D3DCompileShaderFromFile(const char* path, const char* entry, const char* target, ID3DBlob** code) {
    const UINT flags =
        D3DCOMPILE_OPTIMIZATION_LEVEL3 | D3DCOMPILE_ENABLE_STRICTNESS | D3DCOMPILE_PREFER_FLOW_CONTROL;
    return CompileShaderFile({path, entry, target, NULL, NULL, flags}, code);
}
