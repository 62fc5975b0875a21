// alloc_count: preloaded into a run (LD_PRELOAD) to count heap allocations without changing the
// program. It counts every malloc, calloc, realloc and aligned allocation, in all threads and in the
// main thread alone, and on SIGUSR1 writes "alloc TOTAL MAIN" to standard error.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<uint64_t> total{0};
std::atomic<uint64_t> mainThread{0};
pid_t mainId = 0;

void Count() {
    total.fetch_add(1, std::memory_order_relaxed);
    if (gettid() == mainId)
        mainThread.fetch_add(1, std::memory_order_relaxed);
}

// Decimal digits of `value` written backwards into the end of `text`; returns the first digit.
char* Digits(uint64_t value, char* end) {
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    return end;
}

// Only async-signal-safe calls: formatting by hand, one write.
void Report(int) {
    char line[64];
    char a[24], b[24];
    char* totalText = Digits(total.load(), a + sizeof a);
    char* mainText = Digits(mainThread.load(), b + sizeof b);
    size_t n = 0;
    auto put = [&](const char* text, size_t length) {
        std::memcpy(line + n, text, length);
        n += length;
    };
    put("alloc ", 6);
    put(totalText, static_cast<size_t>(a + sizeof a - totalText));
    put(" ", 1);
    put(mainText, static_cast<size_t>(b + sizeof b - mainText));
    put("\n", 1);
    ssize_t written = write(STDERR_FILENO, line, n);
    (void)written;
}

__attribute__((constructor)) void Start() {
    mainId = getpid();
    struct sigaction action = {};
    action.sa_handler = Report;
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

} // namespace

extern "C" {

void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    Count();
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    Count();
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer)
        return ENOMEM;
    *out = pointer;
    return 0;
}
}
