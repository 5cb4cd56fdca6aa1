#include <gtest/gtest.h>

#include <algorithm>

#include "core/config_record.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "platform/gfx/d3dx.h"
#include "render/device.h"
#include "render/material.h"
#include "render/shader.h"
#include "render/vertex_buffers.h"
#include "texture_fixture.h"

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

// The content's helper the material reader relies on: entries of a table.
const char* kLength = "function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = "
                      "n + 1 end return n end";

const char* kMaterials = R"(
materials = {}
materials["checker"] = { id = "1", texture_technique = 20, diffuse_color = "FFFFFF", specular_color = "0",
  ambient_color = "0", emissive_color = "0", power = 1,
  diffuse_map = { mipbias = 0, mipfilter = 1, magfilter = 1, minfilter = 1 },
  light_map = { mipbias = "-0.5", mipfilter = 0, magfilter = 2, minfilter = 2 } }
materials["hull"] = { id = "2", texture_technique = 31, diffuse_color = "FF0000", specular_color = "80FF0000",
  ambient_color = "FFFFFF", emissive_color = "00FF00", power = 12.5,
  diffuse_map = { name = "ships/hull", format = "x8r8g8b8", mipmaps = "1", mipbias = "-2", mipfilter = 2,
                  magfilter = 3, minfilter = 1 } }
materials["lit"] = { id = "3", light_map = { name = "ships/hull_lm", format = "A8R8G8B8" } }
materials["plain"] = { id = "4", texture_technique = 30, diffuse_color = "102030", specular_color = "0",
  ambient_color = "0", emissive_color = "0", power = 0 }
materials["multi"] = { id = "5", maps = {
  { name = "a", mipbias = 1, minfilter = 1, magfilter = 2, mipfilter = 0 },
  { name = "" },
  { name = "c", mipbias = 1, minfilter = 1, magfilter = 1, mipfilter = 1 } } }
materials["twomaps"] = { id = "6", light_map = { name = "x" }, opacity_map = { name = "y" } }
materials["noid"] = { texture_technique = 10 }
materials["half"] = { id = "7" }
materials["odd"] = { id = "8", texture_technique = 132, diffuse_map = { name = "ships/hull" } }
)";

class Materials : public TextureFixture {
protected:
    void SetUp() override {
        TextureFixture::SetUp();
        CreateLuaMachine();
        LuaMachine->RunString(kLength);
        LuaMachine->RunString(kMaterials);
        Put("textures/ships/hull.bmp", FlatBmp(4, 4, 0xFF808080u));
        Put("textures/ships/hull_lm.bmp", FlatBmp(4, 4, 0xFF404040u));
        Put("textures/a.bmp", FlatBmp(2, 2, 0xFF000000u));
        Put("textures/c.bmp", FlatBmp(2, 2, 0xFF000000u));
        countBefore = MaterialCount;
        m = MaterialClass::Create();
    }
    void TearDown() override {
        if (m) m->Free();
        EXPECT_EQ(MaterialCount, countBefore);
        FreeLuaMachine();
        TextureFixture::TearDown();
    }
    std::string TexName(uint32_t stage) {
        IKWTexture* t = m->GetTexture(stage);
        return t ? t->GetName() : "<none>";
    }
    // The stage states of a stage as (type, value) pairs.
    std::vector<std::pair<uint32_t, uint32_t>> States(uint32_t stage, bool restore = false) {
        std::vector<std::pair<uint32_t, uint32_t>> out;
        const auto& list = restore ? m->GetTextureProp(stage)->RestoreStageStates()
                                   : m->GetTextureProp(stage)->StageStates();
        for (const auto& r : list) {
            EXPECT_EQ(r.stage, stage);
            out.push_back({r.type, r.value});
        }
        return out;
    }
    int countBefore = 0;
    MaterialClass* m = nullptr;
};

using SV = std::vector<std::pair<uint32_t, uint32_t>>;

} // namespace

