#include "shared/helpers.h"

#include "platform/files.h"
#include "platform/text.h"
#include "shared/errors.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>

namespace vesk {

std::string ModName;
float TimeFactor = 1.0f;

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// ---- text to numbers ----------------------------------------------------------

bool TryParseFloatVal(std::string_view s, double& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    size_t start = i;
    size_t mantissaDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != s.size()) return false;
    double v = 0;
    auto r = std::from_chars(s.data() + start, s.data() + s.size(), v, std::chars_format::general);
    // from_chars reports out-of-range for both overflow and underflow; only
    // an overflow is a bad number, an underflow is zero.
    if (r.ec == std::errc::result_out_of_range) {
        size_t e = s.find_first_of("eE");
        if (e == std::string_view::npos || s.find('-', e) == std::string_view::npos) return false;
        v = 0;
    } else if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
        return false;
    }
    out = negative ? -v : v;
    return std::isfinite(out);
}

int32_t SaturatedInt32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool TryParseInt32(std::string_view s, int32_t& out) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return false;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        int d = hex ? HexDigitValue(s[i]) : (IsDigit(s[i]) ? s[i] - '0' : -1);
        if (d < 0) return false;
        v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    if (hex) {
        // Hexadecimal spans the unsigned 32-bit range: "$FFFFFFFF" is -1.
        uint32_t u = static_cast<uint32_t>(v);
        if (negative) u = 0u - u;
        out = static_cast<int32_t>(u);
        return true;
    }
    if (negative ? v > 2147483648ull : v > 2147483647ull) return false;
    out = static_cast<int32_t>(negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v));
    return true;
}

float kws2f(const std::string& text, const std::string& context) {
    if (text.empty()) {
        ErrorReport("kws2f: _str=" + context, "mhl");
        return 0.0f;
    }
    double v = 0;
    if (!TryParseFloatVal(text, v) || std::fabs(v) > static_cast<double>(std::numeric_limits<float>::max())) {
        ErrorReport("Exception kws2f: _str=" + text + ": " + context, "mhl");
        return 0.0f;
    }
    return static_cast<float>(v);
}

int32_t kws2i(const std::string& text, const std::string& context) {
    if (text.empty()) {
        ErrorReport("kws2i: _str=\"\": " + context, "mhl");
        return 0;
    }
    int32_t v = 0;
    if (!TryParseInt32(text, v)) {
        ErrorReport("Exception kws2i: _str=" + text + ": " + context, "mhl");
        return 0;
    }
    return v;
}

double StrToExtDef(const std::string& text, double def) {
    double v = 0;
    return TryParseFloatVal(text, v) ? v : def;
}

// ---- numbers to text ----------------------------------------------------------

std::string IntToStr32(int32_t v) {
    return std::to_string(v);
}
std::string Int64ToStr(int64_t v) {
    return std::to_string(v);
}

std::string IntToHex8(int32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08" PRIX32, static_cast<uint32_t>(v));
    return buf;
}

std::string Int64ToHex8(int64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%08" PRIX64, static_cast<uint64_t>(v));
    return buf;
}

namespace {

// A positive value as significant digits d1 d2 ... and the decimal exponent
// of d1, rounded half away from zero as the runtime does (printf would round
// exact ties to even).
struct DecimalDigits {
    std::string digits;
    int exp = 0;
};

DecimalDigits ExactDigits(double a) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.39e", a);
    DecimalDigits d;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (IsDigit(*p)) d.digits += *p;
    d.exp = std::atoi(p + 1);
    return d;
}

// Keeps n >= 0 significant digits; n = 0 keeps only what rounds up into a new digit.
DecimalDigits RoundDigits(DecimalDigits d, int n) {
    bool up = static_cast<size_t>(n) < d.digits.size() && d.digits[static_cast<size_t>(n)] >= '5';
    d.digits.resize(static_cast<size_t>(n));
    if (up) {
        int i = n - 1;
        for (; i >= 0 && d.digits[static_cast<size_t>(i)] == '9'; --i) d.digits[static_cast<size_t>(i)] = '0';
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            d.digits.pop_back();
            if (d.digits.empty()) d.digits = "1";
            ++d.exp;
        }
    }
    return d;
}

bool AllZero(const std::string& digits) {
    return digits.find_first_not_of('0') == std::string::npos;
}

// The runtime's general real format with the given significant digits.
std::string FormatGeneral(double v, int precision) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    if (v == 0) return "0";
    DecimalDigits d = RoundDigits(ExactDigits(std::fabs(v)), precision);
    std::string digits = d.digits;
    int exp = d.exp;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out = v < 0 ? "-" : "";
    if (exp < -4 || exp >= precision) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exp);
    } else if (exp >= 0) {
        size_t intLen = static_cast<size_t>(exp) + 1;
        if (digits.size() <= intLen) {
            out += digits + std::string(intLen - digits.size(), '0');
        } else {
            out += digits.substr(0, intLen) + "." + digits.substr(intLen);
        }
    } else {
        out += "0." + std::string(static_cast<size_t>(-exp - 1), '0') + digits;
    }
    return out;
}

} // namespace

