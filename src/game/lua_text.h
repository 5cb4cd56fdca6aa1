#pragma once
// Lua source text the game logic builds from names and values. Ordinary text
// comes out exactly as the classic forms ("..." and [[...]]); text that would
// break those forms gets a form Lua reads back unchanged.
#include <string>
#include <string_view>

#include "core/lua_readers.h"

namespace vesk {

// A long-bracket Lua string: [[text]] when that reads back unchanged, else a
// bracket level that does not occur in the text ([==[text]==]); text with
// carriage returns or a leading line break (which long brackets do not keep)
// is quoted instead.
std::string LuaLongString(std::string_view text);

} // namespace vesk
