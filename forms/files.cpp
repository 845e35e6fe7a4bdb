#include "forms/files.h"

#include <cstdint>

namespace forms {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

#ifdef _WIN32

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6U));
        out += static_cast<char>(0x80 | (cp & 0x3FU));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12U));
        out += static_cast<char>(0x80 | ((cp >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (cp & 0x3FU));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18U));
        out += static_cast<char>(0x80 | ((cp >> 12U) & 0x3FU));
        out += static_cast<char>(0x80 | ((cp >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (cp & 0x3FU));
    }
}

// UTF-16 to UTF-8; a surrogate without its pair becomes U+FFFD.
std::string utf8From(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<std::uint32_t>(static_cast<std::uint16_t>(text[i]));
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size()) {
            const auto low = static_cast<std::uint32_t>(static_cast<std::uint16_t>(text[i + 1]));
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10U) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) {
            out += kReplacement;
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

#else

// Bytes kept where they are valid UTF-8; each maximal run that starts a
// sequence but cannot finish it, and each stray byte, becomes one U+FFFD.
std::string utf8From(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += bytes[i++];
            continue;
        }
        // The length of the sequence and the range its second byte must be in.
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
        }
        std::size_t valid = length == 0 ? 0 : 1;
        while (valid > 0 && valid < length && i + valid < bytes.size()) {
            const auto b = static_cast<unsigned char>(bytes[i + valid]);
            if (b < (valid == 1 ? low : 0x80) || b > (valid == 1 ? high : 0xBF)) {
                break;
            }
            ++valid;
        }
        if (length != 0 && valid == length) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            i += valid == 0 ? 1 : valid;
        }
    }
    return out;
}

#endif

}  // namespace

std::string displayPath(const NativePath& path) {
    return utf8From(path.native());
}

}  // namespace forms
