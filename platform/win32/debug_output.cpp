#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

// A console shows each line as it is printed; a pipe or a file should get it as promptly.
struct LineBufferedStdout {
    LineBufferedStdout() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }
};
const LineBufferedStdout lineBufferedStdout;

} // namespace

// A debugger shows each string as a line of its own; standard error is where Linux users look.
void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (!lpOutputString)
        return;
    size_t length = std::strlen(lpOutputString);
    std::fwrite(lpOutputString, 1, length, stderr);
    if (length == 0 || lpOutputString[length - 1] != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}