TEST_F(Materials, FromTheMaterialsTable) {
    EXPECT_FALSE(m->SetMaterialFromLua("hull", "checker"));
    EXPECT_EQ(m->Name(), "hull");
    EXPECT_EQ(m->GetTechnique(), 31);
    const D3DMATERIAL9& d = m->GetD3DMaterial();
    // "FF0000" is opaque red, "80FF0000" keeps its alpha, "FFFFFF" is white with alpha 0.
    EXPECT_EQ((std::vector<float>{d.Diffuse.r, d.Diffuse.g, d.Diffuse.b, d.Diffuse.a}),
              (std::vector<float>{1, 0, 0, 1}));
    EXPECT_FLOAT_EQ(d.Specular.a, 128.0f / 255.0f);
    EXPECT_EQ((std::vector<float>{d.Ambient.r, d.Ambient.g, d.Ambient.b, d.Ambient.a}),
              (std::vector<float>{1, 1, 1, 0}));
    EXPECT_EQ(d.Emissive.g, 0.0f); // read, not stored
    EXPECT_FLOAT_EQ(d.Power, 12.5f);

    EXPECT_EQ(TexName(0), "ships/hull");
    IKWTexture* hull = m->GetTexture(0);
    EXPECT_EQ(hull->GetMipLevels(), 0u);
    EXPECT_EQ(hull->GetImageInfo().Format, D3DFMT_DXT1);
    TexturePropertiesClass* s0 = m->GetTextureProp(0);
    EXPECT_FLOAT_EQ(s0->MipBias(), -2.0f);
    EXPECT_EQ(s0->MinFilter(), 1u);
    EXPECT_EQ(s0->MagFilter(), 3u);
    EXPECT_EQ(s0->MipFilter(), 2u);
    EXPECT_EQ(TexName(1), ""); // the empty texture
    EXPECT_EQ(States(0), (SV{{D3DTSS_COLOROP, D3DTOP_MODULATE2X},
                             {D3DTSS_COLORARG1, D3DTA_TEXTURE},
                             {D3DTSS_COLORARG2, D3DTA_DIFFUSE},
                             {D3DTSS_ALPHAOP, D3DTOP_DISABLE}}));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Materials, MissingMaterialTakesEverythingFromTheAlternate) {
    EXPECT_TRUE(m->SetMaterialFromLua("ghost", "hull"));
    EXPECT_EQ(m->Name(), "ghost");
    EXPECT_EQ(m->GetTechnique(), 31);
    EXPECT_FLOAT_EQ(m->GetD3DMaterial().Power, 12.5f);
    EXPECT_EQ(TexName(0), "ships/hull");
    EXPECT_NE(
        Log(kErrLogFileName).find("MaterialClass.SetMaterialFromLua: MATERIAL NOT FOUND: ghost, use hull"),
        std::string::npos);
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(Materials, LightMapGoesFirstAndTheDiffuseMapSecond) {
    SetupRecord.textureDivider = 0;
    EXPECT_FALSE(m->SetMaterialFromLua("lit", "hull"));
    EXPECT_EQ(TexName(0), "ships/hull_lm");
    EXPECT_EQ(TexName(1), "ships/hull");
    EXPECT_EQ(m->GetTexture(0)->GetImageInfo().Format, D3DFMT_A8R8G8B8);
    // The light map's filters come from the "checker" material.
    EXPECT_FLOAT_EQ(m->GetTextureProp(0)->MipBias(), -0.5f);
    EXPECT_EQ(m->GetTextureProp(0)->MagFilter(), 2u);
}

TEST_F(Materials, StageMapsStopAtTheFirstEmptyName) {
    EXPECT_FALSE(m->SetMaterialFromLua("multi", "plain"));
    ASSERT_EQ(m->StageCount(), 2u);
    EXPECT_EQ(TexName(0), "a");
    EXPECT_EQ(TexName(1), "");
    EXPECT_EQ(m->GetTextureProp(0)->Stage(), 0);
    EXPECT_EQ(m->GetTextureProp(1)->Stage(), 1);
    EXPECT_FLOAT_EQ(m->GetTextureProp(0)->MipBias(), 1.0f);
    EXPECT_EQ(m->GetTextureProp(0)->MagFilter(), 2u);
    EXPECT_EQ(m->GetTextureProp(0)->MipFilter(), 0u);
}

TEST_F(Materials, BadDescriptionsAreFatal) {
    struct Case {
        const char* name;
        const char* alternate;
        const char* fatal;
    } cases[] = {
        {"hull", "",
         "MaterialClass.SetMaterialFromLua: _alternateMaterialName=\"\" - you must pass valid name"},
        {"hull", "noid",
         "MaterialClass.SetMaterialFromLua: "
         "IsLuaStringNotEmpty(_alternateMaterialName,_alternateMaterialName): <>noid"},
        {"twomaps", "plain", "MaterialClass.SetMaterialFromLua: twomaps maps error"},
        {"half", "noid2",
         "MaterialClass.SetMaterialFromLua: "
         "IsLuaStringNotEmpty(_alternateMaterialName,_alternateMaterialName): "
         "<>noid2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(m->SetMaterialFromLua(c.name, c.alternate), Halted);
        EXPECT_EQ(trap.lastFatal, c.fatal);
    }
    // A value missing from both tables ends in the number reader's report, naming the alternate's entry.
    LuaMachine->RunString("materials.partial = { id = \"8\" }");
    EXPECT_THROW(m->SetMaterialFromLua("half", "partial"), Halted);
    EXPECT_EQ(trap.lastFatal,
              "kws2i: _str=\"\": MaterialClass.ReadDWORDFromLUA: "
              "script_GetVar(material[\"partial\"].texture_technique), "
              "_PropertyName: texture_technique, _MaterialName: half, _AlternateMaterialName: partial");
}

TEST_F(Materials, TechniqueTable) {
    const uint32_t TEX = D3DTA_TEXTURE, DIF = D3DTA_DIFFUSE, CUR = D3DTA_CURRENT;
    const SV off{{D3DTSS_COLOROP, D3DTOP_DISABLE}, {D3DTSS_ALPHAOP, D3DTOP_DISABLE}};
    struct Case {
        int technique;
        std::vector<MaterialRenderState> blend;
        SV stage0, stage1;
    } cases[] = {
        {10, {{D3DRS_ALPHABLENDENABLE, 0}}, {{1, D3DTOP_SELECTARG1}, {2, DIF}, {4, D3DTOP_DISABLE}}, off},
        {300, {{D3DRS_ALPHABLENDENABLE, 0}}, {{1, D3DTOP_SELECTARG1}, {2, DIF}, {4, D3DTOP_DISABLE}}, off},
        {42,
         {{D3DRS_ALPHABLENDENABLE, 0}},
         {{1, D3DTOP_MODULATE4X}, {2, TEX}, {3, DIF}, {4, D3DTOP_DISABLE}},
         {{11, 0}, {1, D3DTOP_ADD}, {2, TEX}, {3, CUR}, {4, D3DTOP_DISABLE}}},
        {51,
         {{D3DRS_ALPHABLENDENABLE, 1}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ONE}},
         {{1, D3DTOP_SELECTARG1}, {2, DIF}, {4, D3DTOP_DISABLE}},
         off},
        {70,
         {{D3DRS_ALPHABLENDENABLE, 1},
          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
          {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}},
         {{1, D3DTOP_SELECTARG1}, {2, TEX}, {4, D3DTOP_SELECTARG1}, {5, TEX}},
         {{4, D3DTOP_DISABLE}}},
        {111,
         {{D3DRS_ALPHABLENDENABLE, 1},
          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
          {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}},
         {{1, D3DTOP_MODULATE2X}, {2, TEX}, {3, DIF}, {4, D3DTOP_MODULATE2X}, {5, TEX}, {6, DIF}},
         off},
        {113, {}, {}, {}},
        {116,
         {{D3DRS_ALPHABLENDENABLE, 0}},
         {{1, D3DTOP_SELECTARG1}, {2, TEX}, {3, DIF}, {11, 1}, {4, D3DTOP_DISABLE}},
         {{11, 0}, {1, D3DTOP_MODULATE4X}, {2, TEX}, {3, CUR}, {4, D3DTOP_DISABLE}}},
        {131, {{D3DRS_ALPHABLENDENABLE, 0}}, {}, {}},
        {7, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.technique);
        m->SetTechnique(c.technique);
        EXPECT_EQ(m->GetTechnique(), c.technique);
        ASSERT_EQ(m->StageCount(), 3u);
        EXPECT_EQ(m->GetTextureProp(0)->RenderStates(), c.blend);
        EXPECT_EQ(States(0), c.stage0);
        EXPECT_EQ(States(1), c.stage1);
    }
    m->SetTechnique(116);
    EXPECT_EQ(States(0, true), (SV{{11, 0}}));
    EXPECT_EQ(States(1, true), (SV{{11, 1}}));

    // The same technique again keeps the stages and their textures.
    m->SetTexture(0, TextureManager->GetTexture("a", D3DFMT_UNKNOWN, false));
    TexturePropertiesClass* kept = m->GetTextureProp(0);
    m->SetTechnique(116);
    EXPECT_EQ(m->GetTextureProp(0), kept);
    EXPECT_EQ(TexName(0), "a");
}

// Technique 132 would empty a stage no material has: a content fault, so the
// game goes on, the error log names the material and its model file, and the
// material draws with the stages of technique 131.
TEST_F(Materials, TechniqueAskingForAMissingStageIsReportedAndDrawn) {
    EXPECT_FALSE(m->SetMaterialFromLua("odd", "checker", nullptr, "Models/odd.cm"));
    EXPECT_EQ(trap.lastFatal, "");
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].flags, "m");
    EXPECT_NE(trap.reports[0].text.find("\"odd\""), std::string::npos) << trap.reports[0].text;
    EXPECT_NE(trap.reports[0].text.find("Models/odd.cm"), std::string::npos) << trap.reports[0].text;
    EXPECT_EQ(m->GetTechnique(), 132);
    ASSERT_EQ(m->StageCount(), 3u);
    EXPECT_EQ(TexName(0), "ships/hull");
    EXPECT_EQ(m->GetTextureProp(0)->RenderStates(),
              (std::vector<MaterialRenderState>{{D3DRS_ALPHABLENDENABLE, 0}}));
    m->Apply(); // draws without asking for the missing stage
    EXPECT_EQ(trap.reports.size(), 1u);

    // Set straight, without a file: the report still names the material.
    trap.reports.clear();
    m->SetTechnique(10);
    m->SetTechnique(132);
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_NE(trap.reports[0].text.find("\"odd\""), std::string::npos);
    EXPECT_EQ(trap.lastFatal, "");
}

