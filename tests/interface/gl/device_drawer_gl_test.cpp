// The interface drawer on the GL device: exact rectangles and frames,
// polygons, images with their source rectangle, colour, alpha switch and
// blend, glyphs from the atlas, the render states given back afterwards, and
// nodes drawn turned by their angle.
#include <gtest/gtest.h>

#include <cmath>

#include "core/lua_machine.h"
#include "core/paths.h"
#include "interface/device_drawer.h"
#include "interface/draw_nodes.h"
#include "interface/interface_tools.h"
#include "platform/files.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/texture.h"
#include "shared/math.h"
#include "support/image_files.h"

namespace vesk::test {
namespace {

using namespace platform;
using gltest::Bgra;
using gltest::H;
using gltest::W;

class DrawerGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || !dev_) return;
        Device = dev_;
        ResetDeviceStateCache();
        DataPath = dir.path() + "/";
        // A 4 x 4 picture: the left half red, the right half blue.
        std::vector<uint32_t> texels;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) texels.push_back(x < 2 ? 0x80FF0000u : 0x800000FFu);
        CreateFolders(dir.path() + "/TEXTURES");
        WriteFile(dir.path() + "/TEXTURES/halves.dds", ArgbDds(4, 4, 1, texels));
        RE_CreateTextureManager();
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    }
    void TearDown() override {
        drawer.reset();
        RE_FreeTextureManager();
        ClearCachedTextures();
        DataPath.clear();
        Device = nullptr;
        GfxGL::TearDown();
    }
    ErrorTrap trap;
    TempDir dir;
    std::unique_ptr<TDeviceDrawer> drawer = std::make_unique<TDeviceDrawer>();
};

TEST_F(DrawerGL, RectanglesAndFramesCoverExactlyTheirPixels) {
    drawer->BeginFrame();
    drawer->FillRect({10, 10, 20, 16}, 0xFF00FF00);
    drawer->FrameRect({30, 5, 40, 15}, 0xFFFF0000);
    drawer->EndFrame();
    const auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 10, 10), 0, 255, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 19, 15), 0, 255, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 20, 15), 0, 0, 0, 1); // right and bottom are outside
    EXPECT_NEAR_COLOR(Pixel(f, 19, 16), 0, 0, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 9, 10), 0, 0, 0, 1);
    for (const auto& [x, y] : {std::pair{30, 5}, std::pair{39, 5}, std::pair{30, 14}, std::pair{39, 14},
                               std::pair{30, 10}, std::pair{39, 10}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_NEAR_COLOR(Pixel(f, x, y), 255, 0, 0, 1);
    }
    EXPECT_NEAR_COLOR(Pixel(f, 35, 10), 0, 0, 0, 1); // a frame is hollow
}

TEST_F(DrawerGL, PolygonsAndHalfTransparentFills) {
    drawer->BeginFrame();
    const TIPoint tri[] = {{4, 4}, {28, 4}, {4, 28}};
    drawer->FillPolygon(tri, 0xFFFFFFFF);
    drawer->FillRect({0, 0, 64, 48}, 0x80000080); // half-transparent blue over everything
    const TIPoint square[] = {{40, 30}, {60, 30}, {60, 44}, {40, 44}};
    drawer->FramePolygon(square, 0xFF00FF00);
    drawer->EndFrame();
    const auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 8, 8), 127, 127, 191, 3); // inside the triangle, blended
    EXPECT_NEAR_COLOR(Pixel(f, 24, 24), 0, 0, 64, 3);    // outside it
    EXPECT_NEAR_COLOR(Pixel(f, 50, 30), 0, 255, 0, 1);   // on the outline
    EXPECT_NEAR_COLOR(Pixel(f, 50, 37), 0, 0, 64, 3);    // inside it
}

