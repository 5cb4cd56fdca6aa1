#pragma once
// The scripts' sound functions: "engine_Sound" (a service word, a channel name
// and the service's arguments), "engine_PlaySound" and "engine_SoundLength".
#include <lua.hpp>

namespace vesk {

int EngineSound(lua_State* L);
int EnginePlaySound(lua_State* L);
int EngineSoundLength(lua_State* L);
// Installs the three handlers under their names.
void InstallSoundScriptFunctions();

// Warning-sound entry points of the game logic; they do nothing.
int PlayInterfaceSound(int value);
int StopInterfaceSound(int value);

} // namespace vesk
