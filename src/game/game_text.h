#pragma once
// Russian message texts are written in the sources as UTF-8 and reach the
// logs as Windows-1251, like every other engine text.
#include <string>
#include <string_view>

#include "platform/text.h"

namespace vesk {

inline std::string Ru(std::string_view utf8) {
    return platform::Utf8ToCp1251(utf8);
}

} // namespace vesk