TEST_F(DrawerGL, ImagesTakeTheirSourceColourAlphaAndBlend) {
    struct Case {
        const char* name;
        TIRect source;
        uint32_t color;
        bool alpha;
        TImageBlend blend;
        int r, g, b; // at the image's left and right pixel over a grey 0x404040
        int r2, g2, b2;
    };
    const Case cases[] = {
        // The whole picture with its own alpha (half) over grey.
        {"whole", {}, 0xFFFFFFFF, true, TImageBlend::Normal, 160, 32, 32, 32, 32, 160},
        // Its alpha ignored: opaque.
        {"opaque", {}, 0xFFFFFFFF, false, TImageBlend::Normal, 255, 0, 0, 0, 0, 255},
        // Only the right half of the picture, tinted half green.
        {"source", {2, 0, 4, 4}, 0xFF00FF00, false, TImageBlend::Normal, 0, 0, 0, 0, 0, 0},
        // Added on top of the grey.
        {"add", {}, 0xFFFFFFFF, false, TImageBlend::Add, 255, 64, 64, 64, 64, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0x40, 0x40, 0x40), 1.0f, 0);
        drawer->BeginFrame();
        TImageDraw d;
        d.texture = "halves";
        d.dest = {8, 8, 40, 24};
        d.source = c.source;
        d.color = c.color;
        d.alphaChannel = c.alpha;
        d.blend = c.blend;
        drawer->DrawImage(d);
        drawer->EndFrame();
        const auto f = Frame();
        EXPECT_NEAR_COLOR(Pixel(f, 9, 16), c.r, c.g, c.b, 4);
        EXPECT_NEAR_COLOR(Pixel(f, 38, 16), c.r2, c.g2, c.b2, 4);
        EXPECT_NEAR_COLOR(Pixel(f, 44, 16), 0x40, 0x40, 0x40, 1);
    }
    uint64_t id = 0, again = 1;
    int w = 0, h = 0;
    ASSERT_TRUE(drawer->TextureInfo("halves", id, w, h));
    EXPECT_EQ(w, 4);
    EXPECT_TRUE(drawer->TextureInfo("HALVES", again, w, h));
    EXPECT_EQ(id, again); // the same texture under another spelling
}

TEST_F(DrawerGL, GlyphsComeFromTheAtlasInTheirColour) {
    TGlyph g;
    g.serial = 1;
    g.ascender = 6;
    g.bitmap.width = 3;
    g.bitmap.height = 4;
    g.bitmap.left = 1;
    g.bitmap.top = 5; // the top row is one pixel below the line's top
    g.bitmap.coverage.assign(12, 255);
    drawer->BeginFrame();
    drawer->BeginBatch();
    drawer->PlaceGlyph(g, 20, 10);
    drawer->DrawGlyph(0xFFFFFF00);
    drawer->PlaceGlyph(g, 40, 10);
    drawer->DrawGlyph(0xFF00FFFF);
    drawer->EndBatch();
    drawer->EndFrame();
    EXPECT_EQ(drawer->AtlasGlyphs(), 1u);
    const auto f = Frame();
    EXPECT_NEAR_COLOR(Pixel(f, 21, 11), 255, 255, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 23, 14), 255, 255, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 21, 10), 0, 0, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 24, 11), 0, 0, 0, 1);
    EXPECT_NEAR_COLOR(Pixel(f, 42, 12), 0, 255, 255, 1);
}

// Shapes drawn one after another, between images and glyphs, in one frame and
// the next: each is flat in its own colour.
TEST_F(DrawerGL, ShapesAmongImagesAndGlyphsStayFlat) {
    TGlyph g;
    g.serial = 2;
    g.bitmap.width = g.bitmap.height = 2;
    g.bitmap.coverage.assign(4, 255);
    TImageDraw image;
    image.texture = "halves";
    image.dest = {0, 0, 8, 8};
    image.alphaChannel = false;
    struct Expected {
        int x, y, r, g, b;
    };
    const Expected pixels[] = {
        {15, 5, 0, 255, 0},   {10, 17, 255, 255, 255}, {15, 17, 0, 0, 0}, // the first fill and frame
        {1, 4, 255, 0, 0},    {6, 4, 0, 0, 255},                          // the picture
        {25, 5, 255, 0, 255}, {33, 5, 255, 0, 255},                       // the fill after it
        {40, 0, 255, 255, 0}, {53, 5, 0, 255, 255},                       // the glyph, the fill after it
    };
    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame);
        drawer->BeginFrame();
        drawer->FillRect({10, 0, 20, 10}, 0xFF00FF00);
        drawer->FrameRect({10, 12, 20, 22}, 0xFFFFFFFF);
        drawer->DrawImage(image);
        drawer->FillRect({24, 0, 34, 10}, 0xFFFF00FF);
        drawer->BeginBatch();
        drawer->PlaceGlyph(g, 40, 0);
        drawer->DrawGlyph(0xFFFFFF00);
        drawer->FillRect({48, 0, 58, 10}, 0xFF00FFFF); // the glyph is drawn before it
        drawer->EndBatch();
        drawer->EndFrame();
        const auto f = Frame();
        for (const Expected& e : pixels) {
            SCOPED_TRACE(e.x);
            EXPECT_NEAR_COLOR(Pixel(f, e.x, e.y), e.r, e.g, e.b, 1);
        }
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    }
}

