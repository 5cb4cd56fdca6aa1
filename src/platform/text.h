#pragma once
// Text inside the engine is single-byte Windows-1251; these convert at the
// edges where the host wants Unicode (file names, window caption, fonts).
#include <string>
#include <string_view>

namespace vesk::platform {

// One Windows-1251 byte to its Unicode code point.
char32_t Cp1251ToCodePoint(unsigned char c);
// A code point to its Windows-1251 byte, or '?' when it has none.
char CodePointToCp1251(char32_t cp);

std::string Cp1251ToUtf8(std::string_view text);
// Invalid UTF-8 sequences and unmappable characters become '?'.
std::string Utf8ToCp1251(std::string_view text);
std::u16string Cp1251ToUtf16(std::string_view text);
std::string Utf16ToCp1251(std::u16string_view text);

// Upper and lower case for Windows-1251 (Latin and Cyrillic letters).
char UpperCp1251(char c);
char LowerCp1251(char c);
std::string UpperCaseCp1251(std::string_view text);
std::string LowerCaseCp1251(std::string_view text);
bool SameTextCp1251(std::string_view a, std::string_view b);

} // namespace vesk::platform