// The technique table read as the game's material documentation lists it.
TEST(TexturingTechniques, EveryListedTechniqueHasOneRow) {
    const std::vector<int> listed{10,  20,  133, 30,  31,  32,  40,  41,  42,  50,  51,
                                  60,  61,  62,  70,  80,  81,  82,  90,  100, 101, 102,
                                  110, 111, 112, 113, 114, 115, 116, 130, 131, 132};
    std::vector<int> named;
    for (const texturing::Row& row : texturing::Techniques()) {
        int count = 0;
        for (int t : row.techniques) {
            if (t == texturing::kNoTechnique) continue;
            named.push_back(t);
            ++count;
        }
        // A modulating row steps through MODULATE, 2X, 4X with its techniques' last digit.
        const bool steps = row.colour0.op == texturing::kModulateByTechnique ||
                           row.colour1.op == texturing::kModulateByTechnique;
        if (steps) {
            ASSERT_EQ(count, 3) << row.techniques[0];
            EXPECT_EQ(row.techniques[1], row.techniques[0] + 1);
            EXPECT_EQ(row.techniques[2], row.techniques[0] + 2);
        }
    }
    std::vector<int> expected = listed;
    std::sort(expected.begin(), expected.end());
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, expected); // each once, and nothing else
}

TEST(TexturingTechniques, RowsReadAsListed) {
    using namespace texturing;
    const int TEX = D3DTA_TEXTURE, DIF = D3DTA_DIFFUSE, CUR = D3DTA_CURRENT;
    const StageOp off{D3DTOP_DISABLE}, unset{};
    struct Case {
        int technique;
        Blend blend;
        StageOp colour0, alpha0, colour1, alpha1;
        int empty;
        CoordIndex coord0, coord1;
        std::string report;
    } cases[] = {
        // 40: stage 1 reads coordinate set 0 and adds the texture to the current colour.
        {40,
         Blend::Off,
         {kModulateByTechnique, TEX, DIF},
         off,
         {D3DTOP_ADD, TEX, CUR},
         off,
         2,
         {},
         {0, -1},
         ""},
        // 51: additive, the diffuse colour alone.
        {51, Blend::Add, {D3DTOP_SELECTARG1, DIF}, off, off, off, 0, {}, {}, ""},
        // 70: stage 1 turns off its alpha only.
        {70, Blend::Alpha, {D3DTOP_SELECTARG1, TEX}, {D3DTOP_SELECTARG1, TEX}, unset, off, 1, {}, {}, ""},
        {111,
         Blend::Alpha,
         {kModulateByTechnique, TEX, DIF},
         {D3DTOP_MODULATE2X, TEX, DIF},
         off,
         off,
         1,
         {},
         {},
         ""},
        {113, Blend::Untouched, unset, unset, unset, unset, -1, {}, {}, ""},
        // 114: the two stages swap coordinate sets for the draw and swap them back after it.
        {114,
         Blend::Off,
         {D3DTOP_SELECTARG1, TEX, DIF},
         off,
         {kModulateByTechnique, TEX, CUR},
         off,
         2,
         {1, 0},
         {0, 1},
         ""},
        {131, Blend::Off, unset, unset, unset, unset, 2, {}, {}, ""},
        {132, Blend::Off, unset, unset, unset, unset, 2, {}, {}, "asks for texture stage 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.technique);
        const Row* row = FindTechnique(c.technique);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->blend, c.blend);
        EXPECT_EQ(row->colour0, c.colour0);
        EXPECT_EQ(row->alpha0, c.alpha0);
        EXPECT_EQ(row->colour1, c.colour1);
        EXPECT_EQ(row->alpha1, c.alpha1);
        EXPECT_EQ(row->empty, c.empty);
        EXPECT_EQ(row->coord0, c.coord0);
        EXPECT_EQ(row->coord1, c.coord1);
        EXPECT_EQ(row->report != nullptr, !c.report.empty());
        if (row->report) EXPECT_EQ(std::string(row->report).substr(0, c.report.size()), c.report);
    }
    // The modulation steps with the technique's place in its row.
    uint32_t place = 9;
    EXPECT_EQ(FindTechnique(112, &place), FindTechnique(110));
    EXPECT_EQ(place, 2u);
    EXPECT_EQ(FindTechnique(0), nullptr); // the empty slots of a row name nothing
    EXPECT_EQ(FindTechnique(254), nullptr);
}

