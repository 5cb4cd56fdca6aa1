// The planet system's backdrop as the player sees it, drawn by the real GL
// device from the generated content and the game's materials: the sky shows
// its texture's stars where its mesh puts them, a planet has a lit and a dark
// side, the sun's lens flare lies along the line through the middle of the
// view, and glows fade out round their middle instead of filling their
// square. Each picture is taken after a frame of the interface, which clamps
// its pictures and draws from memory, as every frame of the game does.
#include "space_scene_gl.h"

#include "interface/device_drawer.h"
#include "physics/cm_tree.h"
#include "platform/files.h"
#include "platform/gfx/dxt.h"
#include "platform/image_codecs.h"
#include "render/lamp.h"
#include "render/material.h"
#include "render/mesh.h"
#include "render/render_object.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace vesk::test {
namespace {

using namespace platform;

// The glows' template as the demo's effects name it.
constexpr const char* kLampTemplate =
    "fx.fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle', texture = 'fx/engine_glow.tga' }";

int Sum(const Rgb& p) {
    return p.r + p.g + p.b;
}

class EnvironmentGL : public SpaceSceneGL {
protected:
    void SetUp() override {
        width_ = 256;
        height_ = 192;
        contentFiles_ = {"Scripts/data/materials.lua"};
        contentText_ = kLampTemplate;
        SpaceSceneGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_NE(Environment(), nullptr);
        // Nothing but the backdrop: the dust's specks stay out of the pictures.
        Environment()->SetDustMode(0);
    }
    void TearDown() override {
        drawer_.reset();
        SpaceSceneGL::TearDown();
    }
    // A frame of the scene with the interface over it, then the frame read
    // back: the interface leaves its states to the next frame's scene.
    void DrawFrameAfterInterface() {
        DrawFrame();
        engine_->RE_BeginScene();
        drawer_->BeginFrame();
        drawer_->FillRect({0, 0, 16, 16}, 0xC0204060);
        TImageDraw picture;
        picture.texture = "interface/panel";
        picture.dest = {20, 0, 52, 32};
        drawer_->DrawImage(picture);
        drawer_->EndFrame();
        engine_->RE_EndScene();
        engine_->Present();
        DrawFrame();
    }
    // The direction from the eye through a pixel's centre.
    Vec3 Ray(float px, float py) const {
        Matrix inverse;
        MatrixInverse(MatrixProduct(camera_->GetViewMatrix(), camera_->GetProjMatrix()), inverse);
        const float x = 2.0f * px / float(width_) - 1.0f, y = 1.0f - 2.0f * py / float(height_);
        const Vec3 nearPoint = Vec3TransformCoord({x, y, 0.0f}, inverse);
        const Vec3 farPoint = Vec3TransformCoord({x, y, 1.0f}, inverse);
        return Vec3Normalize(Vec3Sub(farPoint, nearPoint));
    }
    // How much brighter than `before` the frame is over a square of pixels.
    int AddedLight(const std::vector<uint8_t>& before, int cx, int cy, int half) {
        int added = 0;
        for (int y = std::max(0, cy - half); y <= std::min(int(height_) - 1, cy + half); ++y)
            for (int x = std::max(0, cx - half); x <= std::min(int(width_) - 1, cx + half); ++x) {
                const gltest::Bgra a = Pixel(frame_, x, y), b = Pixel(before, x, y);
                added += std::max(0, a.r + a.g + a.b - b.r - b.g - b.b);
            }
        return added;
    }