std::string FloatToStrRaw(double v) {
    return FormatGeneral(v, 15);
}

std::string FloatToStrFixedN(double v, int decimals) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    decimals = std::clamp(decimals, 0, 18);
    constexpr int kPrecision = 7;
    DecimalDigits d;
    d.digits = "0";
    if (v != 0) {
        DecimalDigits exact = ExactDigits(std::fabs(v));
        // More integer digits than the precision: the general form.
        if (RoundDigits(exact, kPrecision).exp + 1 > kPrecision) return FormatGeneral(v, kPrecision);
        int n = std::min(kPrecision, exact.exp + 1 + decimals);
        if (n >= 0) d = RoundDigits(exact, n);
        if (d.digits.empty()) d.digits = "0";
    }
    std::string intPart, frac;
    if (d.exp >= 0) {
        size_t intLen = static_cast<size_t>(d.exp) + 1;
        std::string digits =
            d.digits + std::string(intLen > d.digits.size() ? intLen - d.digits.size() : 0, '0');
        intPart = digits.substr(0, intLen);
        frac = digits.substr(intLen);
    } else {
        intPart = "0";
        frac = std::string(static_cast<size_t>(-d.exp - 1), '0') + d.digits;
    }
    frac.resize(static_cast<size_t>(decimals), '0');
    std::string out = intPart + (decimals > 0 ? "." + frac : "");
    return (v < 0 && !AllZero(d.digits)) ? "-" + out : out;
}

std::string FloatToStrFixed2(double v) {
    return FloatToStrFixedN(v, 2);
}

std::string Vec3ToStr(const Vec3& v, int decimals) {
    return "v(" + FloatToStrFixedN(v.x, decimals) + " " + FloatToStrFixedN(v.y, decimals) + " " +
           FloatToStrFixedN(v.z, decimals) + ")";
}

std::string MatrixToStr(const Matrix& m) {
    std::string out;
    for (int r = 0; r < 4; ++r) {
        if (r) out += '\r';
        for (int c = 0; c < 4; ++c) {
            if (c) out += "  ";
            out += FloatToStrRaw(m.m[r][c]);
        }
    }
    return out;
}

// ---- maths and colours --------------------------------------------------------

float LinearMap(float x, float x1, float x0, float y1, float y0) {
    float dx = x1 - x0;
    if (dx == 0) return 0;
    return y0 + (x - x0) * (y1 - y0) / dx;
}

float LinearMapRev(float x, float x1, float x0, float y1, float y0) {
    float dx = x0 - x1;
    if (dx == 0) return 0;
    return y1 + (x - x1) * (y0 - y1) / dx;
}

float RadToDeg(float x) {
    return static_cast<float>(x * 180.0 / std::numbers::pi);
}

namespace {
uint32_t ChannelToByte(double v) {
    return static_cast<uint32_t>(std::clamp(v, 0.0, 255.0));
}
} // namespace

uint32_t LerpColor(uint32_t a, uint32_t b, float t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ChannelToByte(ca + (cb - ca) * t) << shift;
    }
    return out;
}

uint32_t ScaleColorRGB(uint32_t c, float k) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ChannelToByte(((c >> shift) & 0xFF) * double(k)) << shift;
    return out;
}

// ---- text -------------------------------------------------------------------------

std::string CopyStr(const std::string& s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || index > static_cast<int>(s.size())) return {};
    return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

bool SameTextUpper(std::string_view a, std::string_view b) {
    return platform::UpperCaseCp1251(a) == platform::UpperCaseCp1251(b);
}

// ---- paths ------------------------------------------------------------------------

bool IsAbsoluteDrivePath(std::string_view p) {
    if (p.size() <= 3) return false;
    bool letter = (p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z');
    return letter && p[1] == ':' && (p[2] == '\\' || p[2] == '/');
}

namespace {
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && platform::SameTextCp1251(s.substr(0, prefix.size()), prefix);
}
} // namespace

std::string ResolveModPath(const std::string& path) {
    std::string original = platform::ToSlashes(path);
    if (ModName.empty()) return original;
    const std::string prefix = "mods/" + ModName + "/";
    const std::string exe = platform::ToSlashes(platform::ExeFolder());
    std::string rel = original;
    if (StartsWithNoCase(rel, prefix)) rel.erase(0, prefix.size());
    bool absolute = false;
    if (StartsWithNoCase(rel, exe + "/")) {
        absolute = true;
        rel.erase(0, exe.size() + 1);
    } else if (IsAbsoluteDrivePath(rel) || (!rel.empty() && rel[0] == '/')) {
        return original; // outside the program folder: no mod copy of it
    }
    const std::string candidate = exe + "/" + prefix + rel;
    if (!platform::PathExists(candidate)) return original;
    return absolute ? exe + "/" + prefix + rel : prefix + rel;
}

} // namespace vesk
