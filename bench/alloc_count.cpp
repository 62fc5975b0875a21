// alloc_count: preloaded into a run (LD_PRELOAD) to count heap allocations without changing the
// program. It counts malloc, calloc, realloc, the aligned allocations and operator new: in all threads,
// in the main thread, and those called straight from the executable's own code (for fxview, the
// program and its statically linked platform layer; not the Vulkan driver or other shared libraries).
// On SIGUSR1 it writes "alloc TOTAL MAIN OWN" to standard error.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <link.h>
#include <new>
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
std::atomic<uint64_t> own{0};
pid_t mainId = 0;
uintptr_t ownBegin = 0;
uintptr_t ownEnd = 0;

void Count(const void* caller) {
    total.fetch_add(1, std::memory_order_relaxed);
    if (gettid() == mainId)
        mainThread.fetch_add(1, std::memory_order_relaxed);
    const auto address = reinterpret_cast<uintptr_t>(caller);
    if (address >= ownBegin && address < ownEnd)
        own.fetch_add(1, std::memory_order_relaxed);
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
    char line[96];
    size_t n = 0;
    auto put = [&](const char* text, size_t length) {
        std::memcpy(line + n, text, length);
        n += length;
    };
    put("alloc", 5);
    for (uint64_t value : {total.load(), mainThread.load(), own.load()}) {
        char digits[24];
        char* first = Digits(value, digits + sizeof digits);
        put(" ", 1);
        put(first, static_cast<size_t>(digits + sizeof digits - first));
    }
    put("\n", 1);
    ssize_t written = write(STDERR_FILENO, line, n);
    (void)written;
}

// The executable comes first in the loader's list; its loaded segments are its code and data.
int FindExecutable(dl_phdr_info* info, size_t, void*) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        const uintptr_t end = begin + segment.p_memsz;
        ownBegin = ownBegin ? (begin < ownBegin ? begin : ownBegin) : begin;
        ownEnd = end > ownEnd ? end : ownEnd;
    }
    return 1;
}

__attribute__((constructor)) void Start() {
    mainId = getpid();
    dl_iterate_phdr(FindExecutable, nullptr);
    struct sigaction action = {};
    action.sa_handler = Report;
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

void* Aligned(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size ? size : 1);
}

} // namespace

extern "C" {

void* malloc(size_t size) {
    Count(__builtin_return_address(0));
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    Count(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    Count(__builtin_return_address(0));
    void* pointer = __libc_memalign(alignment, size);
    if (!pointer)
        return ENOMEM;
    *out = pointer;
    return 0;
}
}

// operator new is counted where it is called, not inside the C++ runtime that would call malloc.
void* operator new(size_t size) {
    Count(__builtin_return_address(0));
    if (void* pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void* operator new[](size_t size) {
    Count(__builtin_return_address(0));
    if (void* pointer = __libc_malloc(size ? size : 1))
        return pointer;
    throw std::bad_alloc();
}

void* operator new(size_t size, const std::nothrow_t&) noexcept {
    Count(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    Count(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}

void* operator new(size_t size, std::align_val_t alignment) {
    Count(__builtin_return_address(0));
    if (void* pointer = Aligned(static_cast<size_t>(alignment), size))
        return pointer;
    throw std::bad_alloc();
}

void* operator new[](size_t size, std::align_val_t alignment) {
    Count(__builtin_return_address(0));
    if (void* pointer = Aligned(static_cast<size_t>(alignment), size))
        return pointer;
    throw std::bad_alloc();
}
