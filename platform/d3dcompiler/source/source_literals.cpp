#include "source_literals.h"

#include "source_edits.h"
#include "tokens.h"

#include <cctype>
#include <cstring>

namespace platform::d3dcompiler {

namespace {

// The value of a decimal or hexadecimal integer literal, `digits` without its suffix, when it needs
// more than 32 bits; false for a narrower literal, a float, an octal one or one wider than 64 bits.
bool WideValue(std::string_view digits, uint64_t* value) {
    const bool hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (hex)
        digits.remove_prefix(2);
    else if (digits.size() > 1 && digits[0] == '0')
        return false;
    uint64_t v = 0;
    for (char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : hex && std::isxdigit(static_cast<unsigned char>(c))
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        const uint64_t base = hex ? 16 : 10;
        if (digit < 0 || v > (UINT64_MAX - digit) / base)
            return false;
        v = v * base + digit;
    }
    *value = v;
    return !digits.empty() && v > UINT32_MAX;
}

} // namespace

void WrapWideLiteral(const Tokens& t, size_t i, SourceEdits* edits) {
    const std::string_view word = t.Text(i);
    size_t digits = word.size();
    while (digits > 0 && std::strchr("uUlL", word[digits - 1]))
        --digits;
    uint64_t value;
    if (WideValue(word.substr(0, digits), &value))
        edits->Replace(t[i].begin, t[i].begin + digits, std::to_string(value & UINT32_MAX));
}

} // namespace platform::d3dcompiler
