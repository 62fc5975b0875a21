#include "control_characters.h"

namespace platform {

namespace {

// The length of the control character at `i` (C0, DEL, or a C1 control in UTF-8), 0 for none.
size_t ControlAt(std::string_view text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F)
        return 1;
    if (c == 0xC2 && i + 1 < text.size()) {
        const unsigned char next = static_cast<unsigned char>(text[i + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

template <typename Put> void Escape(std::string_view text, Put put) {
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < text.size();) {
        const size_t control = ControlAt(text, i);
        if (control == 0) {
            put(text[i++]);
            continue;
        }
        for (size_t end = i + control; i < end; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            for (const char e : {'\\', 'x', kHex[c >> 4], kHex[c & 15]})
                put(e);
        }
    }
}

} // namespace

std::string EscapeControlCharacters(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    Escape(text, [&escaped](char c) { escaped += c; });
    return escaped;
}

void WriteEscapedLine(std::FILE* out, std::string_view prefix, std::string_view text) {
    // Through a buffer of its own, without allocating: standard error writes each call at once, and a
    // line in one write does not mix with another process's.
    char buffer[8192];
    size_t used = 0;
    auto put = [&](char c) {
        buffer[used++] = c;
        if (used == sizeof buffer) {
            std::fwrite(buffer, 1, used, out);
            used = 0;
        }
    };
    for (const char c : prefix)
        put(c);
    Escape(text, put);
    put('\n');
    std::fwrite(buffer, 1, used, out);
}

} // namespace platform
