#pragma once
// The effect tests: the engine root on the recording null device with its
// buffers, textures, pools and updater, the Lua host with the content's own
// helpers (`length`, `GetGameTable`, the checker material) and an "fx" table
// each test fills, and a data folder of the test's own.
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/managers.h"
#include "render/render_fixture.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "shared/math.h"
#include "support/fx_environment.h"
#include "world/fx_base.h"
#include "world/fx_library.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vesk::test {

// The checker material the shared renderers fall back to, and an empty "fx" table.
inline constexpr const char* kFxTestContent = R"(
materials = { checker = { id = '0', texture_technique = 60, diffuse_color = 'FFFFFF', specular_color = '0',
  ambient_color = '0', emissive_color = '0', power = 0 } }
fx = {}
)";

class FxTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        DataPath = dir.path() + "/data/";
        environment.Start(kFxTestContent);
        SeedUniformRandom(7);
    }
    void TearDown() override {
        FreeFXTemplates();
        if (engine) {
            engine->DiscardBRU();
            engine->Free();
            engine = nullptr;
        }
        TEODestroyManager->Flush();
        environment.Stop();
        DataPath.clear();
        RenderTest::TearDown();
    }

    void Lua(const std::string& text) { LuaMachine->RunString(text); }
    // Sets fx entries (Lua text of the table's fields) and loads the library.
    void LoadFx(const std::string& entries, const std::string& order = "") {
        Lua("fx = {" + entries + "}");
        Lua(order.empty() ? "fxOrder = nil" : "fxOrder = {" + order + "}");
        LoadFXTemplates();
    }
    TBaseRenderUnit* Template(const std::string& name) { return FXTemplates.Find(name); }
    template <class T> T* Spawn(const std::string& name, TBaseRenderUnit* parent, const FXDescrStruct* desc) {
        return dynamic_cast<T*>(TBaseRenderUnit::SpawnEffect(Template(name), parent, desc));
    }
    // One tick of the engine's tree in a fixed step, then the frame's clean-up.
    void Step(float ms = 100.0f) {
        engine->TickTree(ms);
        Frame();
    }
    void SetSwitch(const char* name, int32_t value) { SpVars->Put(name, value); }
    // Writes a file under the data folder.
    void Put(const std::string& relative, const std::string& bytes = "x") {
        const std::string path = DataPath + relative;
        platform::CreateFolders(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(platform::WriteFile(path, bytes));
    }
    int32_t PooledParticles() const { return BRUMan->Particles()->GetPool()->GetUsedCount(); }

    TempDir dir;
    FxEnvironment environment;
};

} // namespace vesk::test
