#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nimbary {

// The code point at `i` of UTF-8 text, advancing `i` past it; a malformed
// sequence gives U+FFFD and advances one byte.
inline uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    const size_t length = c >= 0xF8 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    uint32_t cp = c & (0x7F >> length);
    bool ok = length > 0 && i + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) {
        ok = (s[i + k] & 0xC0) == 0x80;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return cp;
}

}  // namespace nimbary
