/* The interfaces the game hands to its plug-ins (native .so libraries in the
 * "Plugins" folders of the program and of the active mod). Usable from C and C++.
 *
 * A plug-in exports, with C linkage:
 *   const char* GetPluginAPIVersion(void);   must return "1.0"
 *   void InitPlugin(IPluginAPI* api);         once, after the version matched
 *   void FreePlugin(void);                    once, after the game closed Lua
 *   void BeforeTickHook(void);                optional, every frame before its time is taken
 *   void AfterTickHook(void);                 optional, every frame after the destroyed objects are freed
 * A library lacking one of the first three, or reporting another version, is unloaded.
 *
 * Every interface is a struct whose first member points to its method table.
 * Each method takes the interface itself first. The first three methods of
 * every table are the basic ones (QueryInterface, AddRef, Release); the
 * interfaces live as long as the plug-in system, so AddRef and Release only count.
 * Lua is 5.1; the wrappers keep the 5.0 calls' names and arguments.
 */
#ifndef VESK_PLUGIN_API_H
#define VESK_PLUGIN_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VESK_PLUGIN_API_VERSION "1.0"

typedef struct VeskGUID {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} VeskGUID;

/* {47A90145-10C5-45F1-8691-794095E73CDA} */
#define VESK_IID_IPLUGINAPI                                                                                  \
    {                                                                                                        \
        0x47A90145, 0x10C5, 0x45F1, {                                                                        \
            0x86, 0x91, 0x79, 0x40, 0x95, 0xE7, 0x3C, 0xDA                                                   \
        }                                                                                                    \
    }
/* {05FACE93-3366-4A14-99F7-67D443DFFC47} */
#define VESK_IID_ILUAAPI                                                                                     \
    {                                                                                                        \
        0x05FACE93, 0x3366, 0x4A14, {                                                                        \
            0x99, 0xF7, 0x67, 0xD4, 0x43, 0xDF, 0xFC, 0x47                                                   \
        }                                                                                                    \
    }

#define VESK_S_OK 0
#define VESK_E_NOINTERFACE ((int32_t)0x80004002)

struct lua_State;
typedef int (*VeskLuaCFunction)(struct lua_State* L);
typedef double VeskLuaNumber;

typedef struct IPluginAPI IPluginAPI;
typedef struct ILuaAPI ILuaAPI;

typedef struct IPluginAPIVtbl {
    int32_t (*QueryInterface)(IPluginAPI* self, const VeskGUID* iid, void** out);
    uint32_t (*AddRef)(IPluginAPI* self);
    uint32_t (*Release)(IPluginAPI* self);
    /* 3: a fatal error: the game reports the text and ends. */
    void (*Error)(IPluginAPI* self, const char* text);
    /* 4: GetAPI("LUAAPI" in any case, "1.0") gives the ILuaAPI; anything else NULL. */
    void* (*GetAPI)(IPluginAPI* self, const char* name, const char* version);
} IPluginAPIVtbl;

struct IPluginAPI {
    const IPluginAPIVtbl* vtbl;
};

typedef struct ILuaAPIVtbl {
    int32_t (*QueryInterface)(ILuaAPI* self, const VeskGUID* iid, void** out);
    uint32_t (*AddRef)(ILuaAPI* self);
    uint32_t (*Release)(ILuaAPI* self);
    /* 3..5: do nothing while the game has no Lua state. */
    void (*RegisterFunction)(ILuaAPI* self, const char* name, VeskLuaCFunction handler);
    void (*RunScript)(ILuaAPI* self, const char* file);
    void (*RunString)(ILuaAPI* self, const char* chunk);
    /* 6..66 */
    int (*gettop)(ILuaAPI* self, struct lua_State* L);
    void (*settop)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*pushvalue)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*remove)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*insert)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*replace)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*checkstack)(ILuaAPI* self, struct lua_State* L, int extra);
    void (*xmove)(ILuaAPI* self, struct lua_State* from, struct lua_State* to, int n);
    int (*isnumber)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isstring)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*iscfunction)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isuserdata)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*type)(ILuaAPI* self, struct lua_State* L, int idx);
    const char* (*type_name)(ILuaAPI* self, struct lua_State* L, int tp);
    int (*equal)(ILuaAPI* self, struct lua_State* L, int idx1, int idx2);
    int (*rawequal)(ILuaAPI* self, struct lua_State* L, int idx1, int idx2);
    int (*lessthan)(ILuaAPI* self, struct lua_State* L, int idx1, int idx2);
    VeskLuaNumber (*tonumber)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*toboolean)(ILuaAPI* self, struct lua_State* L, int idx);
    const char* (*tostring)(ILuaAPI* self, struct lua_State* L, int idx);
    size_t (*strlen)(ILuaAPI* self, struct lua_State* L, int idx);
    void* (*touserdata)(ILuaAPI* self, struct lua_State* L, int idx);
    struct lua_State* (*tothread)(ILuaAPI* self, struct lua_State* L, int idx);
    const void* (*topointer)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*pushnil)(ILuaAPI* self, struct lua_State* L);
    void (*pushnumber)(ILuaAPI* self, struct lua_State* L, VeskLuaNumber n);
    void (*pushlstring)(ILuaAPI* self, struct lua_State* L, const char* s, size_t len);
    void (*pushstring)(ILuaAPI* self, struct lua_State* L, const char* s);
    void (*pushboolean)(ILuaAPI* self, struct lua_State* L, int b);
    void (*pushlightuserdata)(ILuaAPI* self, struct lua_State* L, void* p);
    void (*gettable)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*rawget)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*rawgeti)(ILuaAPI* self, struct lua_State* L, int idx, int n);
    void (*newtable)(ILuaAPI* self, struct lua_State* L);
    void* (*newuserdata)(ILuaAPI* self, struct lua_State* L, size_t size);
    int (*getmetatable)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*getfenv)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*settable)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*rawset)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*rawseti)(ILuaAPI* self, struct lua_State* L, int idx, int n);
    int (*setmetatable)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*setfenv)(ILuaAPI* self, struct lua_State* L, int idx);
    const char* (*version)(ILuaAPI* self);
    int (*error)(ILuaAPI* self, struct lua_State* L);
    int (*next)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*concat)(ILuaAPI* self, struct lua_State* L, int n);
    void (*boxpointer)(ILuaAPI* self, struct lua_State* L, void* p);
    void* (*unboxpointer)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*pop)(ILuaAPI* self, struct lua_State* L, int n);
    int (*isfunction)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*istable)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*islightuserdata)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isnil)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isboolean)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isnone)(ILuaAPI* self, struct lua_State* L, int idx);
    int (*isnoneornil)(ILuaAPI* self, struct lua_State* L, int idx);
    void (*pushliteral)(ILuaAPI* self, struct lua_State* L, const char* s);
    int (*pushupvalues)(ILuaAPI* self, struct lua_State* L);
    void (*getregistry)(ILuaAPI* self, struct lua_State* L);
    void (*setglobal)(ILuaAPI* self, struct lua_State* L, const char* name);
    void (*getglobal)(ILuaAPI* self, struct lua_State* L, const char* name);
} ILuaAPIVtbl;

struct ILuaAPI {
    const ILuaAPIVtbl* vtbl;
};

/* Entry points a plug-in exports. */
typedef const char* (*VeskGetPluginAPIVersionFn)(void);
typedef void (*VeskInitPluginFn)(IPluginAPI* api);
typedef void (*VeskFreePluginFn)(void);
typedef void (*VeskTickHookFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VESK_PLUGIN_API_H */
