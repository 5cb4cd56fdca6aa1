#pragma once
// Compiled Lua chunks kept by their exact text. Events, script ticks and
// interface handlers run the same few texts again and again; compiling one
// costs far more than calling it, so a text is compiled once and its function
// re-run for as long as the text stays among the recently used ones.
#include <lua.hpp>

#include <array>
#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vesk {

class TLuaChunkCache {
public:
    // Texts longer than this are one-off work (saved games, scene set-up) and
    // are compiled every time rather than kept.
    static constexpr size_t kMaxTextSize = 16 * 1024;
    static constexpr size_t kDefaultCapacity = 256;

    explicit TLuaChunkCache(size_t capacity = kDefaultCapacity) : capacity_(capacity) {}
    TLuaChunkCache(const TLuaChunkCache&) = delete;
    TLuaChunkCache& operator=(const TLuaChunkCache&) = delete;

    // Pushes the function kept for the text and returns true; false (nothing
    // pushed) when the text is not kept. The function's environment is reset to
    // the current globals, as a fresh compile would have it.
    bool PushKept(lua_State* L, std::string_view text);
    // Compiles the text under `chunkName` and pushes the result exactly as
    // luaL_loadbuffer does. The function is kept from the text's second compile
    // on, so one-off texts cost no more than a plain compile. A text that does
    // not compile is never kept, so each run reports its own load error.
    int Compile(lua_State* L, std::string_view text, const char* chunkName);
    // Drops every kept function (their references in `L`'s registry).
    void Clear(lua_State* L);
    // Forgets the kept functions without touching a state that was closed.
    void Forget();
    size_t Size() const { return entries_.size(); }

private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Entry {
        std::string text;
        int ref;
    };
    using Order = std::list<Entry>; // most recently used first

    // Hashes of texts compiled once, one per slot: a text whose hash is
    // already in its slot has been seen before and is worth keeping.
    static constexpr size_t kSeenSlots = 1024;
    std::array<size_t, kSeenSlots> seen_{};

    size_t capacity_;
    Order order_;
    std::unordered_map<std::string_view, Order::iterator, TextHash, std::equal_to<>> entries_;
};

} // namespace vesk
