#pragma once
// Small shared helpers: script text to numbers with an error context, the
// runtime's number texts, flag words, colours, list helpers and mod paths.
#include "platform/math_types.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// The active mod's folder name under "mods/"; empty when no mod is active.
extern std::string ModName;
// Multiplies the frame time of every tick.
extern float TimeFactor;

// ---- text to numbers ----------------------------------------------------------
// Float with the runtime's Val rules: optional sign, digits with an optional
// "." part, optional exponent; no blanks, no ",". Empty or bad text is a
// fatal report naming the text and the caller's context.
float kws2f(const std::string& text, const std::string& context);
// Integer with the runtime's StrToInt rules: leading blanks, optional sign,
// decimal digits or hexadecimal after "$", "0x" or "x" (hex covers the
// unsigned 32-bit range). Empty or bad text is a fatal report.
int32_t kws2i(const std::string& text, const std::string& context);
// The same float rules; empty or bad text gives the default.
double StrToExtDef(const std::string& text, double def);
// Quiet forms for callers that decide for themselves what a bad text means.
bool TryParseFloatVal(std::string_view text, double& out);
bool TryParseInt32(std::string_view text, int32_t& out);
// A number from a script or a file as a whole number, cut toward zero: values
// past the 32-bit range give its ends, NaN gives 0 (a plain cast would be
// undefined for them).
int32_t SaturatedInt32(double value);

// 0..15 for a hexadecimal digit (either case), -1 otherwise.
int HexDigitValue(char c);

// ---- numbers to text ----------------------------------------------------------
std::string IntToStr32(int32_t v);
std::string Int64ToStr(int64_t v);
// Upper-case hexadecimal, at least 8 digits.
std::string IntToHex8(int32_t v);
std::string Int64ToHex8(int64_t v);
// The runtime's default real text: 15 significant digits, no trailing zeros,
// "1.5E-5" / "1E20" outside 1E-5 .. 1E15, "0", "NAN", "INF", "-INF".
std::string FloatToStrRaw(double v);
// Fixed-point text with 2 or n decimals, at most 7 significant digits.
std::string FloatToStrFixed2(double v);
std::string FloatToStrFixedN(double v, int decimals);
// "v(" x " " y " " z ")" with the given decimals.
std::string Vec3ToStr(const Vec3& v, int decimals);
// Four rows of four numbers separated by two blanks, rows separated by CR.
std::string MatrixToStr(const Matrix& m);

// ---- flag words ---------------------------------------------------------------
inline bool FlagsTest(uint32_t flags, uint32_t mask) {
    return (flags & mask) != 0;
}
inline bool Flags16Test(uint32_t flags, uint32_t mask) {
    return (flags & mask & 0xFFFFu) != 0;
}
inline bool Flags64Intersect(uint64_t flags, uint64_t mask) {
    return (flags & mask) != 0;
}
inline void Flags32Add(uint32_t& flags, uint32_t mask) {
    flags |= mask;
}
inline void Flags16Add(uint16_t& flags, uint16_t mask) {
    flags = static_cast<uint16_t>(flags | mask);
}
inline void Flags64Add(uint64_t& flags, uint64_t mask) {
    flags |= mask;
}
// Sets the mask bits when include is true, clears them otherwise.
inline void Flags64Include(uint64_t& flags, uint64_t mask, bool include) {
    flags = include ? (flags | mask) : (flags & ~mask);
}
inline void Flags64Remove(uint64_t& flags, uint64_t mask) {
    flags &= ~mask;
}
inline uint16_t HiWord(uint32_t x) {
    return static_cast<uint16_t>(x >> 16);
}

// ---- maths and colours --------------------------------------------------------
// y at x on the line through (x0, y0) and (x1, y1); 0 when x1 = x0.
float LinearMap(float x, float x1, float x0, float y1, float y0);
// The same line, worked from the (x1, y1) end.
float LinearMapRev(float x, float x1, float x0, float y1, float y0);
// Content angles: degrees / 57.3, as the data was tuned with.
inline float DegToRad(float x) {
    return x / 57.3f;
}
float RadToDeg(float x);
// Per-channel interpolation of two 32-bit ARGB colours (t not clamped; channels are).
uint32_t LerpColor(uint32_t a, uint32_t b, float t);
// R, G and B times k (truncated, kept within a byte), alpha 255.
uint32_t ScaleColorRGB(uint32_t c, float k);
inline float ColorAlphaToFloat(uint32_t c) {
    return static_cast<float>(c >> 24) / 255.0f;
}

// ---- text -------------------------------------------------------------------------
// Russian text in the sources: written as UTF-8, as an engine text (Windows-1251,
// like every text in the engine, its logs and its files). Every Russian
// literal goes through it: Ru("уже существует").
std::string Ru(std::string_view utf8);
// Substring from the 1-based index; the count is cut at the end; empty past it.
std::string CopyStr(const std::string& s, int index, int count);
bool SameTextUpper(std::string_view a, std::string_view b);
inline void StrAppend(std::string& s, std::string_view t) {
    s.append(t);
}

// ---- lists ------------------------------------------------------------------------
// An ordered list of object pointers whose slots may hold nullptr (holes left
// by objects that went away); indexes stay stable until Pack.
template <class T = void> class TListAsm {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    T* operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    T* Get(int i) const { return items_[static_cast<size_t>(i)]; }
    void Put(int i, T* item) { items_[static_cast<size_t>(i)] = item; }
    int Add(T* item) {
        items_.push_back(item);
        return Count() - 1;
    }
    void Insert(int i, T* item) { items_.insert(items_.begin() + i, item); }
    void Delete(int i) { items_.erase(items_.begin() + i); }
    int IndexOf(const T* item) const {
        auto it = std::find(items_.begin(), items_.end(), item);
        return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
    }
    // Deletes the first occurrence; returns its former index or -1.
    int Remove(const T* item) {
        int i = IndexOf(item);
        if (i >= 0) Delete(i);
        return i;
    }
    // Stores the item in the first empty slot, else appends it; returns the index.
    int AddToFreeSlot(T* item) {
        int i = IndexOf(nullptr);
        if (i < 0) return Add(item);
        Put(i, item);
        return i;
    }
    // Drops the empty slots.
    void Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }
    void Clear() { items_.clear(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<T*> items_;
};

// Removes from list each item of items (its first occurrence); nothing when either is null.
template <class T> void RemoveListItems(TListAsm<T>* list, const TListAsm<T>* items) {
    if (!list || !items) return;
    for (T* item : *items) list->Remove(item);
}

// ---- paths ------------------------------------------------------------------------
// Longer than 3 characters: a letter, ":", then "\" or "/".
bool IsAbsoluteDrivePath(std::string_view path);
// The path inside the active mod's folder when that file or folder exists
// there, else the path unchanged; "\" become "/" either way.
std::string ResolveModPath(const std::string& path);

} // namespace vesk
