/* The hands of the self-playing demo: a plug-in of the "autoplay" mod that
 * presses keys of the game's window as a player at the keyboard would, so that
 * what a key does in the game (Print Screen saving a picture, for one) happens
 * through the game's own input.
 *
 * It gives the scripts one function:
 *   autoplay_PressKey(scancode)  presses and releases the key (an SDL scan
 *                                code, e.g. 70 for Print Screen) at once;
 *                                false when there is no game window.
 * The key reaches the game in the next frame. The window is given the focus
 * when the plug-in starts: only a window in the foreground hears its keys. */
#include "core/plugin_api.h"

#include <SDL.h>

#define EXPORT __attribute__((visibility("default")))

static ILuaAPI* g_lua = NULL;

/* The game draws into the window whose GL context is current. */
static SDL_Window* GameWindow(void) {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return NULL;
    return SDL_GL_GetCurrentWindow();
}

static int Push(Uint32 type, SDL_Window* window, SDL_Scancode code, Uint8 windowEvent) {
    SDL_Event e;
    SDL_memset(&e, 0, sizeof e);
    e.type = type;
    if (type == SDL_WINDOWEVENT) {
        e.window.windowID = SDL_GetWindowID(window);
        e.window.event = windowEvent;
    } else {
        e.key.windowID = SDL_GetWindowID(window);
        e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.key.keysym.scancode = code;
        e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    }
    return SDL_PushEvent(&e) == 1;
}

static int PressKey(struct lua_State* L) {
    const VeskLuaNumber value = g_lua->vtbl->tonumber(g_lua, L, 1);
    SDL_Window* window = GameWindow();
    int pressed = 0;
    if (window && value > 0 && value < SDL_NUM_SCANCODES) {
        const SDL_Scancode code = (SDL_Scancode)(int)value;
        pressed = Push(SDL_KEYDOWN, window, code, 0) && Push(SDL_KEYUP, window, code, 0);
    }
    g_lua->vtbl->pushboolean(g_lua, L, pressed);
    return 1;
}

EXPORT const char* GetPluginAPIVersion(void) {
    return VESK_PLUGIN_API_VERSION;
}

EXPORT void InitPlugin(IPluginAPI* api) {
    SDL_Window* window = GameWindow();
    if (window) Push(SDL_WINDOWEVENT, window, SDL_SCANCODE_UNKNOWN, SDL_WINDOWEVENT_FOCUS_GAINED);
    g_lua = (ILuaAPI*)api->vtbl->GetAPI(api, "LUAAPI", VESK_PLUGIN_API_VERSION);
    if (g_lua) g_lua->vtbl->RegisterFunction(g_lua, "autoplay_PressKey", PressKey);
}

EXPORT void FreePlugin(void) {
    g_lua = NULL;
}
