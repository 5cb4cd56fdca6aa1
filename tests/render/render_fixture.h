#pragma once
// A root engine on the recording null device with an environment, so the
// tree draws; units that write what the render list does with them.
#include "platform/gfx/device_base.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/world_links.h"
#include "support/engine_frame.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vesk::test {

// Writes "<name>:draw" and "<name>:end" as the list runs it.
class RecUnit : public TBaseRenderUnit {
public:
    static inline std::vector<std::string>* log = nullptr;
    void DoRender() override {
        if (log) log->push_back(GetName() + ":draw");
    }
    void EndRender() override {
        if (log) log->push_back(GetName() + ":end");
        TBaseRenderUnit::EndRender();
    }
};

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownDestroyManager_ = true;
        }
        LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        RenderFrameCounter.Reset();
        d3d_ = platform::CreateNullDirect3D();
        platform::Ref<platform::IDirect3DDevice9> dev = MakeSceneDevice(*d3d_);
        ASSERT_TRUE(dev);
        Device = dev;
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        dev->GetRenderTarget(0, engine->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
        env->SetName("env");
        engine->AddChild(env);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return envOn ? env : nullptr; };
        RecUnit::log = &drawn;
    }
    void TearDown() override {
        RecUnit::log = nullptr;
        if (engine) {
            engine->DiscardBRU();
            engine->Free();
        }
        TEODestroyManager->Flush();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
        d3d_ = nullptr;
        LiveObjects.reset();
        if (ownDestroyManager_) TEODestroyManager.reset();
    }
    platform::DeviceBase& Dev() { return *static_cast<platform::DeviceBase*>(Device.Get()); }
    // A recording unit under parent with the given flags.
    RecUnit* Unit(TBaseRenderUnit* parent, const std::string& name, uint64_t flags = BRU_OPAQUE,
                  uint16_t stage = 0) {
        RecUnit* u = TBaseRenderUnit::Create<RecUnit>(parent);
        u->SetName(name);
        u->SetFlag(flags);
        u->SetRenderStage(stage);
        parent->AddChild(u);
        return u;
    }
    // One frame as the application runs it.
    void Frame() {
        engine->RE_BeginScene();
        engine->UpdateMatrices(nullptr);
        engine->RenderFrame();
        engine->RE_EndScene();
        engine->Present();
        RenderFrameCounter.NextFrame();
        TEODestroyManager->Flush();
    }

    // Fatal reports end the test instead of the process.
    ErrorTrap trapAll;
    TEngineClass* engine = nullptr;
    EnvironmentStandInClass* env = nullptr;
    bool envOn = true;
    std::vector<std::string> drawn;

private:
    platform::Ref<platform::NullDirect3D> d3d_;
    bool ownDestroyManager_ = false;
};

} // namespace vesk::test