TEST_F(DrawerGL, TheFrameGivesBackTheRenderStatesItChanged) {
    dev_->SetRenderState(D3DRS_ZENABLE, 1);
    dev_->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    dev_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    drawer->BeginFrame();
    drawer->FillRect({0, 0, 4, 4}, 0xFFFFFFFF);
    drawer->EndFrame();
    uint32_t z = 0, blend = 1, cull = 0;
    dev_->GetRenderState(D3DRS_ZENABLE, &z);
    dev_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    dev_->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(z, 1u);
    EXPECT_EQ(blend, 0u);
    EXPECT_EQ(cull, uint32_t(D3DCULL_CCW));
}

// The interface clamps its pictures; the scene drawn in the next frame wraps
// its models' textures (their v runs below 0) and takes its vertex buffer
// from the state cache. A frame with a picture leaves both as the scene had them.
TEST_F(DrawerGL, TheFrameGivesBackTheScenesTextureAddressingAndVertexStream) {
    Ref<IDirect3DVertexBuffer9> vb;
    ASSERT_EQ(dev_->CreateVertexBuffer(96, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, vb.Put(), nullptr), D3D_OK);
    CachedSetStreamSource(0, vb.Get(), 12);
    dev_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    dev_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    drawer->BeginFrame();
    TImageDraw picture;
    picture.texture = "halves";
    picture.dest = {0, 0, 8, 8};
    drawer->DrawImage(picture);
    drawer->EndFrame();
    uint32_t u = 0, v = 0;
    dev_->GetSamplerState(0, D3DSAMP_ADDRESSU, &u);
    dev_->GetSamplerState(0, D3DSAMP_ADDRESSV, &v);
    EXPECT_EQ(u, uint32_t(D3DTADDRESS_WRAP));
    EXPECT_EQ(v, uint32_t(D3DTADDRESS_MIRROR));
    // The scene sets its buffer through the cache again and finds it bound.
    CachedSetStreamSource(0, vb.Get(), 12);
    Ref<IDirect3DVertexBuffer9> bound;
    uint32_t offset = 0, stride = 0;
    ASSERT_EQ(dev_->GetStreamSource(0, bound.Put(), &offset, &stride), D3D_OK);
    EXPECT_EQ(bound.Get(), vb.Get());
    EXPECT_EQ(stride, 12u);
}

// Nodes on the drawer through their own drawing: a picture whose left half is
// red, an arrow polygon pointing up and a framed bar, each at the angles a HUD
// pointer takes.
class TurnedNodesGL : public DrawerGL {
protected:
    void SetUp() override {
        DrawerGL::SetUp();
        if (IsSkipped() || !dev_) return;
        if (!TEODestroyManager) TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CreateLuaMachine();
        StartInterfaceCore();
        InterfaceDrawer = drawer.get();
        InterfaceScaleX = InterfaceScaleY = 1.0f;
    }
    void TearDown() override {
        for (TMegaButton* n : nodes_) n->Free();
        if (TEODestroyManager) {
            TEODestroyManager->Flush();
            TEODestroyManager.reset();
        }
        InterfaceDrawer = nullptr;
        if (InterfaceTools) EndInterfaceCore();
        if (LuaMachine) FreeLuaMachine();
        DrawerGL::TearDown();
    }
    TMegaButton* Node(std::initializer_list<std::pair<const char*, const char*>> props) {
        auto* n = TEngineObject::New<TMegaButton>();
        for (const auto& [key, value] : props) n->SetProperty(key, value);
        nodes_.push_back(n);
        return n;
    }
    std::vector<TMegaButton*> nodes_;
};