    std::unique_ptr<TDeviceDrawer> drawer_ = std::make_unique<TDeviceDrawer>();
};

// The sky's texture as its mesh maps it: the triangle a view ray meets, the
// texture coordinates there (v turned as the model builder turns it) and the
// texel the sky's material samples (by points, repeating).
class SkyTexels {
public:
    SkyTexels(const GeomObjStruct& sky, const std::string& textureFile) : sky_(sky) {
        std::string bytes;
        DecodedImage image;
        if (!ReadFile(textureFile, bytes) ||
            !DecodeDds(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image))
            return;
        width_ = int(image.width);
        height_ = int(image.height);
        texels_ = DecodeDxt(image.format, image.levels[0].data(), image.levels[0].size(), image.width,
                            image.height);
    }
    bool Valid() const { return !texels_.empty(); }
    // The texel seen along a direction from the sky's middle; false when no triangle is met.
    bool Along(const Vec3& dir, int& tx, int& ty) const {
        // Neighbouring rays mostly meet the triangle the last one met.
        if (last_ && Texel(*last_, dir, tx, ty)) return true;
        for (const CMMaterialStruct& m : sky_.materials)
            for (size_t i = 0; i + 2 < m.indices.size(); i += 3) {
                const Triangle t{&sky_.vertices[m.indices[i]], &sky_.vertices[m.indices[i + 1]],
                                 &sky_.vertices[m.indices[i + 2]]};
                if (!Texel(t, dir, tx, ty)) continue;
                last_ = t;
                return true;
            }
        return false;
    }
    Rgb Texel(int x, int y) const {
        const uint8_t* p = texels_.data() + (size_t(y) * size_t(width_) + size_t(x)) * 4;
        return {p[2], p[1], p[0]};
    }

private:
    struct Triangle {
        const CMVertex *a, *b, *c;
    };
    bool Texel(const Triangle& tri, const Vec3& dir, int& tx, int& ty) const {
        const CMVertex &a = *tri.a, &b = *tri.b, &c = *tri.c;
        float s = 0, t = 0;
        if (!Hit(dir, a.position, b.position, c.position, s, t)) return false;
        const float u = a.tu + s * (b.tu - a.tu) + t * (c.tu - a.tu);
        const float v = -(a.tv + s * (b.tv - a.tv) + t * (c.tv - a.tv));
        tx = int(std::floor((u - std::floor(u)) * float(width_))) % width_;
        ty = int(std::floor((v - std::floor(v)) * float(height_))) % height_;
        return true;
    }
    // The ray from the origin along dir against a triangle: where it meets it (s, t along b - a, c - a).
    static bool Hit(const Vec3& dir, const Vec3& a, const Vec3& b, const Vec3& c, float& s, float& t) {
        const Vec3 e1 = Vec3Sub(b, a), e2 = Vec3Sub(c, a);
        const Vec3 p = Vec3Cross(dir, e2);
        const float det = Vec3Dot(e1, p);
        if (std::fabs(det) < 1e-12f) return false;
        const Vec3 o = Vec3Scale(a, -1.0f);
        s = Vec3Dot(o, p) / det;
        const Vec3 q = Vec3Cross(o, e1);
        t = Vec3Dot(dir, q) / det;
        return s >= 0 && t >= 0 && s + t <= 1 && Vec3Dot(e2, q) / det > 0;
    }

