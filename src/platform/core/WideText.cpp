#include "platform/core/WideText.h"

#include <cstring>
#include <vector>

#include "platform/core/Seam.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point of the UTF-8 sequence at `text`, advancing `at` past it; a
// byte that does not begin a well-formed sequence is consumed alone as U+FFFD.
char32_t DecodeUtf8(const unsigned char* text, std::size_t size, std::size_t& at) {
    unsigned char lead = text[at++];
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
    if (extra < 0 || at + extra > size) return kReplacement;
    char32_t point = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((text[at + i] & 0xC0) != 0x80) return kReplacement;
        point = point << 6 | (text[at + i] & 0x3F);
    }
    // Overlong forms, surrogates and points past U+10FFFF are not UTF-8.
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[extra] || (point >= 0xD800 && point < 0xE000) || point > 0x10FFFF) return kReplacement;
    at += extra;
    return point;
}

void AppendUtf8(std::string& out, char32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
    } else if (point < 0x800) {
        out += static_cast<char>(0xC0 | point >> 6);
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += static_cast<char>(0xE0 | point >> 12);
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | point >> 18);
        out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (point & 0x3F));
    }
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int bytes, WCHAR* wide, int wideChars) {
    if (SeamCall("MultiByteToWideChar", text ? text : "")) return 0;
    if (codePage != CP_ACP || (flags & ~MB_PRECOMPOSED) != 0 || !text || bytes < -1 || wideChars < 0 ||
        (wideChars > 0 && !wide))
        return 0;
    std::size_t size = bytes == -1 ? std::strlen(text) + 1 : static_cast<std::size_t>(bytes);
    const auto* in = reinterpret_cast<const unsigned char*>(text);
    std::vector<WCHAR> units;
    for (std::size_t at = 0; at < size;) {
        char32_t point = DecodeUtf8(in, size, at);
        if (point < 0x10000) {
            units.push_back(static_cast<WCHAR>(point));
        } else {
            units.push_back(static_cast<WCHAR>(0xD800 + ((point - 0x10000) >> 10)));
            units.push_back(static_cast<WCHAR>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        }
    }
    if (units.empty()) return 0;
    if (wideChars == 0) return static_cast<int>(units.size());
    if (units.size() > static_cast<std::size_t>(wideChars)) return 0;
    std::memcpy(wide, units.data(), units.size() * sizeof(WCHAR));
    return static_cast<int>(units.size());
}

std::string NarrowText(const WCHAR* wide) {
    std::string out;
    for (std::size_t at = 0; wide && wide[at]; ++at) {
        char32_t unit = wide[at];
        if (unit >= 0xD800 && unit < 0xDC00 && wide[at + 1] >= 0xDC00 && wide[at + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (wide[at + 1] - 0xDC00));
            ++at;
        } else {
            AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
        }
    }
    return out;
}