TEST_F(Materials, ApplyGoesThroughTheStateCache) {
    NullDevice* dev = scope.device();
    ResetDeviceStateCache();
    m->SetTechnique(30);
    m->SetTwoSided(true);
    m->SetColors(0xFF336699u, 0, 0, 0, 4);
    m->SetTexture(0, TextureManager->GetTexture("ships/hull", D3DFMT_A8R8G8B8, false));
    TexturePropertiesClass* s0 = m->GetTextureProp(0);
    s0->SetMipBias(-0.25f);
    s0->SetFilters(D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_NONE);
    dev->ClearCalls();
    m->Apply();
    const DeviceState& st = dev->state();
    EXPECT_EQ(st.samp[0][D3DSAMP_MIPMAPLODBIAS], FloatBits(-0.25f));
    EXPECT_EQ(st.samp[0][D3DSAMP_MINFILTER], uint32_t(D3DTEXF_POINT));
    EXPECT_EQ(st.samp[0][D3DSAMP_MAGFILTER], uint32_t(D3DTEXF_LINEAR));
    EXPECT_EQ(st.samp[0][D3DSAMP_MIPFILTER], uint32_t(D3DTEXF_NONE));
    EXPECT_EQ(st.samp[1][D3DSAMP_MINFILTER], uint32_t(D3DTEXF_ANISOTROPIC)); // the defaults of a new stage
    EXPECT_EQ(st.tss[0][D3DTSS_COLOROP], uint32_t(D3DTOP_MODULATE));
    EXPECT_EQ(st.tss[1][D3DTSS_COLOROP], uint32_t(D3DTOP_DISABLE));
    EXPECT_EQ(st.rs[D3DRS_ALPHABLENDENABLE], 0u);
    EXPECT_EQ(st.rs[D3DRS_CULLMODE], uint32_t(D3DCULL_NONE));
    EXPECT_EQ(static_cast<IDirect3DBaseTexture9*>(st.textures[0].Get()), m->GetTexture(0)->GetTexture());
    EXPECT_FLOAT_EQ(st.material.Diffuse.b, 0x99 / 255.0f);
    EXPECT_EQ(st.ps.Get(), nullptr);

    // Again: cached states and textures stay away from the device, render states do not.
    const size_t samplers = dev->CountCalls("SetSamplerState"),
                 stages = dev->CountCalls("SetTextureStageState");
    const size_t renderStates = dev->CountCalls("SetRenderState"), textures = dev->CountCalls("SetTexture");
    m->SetTwoSided(false);
    m->Apply();
    EXPECT_EQ(dev->CountCalls("SetSamplerState"), samplers + 3); // the cache keeps filters, not the mip bias
    EXPECT_EQ(dev->CountCalls("SetTextureStageState"), stages);
    EXPECT_EQ(dev->CountCalls("SetTexture"), textures);
    EXPECT_EQ(dev->CountCalls("SetRenderState"), 2 * renderStates);
    EXPECT_EQ(dev->state().rs[D3DRS_CULLMODE], uint32_t(D3DCULL_CW));
}

