#include "sound/sound_script.h"

#include <string>
#include <vector>

#include "core/lua_functions.h"
#include "platform/text.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "sound/sound_engine.h"
#include "sound/wave_file.h"

namespace vesk {

using platform::UpperCaseCp1251;

namespace {

std::string ArgText(lua_State* L, int i) {
    if (i > lua_gettop(L)) return {};
    size_t n = 0;
    const char* s = lua_tolstring(L, i, &n);
    return s ? std::string(s, n) : std::string();
}

int ArgInt(lua_State* L, int i, int def) {
    int32_t v = 0;
    return TryParseInt32(ArgText(L, i), v) ? v : def;
}

float ArgNumber(lua_State* L, int i) {
    return static_cast<float>(lua_tonumber(L, i));
}

// A whole-number argument; any number a script gives reads as one.
int ArgWhole(lua_State* L, int i) {
    return SaturatedInt32(lua_tonumber(L, i));
}

} // namespace

int EngineSound(lua_State* L) {
    const int count = lua_gettop(L);
    const std::string service = UpperCaseCp1251(ArgText(L, 1));
    const std::string channelName = UpperCaseCp1251(ArgText(L, 2));
    const int channel = count >= 2 ? ChannelNameToNumber(channelName) : 8;
    auto fault = [&](const std::string& reason) {
        ErrorReport("engine_Sound fault - " + reason + "; Service: " + service + ", Channel: " + channelName +
                        ", ParamCount= " + IntToStr32(count),
                    "mhl");
        return 0;
    };
    if (count >= 2 && channel == 8) return fault("incorrect channel");
    ISoundEngineInterface* engine = SoundEngine.get();
    if (!engine) return 0;

    if (service == "CAPABILITES") {
        engine->QueryCaps();
    } else if (service == "SMARTSTOPSTEP") {
        if (channel == 8) return fault("incorrect channel");
        engine->SetSmartStopStep(channel, ArgWhole(L, 3));
    } else if (service == "ROLLOFF") {
        engine->SetRolloff(ArgNumber(L, 3));
    } else if (service == "MAXPLAYCOUNT") {
        engine->SetMaxPlayCount(channel, ArgWhole(L, 3));
    } else if (service == "DISTANCE") {
        engine->SetDistanceFactor(ArgNumber(L, 3));
    } else if (service == "DOPPLER") {
        engine->SetDoppler(ArgNumber(L, 3));
    } else if (service == "TIMEFACTOR") {
        engine->SetTimeFactor(ArgWhole(L, 3));
    } else if (service == "ENUM") {
        std::vector<std::string> list;
        engine->Enum(channel, list);
    } else if (service == "START") {
        engine->Start(channel);
    } else if (service == "LOOP") {
        engine->SetLoop(channel, ArgText(L, 3) == "1");
    } else if (service == "VOLUME") {
        const int level = ArgInt(L, 3, -1);
        if (level < 1 || level > 100) return fault("wrong level value. Volume=" + IntToStr32(level));
        if (channel != 0) {
            engine->Mute(channel, false);
            engine->SetVolume(channel, static_cast<float>(level) / 100.0f);
        }
    } else if (service == "MUTE") {
        const std::string word = UpperCaseCp1251(ArgText(L, 3));
        if (word == "ON")
            engine->Mute(channel, true);
        else if (word == "OFF")
            engine->Mute(channel, false);
        else
            return fault("incorrect param - \"" + word + "\"");
    } else if (service == "MUTETIME") {
        engine->SetMuteTime(channel, ArgInt(L, 3, 1));
    } else if (service == "STOP") {
        engine->Stop(channel);
    } else if (service == "ADD" || service == "PLAY") {
        const bool add = service == "ADD";
        if (count < (add ? 7 : 6)) return fault("be shy of params");
        const int fadeIn = ArgInt(L, 4, -1);
        if (fadeIn == -1) return fault("incorrect fadein time");
        const int fadeOut = ArgInt(L, 5, -1);
        if (fadeOut == -1) return fault("incorrect fadeout time");
        if (add)
            engine->Add(channel, ArgText(L, 3), fadeIn, fadeOut, ArgText(L, 6), ArgText(L, 7) == "1");
        else
            engine->Play(channel, ArgText(L, 3), fadeIn, fadeOut, ArgText(L, 6));
    } else if (service == "CLEAR") {
        engine->Clear(channel);
    } else if (service == "PLAYSOUND") {
        engine->Play(channel, "", ArgInt(L, 3, 0), 0, "");
    } else {
        return fault("incorrect service");
    }
    return 0;
}

int EnginePlaySound(lua_State* L) {
    if (ArgText(L, 2) != "interface" || !SoundEngine) return 0;
    const int id = SoundEngine->Add(6, ArgText(L, 1), 0, 0, "", false);
    SoundEngine->PlaySound(6, id);
    return 0;
}

int EngineSoundLength(lua_State* L) {
    const uint32_t ms = SoundDuration(ArgText(L, 1));
    const std::string text = Int64ToStr(ms);
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

void InstallSoundScriptFunctions() {
    SetEngineFunction("engine_Sound", EngineSound);
    SetEngineFunction("engine_PlaySound", EnginePlaySound);
    SetEngineFunction("engine_SoundLength", EngineSoundLength);
}

int PlayInterfaceSound(int) {
    return 0;
}
int StopInterfaceSound(int) {
    return 0;
}

} // namespace vesk