TEST_F(TurnedNodesGL, NodesAreDrawnTurnedClockwiseAboutTheirCentre) {
    TMegaButton* picture = Node({{"LEFT", "4"},
                                 {"TOP", "4"},
                                 {"WIDTH", "16"},
                                 {"HEIGHT", "16"},
                                 {"IMAGE", "halves"},
                                 {"ALPHA", "0"}});
    TMegaButton* arrow = Node({{"LEFT", "24"},
                               {"TOP", "4"},
                               {"WIDTH", "16"},
                               {"HEIGHT", "16"},
                               {"COLOR", "FF00FF00"},
                               {"POINTCOUNT", "3"},
                               {"X", "8,16,0"},
                               {"Y", "0,16,16"}});
    TMegaButton* bar =
        Node({{"LEFT", "42"}, {"TOP", "28"}, {"WIDTH", "16"}, {"HEIGHT", "8"}, {"FRAMECOLOR", "FFFFFF00"}});
    using P = std::pair<int, int>;
    struct Case {
        const char* name;
        float angle;
        P red, blue;            // inside the picture's halves
        P arrow[2], noArrow[2]; // inside the arrow, and beside its point
        P rim[2], noRim[2];     // on the bar's frame, and off it
    };
    const Case cases[] = {
        // As made: red on the left, the arrow up, the bar lying.
        {"as made",
         kPi,
         {6, 12},
         {17, 12},
         {{32, 8}, {26, 18}},
         {{26, 8}, {38, 8}},
         {{42, 28}, {57, 35}},
         {{50, 32}, {46, 32}}},
        // A quarter turn anticlockwise: red at the bottom, the arrow pointing left, the bar standing.
        {"pointing left",
         kPi / 2,
         {12, 17},
         {12, 6},
         {{28, 12}, {38, 6}},
         {{28, 6}, {28, 18}},
         {{46, 32}, {53, 32}},
         {{50, 32}, {42, 28}}},
        // A quarter turn clockwise: red at the top, the arrow pointing right.
        {"pointing right",
         -kPi / 2,
         {12, 6},
         {12, 17},
         {{36, 12}, {26, 6}},
         {{36, 6}, {36, 18}},
         {{46, 32}, {53, 32}},
         {{50, 32}, {42, 28}}},
        // Half a turn: red on the right, the arrow down, the bar lying again.
        {"upside down",
         0.0f,
         {17, 12},
         {6, 12},
         {{32, 16}, {26, 6}},
         {{25, 18}, {39, 18}},
         {{42, 28}, {57, 35}},
         {{50, 32}, {46, 32}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
        drawer->BeginFrame();
        for (TMegaButton* n : {picture, arrow, bar}) {
            n->SetAngle(c.angle);
            DrawTree(n);
        }
        drawer->EndFrame();
        const auto f = Frame();
        auto expect = [&](P at, int r, int g, int b) {
            SCOPED_TRACE(std::to_string(at.first) + "," + std::to_string(at.second));
            EXPECT_NEAR_COLOR(Pixel(f, at.first, at.second), r, g, b, 8);
        };
        expect(c.red, 255, 0, 0);
        expect(c.blue, 0, 0, 255);
        // A square picture turned by quarters covers its own pixels, no more, no fewer.
        for (P corner : {P{4, 4}, P{19, 4}, P{4, 19}, P{19, 19}})
            EXPECT_GT(Pixel(f, corner.first, corner.second).r + Pixel(f, corner.first, corner.second).b, 200);
        for (P outside : {P{3, 12}, P{20, 12}, P{12, 3}, P{12, 20}}) expect(outside, 0, 0, 0);
        for (P at : c.arrow) expect(at, 0, 255, 0);
        for (P at : c.noArrow) expect(at, 0, 0, 0);
        for (P at : c.rim) expect(at, 255, 255, 0);
        for (P at : c.noRim) expect(at, 0, 0, 0);
    }
}

} // namespace
} // namespace vesk::test