// Each stage is sent whole before the next: its mip bias and filters, its
// render states, its stage states, then its texture; the cull mode follows
// the last stage. A second apply sends only what the cache does not keep.
TEST_F(Materials, ApplySendsEachStageWholeInStageOrder) {
    NullDevice* dev = scope.device();
    ResetDeviceStateCache();
    m->SetTechnique(40);
    m->SetTexture(0, TextureManager->GetTexture("ships/hull", D3DFMT_A8R8G8B8, false));
    m->GetTextureProp(1)->SetMipBias(0.5f);
    auto names = [&] {
        std::vector<std::string> out;
        for (const GfxCall& c : dev->Calls()) out.push_back(c.Text());
        return out;
    };
    dev->ClearCalls();
    m->Apply();
    const std::string texture0 = dev->Find("SetTexture").at(0);
    EXPECT_EQ(names(), (std::vector<std::string>{
                           "SetMaterial()",
                           "SetSamplerState(0, 8, 3212836864)", // -1.0: the default mip bias
                           "SetSamplerState(0, 6, 3)",
                           "SetSamplerState(0, 5, 3)",
                           "SetSamplerState(0, 7, 2)",
                           "SetRenderState(27, 0)",
                           "SetTextureStageState(0, 1, 4)",
                           "SetTextureStageState(0, 2, 2)",
                           "SetTextureStageState(0, 3, 0)",
                           "SetTextureStageState(0, 4, 1)",
                           texture0,
                           "SetSamplerState(1, 8, 1056964608)", // 0.5
                           "SetSamplerState(1, 6, 3)",
                           "SetSamplerState(1, 5, 3)",
                           "SetSamplerState(1, 7, 2)",
                           "SetTextureStageState(1, 11, 0)",
                           "SetTextureStageState(1, 1, 7)",
                           "SetTextureStageState(1, 2, 2)",
                           "SetTextureStageState(1, 3, 1)",
                           "SetTextureStageState(1, 4, 1)",
                           "SetSamplerState(2, 8, 3212836864)",
                           "SetSamplerState(2, 6, 3)",
                           "SetSamplerState(2, 5, 3)",
                           "SetSamplerState(2, 7, 2)",
                           "SetRenderState(22, 2)",
                       }));
    EXPECT_EQ(texture0.rfind("SetTexture(0, ", 0), 0u);

    dev->ClearCalls();
    m->Apply();
    EXPECT_EQ(names(), (std::vector<std::string>{
                           "SetMaterial()",
                           "SetSamplerState(0, 8, 3212836864)",
                           "SetRenderState(27, 0)",
                           "SetSamplerState(1, 8, 1056964608)",
                           "SetSamplerState(2, 8, 3212836864)",
                           "SetRenderState(22, 2)",
                       }));
}