    const GeomObjStruct& sky_;
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> texels_;
    mutable std::optional<Triangle> last_;
};

TEST_F(EnvironmentGL, TheSkyShowsItsTexturesStarsWhereItsMeshPutsThem) {
    TStarsClass* stars = Environment()->Stars();
    ASSERT_NE(stars, nullptr);
    CMTreeClass* tree = nullptr;
    ASSERT_TRUE(Environment()->GetCM(tree));
    GeomObjStruct* sky = nullptr;
    ASSERT_TRUE(tree->GetGeomobject(stars->GetName(), sky));
    ASSERT_NE(stars->PartObject(), nullptr);
    const SkyTexels texels(*sky, stars->PartObject()->GetMaterial(0)->GetTexture(0)->GetFullName());
    ASSERT_TRUE(texels.Valid());

    // A narrow view up and away from the sun, the planets and the belt: a
    // texel of the sky covers a few pixels.
    camera_->SetFOV(20.0f);
    camera_->SetPose({-300, 0, 0}, Vec3Normalize({0.2f, -1.0f, 0.5f}));
    DrawFrameAfterInterface();
    // The sky is drawn around the eye: rays from its middle.
    Matrix toSky;
    MatrixInverse(stars->DrawMatrix(), toSky);
    const Vec3 eye = Vec3TransformCoord(camera_->GetPosition(), toSky);
    ASSERT_LT(Vec3Length(eye), 1.0f);
    int compared = 0, matched = 0, starCount = 0, starsShown = 0;
    for (int py = 1; py < int(height_) - 1; ++py)
        for (int px = 1; px < int(width_) - 1; ++px) {
            // Only pixels well inside one texel: the four around the centre agree.
            int tx = 0, ty = 0;
            ASSERT_TRUE(texels.Along(Vec3TransformNormal(Ray(float(px), float(py)), toSky), tx, ty));
            bool inside = true;
            for (const auto [dx, dy] :
                 {std::pair{-0.45f, -0.45f}, {0.45f, -0.45f}, {-0.45f, 0.45f}, {0.45f, 0.45f}}) {
                int ox = 0, oy = 0;
                inside =
                    inside &&
                    texels.Along(Vec3TransformNormal(Ray(float(px) + dx, float(py) + dy), toSky), ox, oy) &&
                    ox == tx && oy == ty;
            }
            if (!inside) continue;
            const Rgb want = texels.Texel(tx, ty), got = At(px, py);
            ++compared;
            const bool same = std::abs(want.r - got.r) <= 12 && std::abs(want.g - got.g) <= 12 &&
                              std::abs(want.b - got.b) <= 12;
            if (same) ++matched;
            if (Sum(want) > 300) {
                ++starCount;
                if (same) ++starsShown;
            }
        }
    ASSERT_GT(compared, 5000);
    EXPECT_GE(matched * 100, compared * 95) << matched << " of " << compared;
    // Its stars among them, each where the texture has it.
    EXPECT_GE(starCount, 3);
    EXPECT_EQ(starsShown, starCount);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

// The sky stands at infinity: a model farther away than its sphere (within
// the view's depth) is not hidden by it.
TEST_F(EnvironmentGL, AModelBeyondTheSkySphereStillShows) {
    const Vec3 eye{-300, 0, 0}, look = Vec3Normalize({0.2f, -1.0f, 0.5f});
    camera_->SetFOV(40.0f);
    camera_->SetPose(eye, look);
    DrawFrameAfterInterface();
    const std::vector<uint8_t> empty = frame_;
    // A rock blown up to 40000 across, 120000 ahead.
    auto* rock = TBaseRenderUnit::Create<MeshClass>(engine_);
    engine_->AddChild(rock);
    const std::string model = "models/space/asteroid_a.cm";
    rock->LoadFromCM(model, "rock", "rock");
    ASSERT_TRUE(rock->AddROFromCM(model, "lowpoly"));
    const Vec3 at = Vec3Add(eye, Vec3Scale(look, 120000.0f));
    Matrix place = MatrixScaling(1000, 1000, 1000);
    MatrixSetTranslation(place, at);
    rock->SetLocalMatrix(place);
    DrawFrameAfterInterface();
    const Vec3 middle = Project(at);
    int changed = 0;
    for (int y = int(middle.y) - 10; y <= int(middle.y) + 10; ++y)
        for (int x = int(middle.x) - 10; x <= int(middle.x) + 10; ++x) {
            const gltest::Bgra a = Pixel(frame_, x, y), b = Pixel(empty, x, y);
            if (std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b) > 30) ++changed;
        }
    EXPECT_GT(changed, 300);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

TEST_F(EnvironmentGL, APlanetIsLitOnItsSunsSideAndDarkOnTheOther) {
    LuaMachine->RunString("obj = { vesk_prime = {} } engine_AddEnvObj('vesk_prime')");
    ASSERT_EQ(Environment()->Planets().size(), 1u);
    // The planet seen side-on to its sun, which lights it from where it stands.
    const Vec3 planet{50000, 60000, -12000}, sun{80000, -40000, 30000};
    const float radius = 14000;
    const Vec3 toSun = Vec3Normalize(Vec3Sub(sun, planet));
    const Vec3 across = Vec3Normalize(Vec3Cross(toSun, {0, 0, 1}));
    camera_->SetFOV(50.0f);
    camera_->SetPose(Vec3Sub(planet, Vec3Scale(across, 45000)), across);
    DrawFrameAfterInterface();
    // Points of the near face, half-way between its middle and the sun's side, and the same on the far side.
    auto face = [&](float towardsSun) {
        const Vec3 n = Vec3Normalize(Vec3Add(Vec3Scale(toSun, 0.7f * towardsSun), Vec3Scale(across, -0.7f)));
        return Project(Vec3Add(planet, Vec3Scale(n, radius)));
    };
    auto mean = [&](const Vec3& p) {
        int r = 0, g = 0, b = 0, n = 0;
        for (int y = int(p.y) - 2; y <= int(p.y) + 2; ++y)
            for (int x = int(p.x) - 2; x <= int(p.x) + 2; ++x, ++n) {
                const Rgb c = At(x, y);
                r += c.r, g += c.g, b += c.b;
            }
        return Rgb{r / n, g / n, b / n};
    };
    const Rgb lit = mean(face(1.0f)), dark = mean(face(-1.0f));
    EXPECT_GT(Sum(lit), 150);
    EXPECT_GT(Sum(lit), 3 * Sum(dark) + 30) << Sum(lit) << " against " << Sum(dark);
    // The lit side shows its picture, blue seas and green land between the
    // clouds, not one flat colour.
    const Vec3 at = face(1.0f);
    int seaOrLand = 0;
    for (int y = int(at.y) - 12; y <= int(at.y) + 12; ++y)
        for (int x = int(at.x) - 12; x <= int(at.x) + 12; ++x) {
            const Rgb c = At(x, y);
            if (c.b > c.r + 30 || c.g > c.r + 20) ++seaOrLand;
        }
    EXPECT_GT(seaOrLand, 40);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

TEST_F(EnvironmentGL, TheLensFlareLiesAlongTheLineFromTheSunThroughTheMiddle) {
    auto* flare = dynamic_cast<LensflareClass*>(engine_->FindBRUByName("lensflare_SUNLIGHT_01"));
    ASSERT_NE(flare, nullptr);
    const std::vector<LensflareClass::Lens> lenses = flare->Lenses();
    ASSERT_GE(lenses.size(), 3u);
    // The sun up and to the side of the middle of a wide view; then the sun behind the eye.
    const Vec3 eye{-300, 0, 0}, toSun = Vec3Normalize({80000, -40000, 30000});
    const Vec3 towards = Vec3Normalize(Vec3Add(toSun, {0.05f, 0.3f, -0.2f}));
    camera_->SetFOV(70.0f);
    camera_->SetPose(eye, towards);
    // A rock in the lower corner of the view, drawn among the blended units
    // right before the flare as a ship's canopy or engine glow is: its
    // material leaves its culling behind.
    auto* rock = TBaseRenderUnit::Create<MeshClass>(engine_);
    engine_->AddChild(rock);
    const std::string model = "models/space/asteroid_a.cm";
    rock->LoadFromCM(model, "rock", "rock");
    ASSERT_TRUE(rock->AddROFromCM(model, "lowpoly"));
    rock->ClearFlag(BRU_OPAQUE);
    rock->SetFlag(BRU_BLENDED);
    rock->SetSortValue(0.5f);
    engine_->SortChildsBRU();
    rock->SetPosition(Vec3Add(eye, Vec3Scale(Ray(30, float(height_) - 30), 300.0f)));
    DrawFrameAfterInterface();
    const std::vector<uint8_t> sunInView = frame_;
    const Vec3 sun = Project(Vec3Add(eye, Vec3Scale(toSun, 94000.0f)));
    ASSERT_TRUE(sun.x > 0 && sun.x < float(width_) && sun.y > 0 && sun.y < float(height_));
    camera_->SetPose(eye, Vec3Scale(towards, -1.0f));
    DrawFrame();
    const std::vector<uint8_t> sunBehind = frame_;
    // The same two views without the flare.
    flare->Kill();
    DrawFrame();
    const std::vector<uint8_t> sunBehindNoFlare = frame_;
    camera_->SetPose(eye, towards);
    DrawFrame();
    const std::vector<uint8_t> sunInViewNoFlare = frame_;

    // Each sprite adds its light at its place on the line from the sun
    // through the middle; the mirror image of that place across the line
    // from the sun to the middle gets nothing.
    frame_ = sunInView;
    const float mx = float(width_) / 2, my = float(height_) / 2, k = float(width_) / 1024.0f;
    for (const LensflareClass::Lens& l : lenses) {
        SCOPED_TRACE(l.place);
        const float x = sun.x + (mx - sun.x) * l.place, y = sun.y + (my - sun.y) * l.place;
        const int half = std::max(2, int(l.size * 0.5f * k));
        EXPECT_GT(AddedLight(sunInViewNoFlare, int(x), int(y), half), 60 * half);
        EXPECT_LT(AddedLight(sunInViewNoFlare, int(2 * mx - x), int(y), half), 4 * half);
    }
    // With the sun behind the eye the flare adds nothing anywhere.
    frame_ = sunBehind;
    EXPECT_EQ(AddedLight(sunBehindNoFlare, int(mx), int(my), int(width_)), 0);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

// A lamp's glow with each of the effects' glowing pictures: bright in the
// middle, black in the corners of its square (added to the scene, a picture
// whose clear parts keep their colour shows as a square).
TEST_F(EnvironmentGL, GlowsFadeOutRoundTheirMiddleAndLeaveTheirCornersDark) {
    const char* pictures[] = {"fx/engine_glow.tga", "fx/particle.tga", "fx/spark.tga",
                              "fx/explosion.dds",   "fx/bullet.tga",   "fx/sun_glow.tga"};
    const Vec3 eye{-300, 0, 0}, look = Vec3Normalize({0.2f, -1.0f, 0.5f});
    camera_->SetFOV(40.0f);
    camera_->SetPose(eye, look);
    // A glow 30 across, 100 ahead: about a third of the view's height.
    const Vec3 at = Vec3Add(eye, Vec3Scale(look, 100.0f));
    DrawFrameAfterInterface();
    const std::vector<uint8_t> without = frame_;
    const Vec3 middle = Project(at);
    // The glow's square: 15 either way at 100 ahead, in pixels of the view's height.
    const int half = int(15.0f / 100.0f * float(height_) / 2 / std::tan(20.0f * 3.14159265f / 180.0f));
    ASSERT_GT(half, 20);
    for (const char* picture : pictures) {
        SCOPED_TRACE(picture);
        TLampClass* lamp = TLampClass::Make(engine_, "glow", at, 15.0f);
        lamp->SetTexture(std::string(picture));
        lamp->SetColor(0xFFFFFF);
        lamp->SetModeStatic();
        lamp->SetIntensity(1.0f);
        DrawFrameAfterInterface();
        const int cx = int(std::lround(middle.x)), cy = int(std::lround(middle.y));
        EXPECT_GT(AddedLight(without, cx, cy, 1), 9 * 300);
        const int c = half * 85 / 100;
        for (const auto [dx, dy] : {std::pair{-c, -c}, {c, -c}, {-c, c}, {c, c}})
            EXPECT_LT(AddedLight(without, cx + dx, cy + dy, 1), 9 * 10) << dx << " " << dy;
        lamp->Kill();
        DrawFrame();
    }
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

} // namespace
} // namespace vesk::test
