// Sound-service commands as scripts give them: engine_Sound with a service
// word, a channel name and arguments of any kind from the input, on the
// sound engine over the null sound device (its worker driven here).
#include "fuzz_support.h"
#include "platform/audio/null_sound.h"
#include "shared/engine_object.h"
#include "sound/sound_core.h"
#include "sound/sound_engine.h"
#include "sound/sound_script.h"

#include <lua.hpp>

using namespace vesk;

namespace {

const char* const kServices[] = {"CAPABILITES", "SMARTSTOPSTEP", "ROLLOFF",  "MAXPLAYCOUNT", "DISTANCE",
                                 "DOPPLER",     "TIMEFACTOR",    "ENUM",     "START",        "LOOP",
                                 "VOLUME",      "MUTE",          "MUTETIME", "STOP",         "ADD",
                                 "PLAY",        "CLEAR",         "PLAYSOUND"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::QuietReports();
    static lua_State* L = [] {
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        platform::UseNullSound({});
        SoundCore = std::make_unique<TSoundCore>();
        SoundCore->Init(nullptr);
        auto engine = std::make_shared<TSoundEngine>(false);
        engine->Init(nullptr);
        SoundEngine = engine;
        return luaL_newstate();
    }();
    fuzz::Bytes in(data, size);
    const int commands = in.U8() % 8 + 1;
    try {
        for (int c = 0; c < commands && !in.Empty(); ++c) {
            lua_settop(L, 0);
            const uint8_t pick = in.U8();
            const std::string service =
                pick < 2 * std::size(kServices) ? kServices[pick % std::size(kServices)] : in.Text(16);
            lua_pushlstring(L, service.data(), service.size());
            const int args = in.U8() % 8;
            for (int a = 0; a < args; ++a) {
                switch (in.U8() % 3) {
                case 0: {
                    const std::string t = in.Text(24);
                    lua_pushlstring(L, t.data(), t.size());
                    break;
                }
                case 1:
                    lua_pushnumber(L, in.F32());
                    break;
                default:
                    lua_pushnil(L);
                }
            }
            EngineSound(L);
            SoundEngine->Update(int(in.U8()));
            if (auto* engine = dynamic_cast<TSoundEngine*>(SoundEngine.get())) engine->WorkerPass();
        }
    } catch (const fuzz::HaltedRun&) {
    }
    // The channels back to silence for the next input.
    for (int channel = 0; channel < 8; ++channel) {
        SoundEngine->Stop(channel);
        SoundEngine->Clear(channel);
    }
    if (auto device = platform::LastNullSoundDevice()) device->ClearCalls();
    TEODestroyManager->Flush();
    return 0;
}
