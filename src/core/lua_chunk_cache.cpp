#include "core/lua_chunk_cache.h"

namespace vesk {

bool TLuaChunkCache::PushKept(lua_State* L, std::string_view text) {
    const auto it = entries_.find(text);
    if (it == entries_.end()) return false;
    order_.splice(order_.begin(), order_, it->second);
    lua_rawgeti(L, LUA_REGISTRYINDEX, it->second->ref);
    // A chunk may have changed its own environment with setfenv; a fresh
    // compile would start from the globals again.
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    lua_setfenv(L, -2);
    return true;
}

int TLuaChunkCache::Compile(lua_State* L, std::string_view text, const char* chunkName) {
    const int status = luaL_loadbuffer(L, text.data(), text.size(), chunkName);
    if (status != 0 || text.size() > kMaxTextSize || capacity_ == 0) return status;
    const size_t hash = TextHash()(text);
    size_t& slot = seen_[hash % kSeenSlots];
    if (slot != hash) {
        slot = hash;
        return 0;
    }
    if (entries_.count(text)) return 0; // kept already: one entry per text
    if (entries_.size() >= capacity_) {
        luaL_unref(L, LUA_REGISTRYINDEX, order_.back().ref);
        entries_.erase(order_.back().text);
        order_.pop_back();
    }
    lua_pushvalue(L, -1);
    order_.push_front({std::string(text), luaL_ref(L, LUA_REGISTRYINDEX)});
    entries_.emplace(order_.front().text, order_.begin());
    return 0;
}

void TLuaChunkCache::Clear(lua_State* L) {
    if (L)
        for (const Entry& e : order_) luaL_unref(L, LUA_REGISTRYINDEX, e.ref);
    Forget();
}

void TLuaChunkCache::Forget() {
    entries_.clear();
    order_.clear();
}

} // namespace vesk
