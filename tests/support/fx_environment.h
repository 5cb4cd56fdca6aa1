#pragma once
// What effects need around the engine root, for the effect tests and the
// effect benchmark: the buffer, texture and unit managers, the updater, the
// settings, the Lua host with the content's helpers and a Lua text of the
// test's own. Start after the device and before the engine; Stop after the
// engine is gone.
#include "core/lua_machine.h"
#include "core/var_list.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/managers.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "world/fx_base.h"
#include "world/fx_library.h"

#include <memory>
#include <string>

namespace vesk::test {

// A body moving at a fixed velocity: what the physics gives a ship or a nozzle.
class MovingBody : public IRenderUnitAI {
public:
    explicit MovingBody(TBaseRenderUnit* unit, Vec3 velocity = {}) : unit(unit), velocity(velocity) {}
    void ClearOwner() override {}
    void FreeAI() override {}
    Matrix BodyMatrix() const override { return unit->GetLocalMatrix(); }
    TBaseRenderUnit* RenderUnit() override { return unit; }
    Vec3 BodyVelocity() const override { return velocity; }
    void ForsageOn(float) override {}
    void ForsageOff() override {}
    TBaseRenderUnit* unit;
    Vec3 velocity;
};

// The content's own helpers the effect readers rely on.
inline constexpr const char* kFxContentHelpers = R"(
function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = n + 1 end return n end
function GetGameTable(name)
  local s = ''
  if name == 'fx' and fxOrder then
    for i = 1, table.getn(fxOrder) do s = s .. fxOrder[i] .. '^' end
    return s
  end
  for k in pairs(_G[name]) do s = s .. k .. '^' end
  return s
end
)";

class FxEnvironment {
public:
    void Start(const std::string& content) {
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        if (!UpdaterManager) UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        BRUTickMan = TEngineObject::New<BRUTickManClass>();
        RegisterEffectUnitClasses();
        BRUMan = std::make_unique<BRUManClass>();
        BRUMan->Create();
        InitVarLists();
        CreateLuaMachine();
        LuaMachine->RunString(kFxContentHelpers);
        LuaMachine->RunString(content);
    }
    // Call with the engine gone and the destroy queue flushed.
    void Stop() {
        FreeFXTemplates();
        if (TEODestroyManager) TEODestroyManager->Flush();
        BRUMan.reset();
        if (BRUTickManClass* t = std::exchange(BRUTickMan, nullptr)) t->Free();
        if (UpdaterManager) UpdaterManager->Free();
        FreeFXRecordPools();
        if (TEODestroyManager) TEODestroyManager->Flush();
        FreeLuaMachine();
        FreeAllVarLists();
        RE_FreeTextureManager();
        BuffersManager.reset();
        ClearCachedTextures();
    }
};

} // namespace vesk::test
