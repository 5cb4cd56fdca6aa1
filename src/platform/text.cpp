#include "platform/text.h"

#include <array>

namespace vesk::platform {
namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

char32_t Cp1251ToCodePoint(unsigned char c) {
    if (c < 0x80) return c;
    if (c >= 0xC0) return 0x0410 + (c - 0xC0);
    return kHigh[c - 0x80];
}

char CodePointToCp1251(char32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(0xC0 + (cp - 0x0410));
    for (size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
    return '?';
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) AppendUtf8(out, Cp1251ToCodePoint(c));
    return out;
}

std::string Utf8ToCp1251(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = text[i];
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        if (i + len > text.size()) {
            out += '?';
            break;
        }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = text[i + k];
            if ((cc & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += CodePointToCp1251(cp);
        i += len;
    }
    return out;
}

std::u16string Cp1251ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (unsigned char c : text) out += static_cast<char16_t>(Cp1251ToCodePoint(c));
    return out;
}

std::string Utf16ToCp1251(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out += CodePointToCp1251(c);
    return out;
}

char UpperCp1251(char ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 0xE0) return static_cast<char>(c - 32);
    switch (c) {
    case 0xB8:
        return static_cast<char>(0xA8); // yo
    case 0xB3:
        return static_cast<char>(0xB2);
    case 0xBF:
        return static_cast<char>(0xAF);
    case 0xBA:
        return static_cast<char>(0xAA);
    case 0xA2:
        return static_cast<char>(0xA1);
    case 0xB4:
        return static_cast<char>(0xA5);
    case 0x90:
        return static_cast<char>(0x80);
    case 0x83:
        return static_cast<char>(0x81);
    case 0x9A:
        return static_cast<char>(0x8A);
    case 0x9C:
        return static_cast<char>(0x8C);
    case 0x9D:
        return static_cast<char>(0x8D);
    case 0x9E:
        return static_cast<char>(0x8E);
    case 0x9F:
        return static_cast<char>(0x8F);
    case 0xBC:
        return static_cast<char>(0xA3);
    case 0xBE:
        return static_cast<char>(0xBD);
    default:
        return ch;
    }
}

char LowerCp1251(char ch) {
    // Built once from the upper-case mapping so both directions always agree.
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int k = 0; k < 256; ++k) t[k] = static_cast<unsigned char>(k);
        for (int k = 255; k >= 0; --k) {
            unsigned char up = static_cast<unsigned char>(UpperCp1251(static_cast<char>(k)));
            if (up != k) t[up] = static_cast<unsigned char>(k);
        }
        return t;
    }();
    return static_cast<char>(table[static_cast<unsigned char>(ch)]);
}

std::string UpperCaseCp1251(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = UpperCp1251(c);
    return out;
}

std::string LowerCaseCp1251(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerCp1251(c);
    return out;
}

bool SameTextCp1251(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperCp1251(a[i]) != UpperCp1251(b[i])) return false;
    return true;
}

} // namespace vesk::platform