TEST_F(Materials, ShaderKeyLoadsThePixelShaderOnce) {
    Put("shaders/tint.txt", "#pixelshader\nvoid main() { oC0 = v0; }\n");
    RE_CreatePixelShadersManager();
    const std::string file = DataPath + "shaders/tint.txt";
    LuaMachine->RunString("materials.hull.shader = " + std::string("\"") + file + "\"");
    ASSERT_FALSE(m->SetMaterialFromLua("hull", "checker"));
    ASSERT_NE(m->GetPixelShader(), nullptr);
    MaterialClass* other = MaterialClass::Create();
    other->SetMaterialFromLua("hull", "checker");
    EXPECT_EQ(other->GetPixelShader(), m->GetPixelShader());
    EXPECT_EQ(PixelShadersManager->Shaders().size(), 1u);
    m->Apply();
    EXPECT_EQ(static_cast<IDirect3DPixelShader9*>(scope.device()->state().ps.Get()),
              m->GetPixelShader()->GetPixelShader());
    other->Free();
    m->Free(); // the manager keeps its shader
    m = nullptr;
    EXPECT_EQ(PixelShadersManager->Shaders().size(), 1u);
    RE_FreePixelShadersManager();
}

TEST_F(Materials, CopiesAndRenderObjectMaterials) {
    m->SetMaterialFromLua("hull", "checker");
    m->SetPrimCount(7);
    MaterialClass* copy = m->Copy();
    EXPECT_EQ(copy->Name(), "hull");
    EXPECT_EQ(copy->GetTechnique(), 31);
    EXPECT_EQ(copy->GetPrimCount(), 7u);
    EXPECT_EQ(copy->GetTexture(0), m->GetTexture(0));
    EXPECT_NE(copy->GetTextureProp(0), m->GetTextureProp(0));
    EXPECT_EQ(copy->GetTextureProp(0)->StageStates(), m->GetTextureProp(0)->StageStates());
    EXPECT_EQ(MaterialCount, countBefore + 2);
    copy->Free();

    BuffersManager = std::make_unique<BuffersManagerClass>();
    auto* ro = TEngineObject::New<ROMaterialClass>();
    EXPECT_THROW(ro->SetIB(nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "ROMaterialClass.SetIB: fib = nil");
    ro->SetIB(BuffersManager->GetIB(6, D3DFMT_INDEX16, D3DPOOL_MANAGED));
    void* data = nullptr;
    ASSERT_EQ(ro->LockIB(6, &data), D3D_OK);
    static_cast<uint16_t*>(data)[5] = 42;
    ro->UnlockIB();
    ROMaterialClass* roCopy = ro->Copy();
    ASSERT_NE(roCopy->GetIB(), ro->GetIB());
    ASSERT_EQ(roCopy->LockIB(6, &data), D3D_OK);
    EXPECT_EQ(static_cast<uint16_t*>(data)[5], 42);
    roCopy->UnlockIB();
    // A shared material survives its render-object material.
    MaterialClass* shared = ro->Material();
    shared->SetShared(true);
    ro->Free();
    EXPECT_EQ(shared->GetPrimCount(), 0u);
    shared->Free();
    roCopy->Free();
    BuffersManager.reset();
}

// Materials filled one after another through a memo come out as those read
// from Lua one by one, report what they report, and leave Lua as they do.
TEST_F(Materials, AMemoFillsLikeReadingEachFromLua) {
    auto describe = [](MaterialClass* mat) {
        std::string s = mat->Name() + " t" + std::to_string(mat->GetTechnique());
        const D3DMATERIAL9& d = mat->GetD3DMaterial();
        for (float f :
             {d.Diffuse.r, d.Diffuse.g, d.Diffuse.b, d.Diffuse.a, d.Specular.a, d.Ambient.r, d.Power})
            s += " " + std::to_string(f);
        for (uint32_t i = 0; i < mat->StageCount(); ++i) {
            TexturePropertiesClass* st = mat->GetTextureProp(i);
            IKWTexture* t = st->GetTexture();
            s += " | " + (t ? t->GetName() : std::string("<none>")) + " " + std::to_string(st->MipBias()) +
                 " " + std::to_string(st->MinFilter()) + std::to_string(st->MagFilter()) +
                 std::to_string(st->MipFilter());
            for (const auto& r : st->StageStates())
                s += " s" + std::to_string(r.type) + "=" + std::to_string(r.value);
            for (const auto& r : st->RestoreStageStates())
                s += " r" + std::to_string(r.type) + "=" + std::to_string(r.value);
            for (const auto& r : st->RenderStates())
                s += " rs" + std::to_string(r.state) + "=" + std::to_string(r.value);
        }
        return s;
    };
    auto luaA = [] { return GetLuaString("a", false); };
    const std::pair<const char*, const char*> cases[] = {
        {"hull", "checker"}, {"ghost", "hull"}, {"lit", "checker"}, {"multi", "checker"}, {"half", "plain"}};
    for (const auto& [name, alternate] : cases) {
        std::vector<std::string> plain, memoed;
        std::vector<bool> plainAlt, memoAlt;
        const size_t logBefore = Log(kErrLogFileName).size();
        for (int i = 0; i < 4; ++i) {
            MaterialClass* mat = MaterialClass::Create();
            plainAlt.push_back(mat->SetMaterialFromLua(name, alternate));
            plain.push_back(describe(mat));
            mat->Free();
        }
        const std::string plainLog = Log(kErrLogFileName).substr(logBefore);
        const std::string plainA = luaA();
        LuaMachine->RunString("a = 'changed'");
        MaterialLuaMemo memo;
        for (int i = 0; i < 4; ++i) {
            MaterialClass* mat = MaterialClass::Create();
            memoAlt.push_back(mat->SetMaterialFromLua(name, alternate, &memo));
            memoed.push_back(describe(mat));
            mat->Free();
        }
        EXPECT_EQ(memoed, plain) << name;
        EXPECT_EQ(memoAlt, plainAlt) << name;
        EXPECT_EQ(luaA(), plainA) << name;
        // The same reports, as many times (each line carries its own time).
        auto reports = [](const std::string& log) {
            size_t n = 0;
            for (size_t at = log.find("SetMaterialFromLua"); at != std::string::npos;
                 at = log.find("SetMaterialFromLua", at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(reports(Log(kErrLogFileName).substr(logBefore + plainLog.size())), reports(plainLog))
            << name;
    }
    EXPECT_TRUE(trap.reports.empty());
}
