// The render demo's models and textures: a beacon with its attach points,
// lamp, bounding sphere and an antenna sub-object; a talking head whose mouth
// is blended from a morph target by its animation file; and the item scene
// an interface viewport shows. One colour per texture, so a frame read back
// tells which model a pixel belongs to.
#include "image.h"
#include "mesh.h"
#include "models.h"
#include "shared/math.h"

namespace vesk::contentgen {

namespace {

// One colour with a darker one-texel frame: the inside reads back exactly.
void FlatTexture(const AssetSink& sink, const std::string& path, uint32_t rgb) {
    Image image(16, 16);
    const Rgba colour = Hex(rgb), frame = Scale(Hex(rgb), 0.5f);
    image.Fill([&](float u, float v) {
        const bool edge = u < 1.0f / 16 || v < 1.0f / 16 || u > 15.0f / 16 || v > 15.0f / 16;
        return edge ? frame : colour;
    });
    sink(path, EncodeBmp(image));
}

AnimKey Key(float time, const Matrix& tm = Matrix{}) {
    AnimKey k;
    k.time = time;
    k.tm = tm;
    return k;
}

// The beacon: a box at the origin, an antenna on top, two attach points, a lamp.
void WriteBeacon(const AssetSink& sink) {
    ModelFile model("render_demo");
    model.AddMaterial("render_demo_hull", "render_demo/hull", 0xFF8000);
    model.AddObject("base", Box({-5, -5, -5}, {5, 5, 5}, "render_demo_hull"));
    GeomObject& antenna =
        model.AddObject("antenna", Box({-0.5f, -0.5f, 5}, {0.5f, 0.5f, 9}, "render_demo_hull"));
    antenna.tm = MatrixTranslation(0, 0, 7);
    model.AddHelper("gun", {5, 0, 0});
    model.AddHelper("nozzle", {-5, 0, 0});
    model.AddSphere("body", {0, 0, 0}, 8.7f);
    LightPoint lamp;
    lamp.name = "lamp01";
    lamp.position = {0, 0, 9};
    lamp.rgba[0] = 1.0f;
    lamp.rgba[1] = 0.25f;
    lamp.rgba[2] = 0.0f;
    model.lights.push_back(lamp);
    EmitModel(sink, "models/render_demo/render_demo.cm", model);

    // The antenna sways: its animation lives beside the model.
    ModelFile animation("render_demo_anim");
    animation.animationRoot = "root";
    AnimTrack sway;
    sway.name = "antenna";
    sway.endFrame = 60;
    for (int i = 0; i < 3; ++i)
        sway.keys.push_back(Key(float(i) * 3000.0f, MatrixTranslation(0, float(i - 1), 7)));
    animation.tracks.push_back(sway);
    EmitModel(sink, "models/render_demo/render_demo.cma", animation);
}

// A head of two shapes with as many vertices: the mouth opens as the "mouth"
// target's weight rises from 0 to 1 over the animation.
void WriteHead(const AssetSink& sink, const std::string& id, uint32_t rgb) {
    ModelFile model(id);
    const std::string skin = id + "_skin";
    model.AddMaterial(skin, "render_demo/" + id, rgb);
    model.AddMaterial("render_demo_background", "render_demo/background", 0x2040C0);
    const Vec3 at{20, 0, 0};
    GeomObject& base = model.AddObject("base", Box({19, -3, -4}, {21, 3, 4}, skin));
    base.tm = MatrixTranslation(at.x, at.y, at.z);
    GeomObject& mouth = model.AddObject("mouth", Box({19, -3, -6}, {21, 3, 4}, skin));
    mouth.tm = MatrixTranslation(at.x, at.y, at.z);
    GeomObject& eye = model.AddObject("eye1", Ellipsoid({18.8f, 1.2f, 1.5f}, {0.5f, 0.5f, 0.5f}, 6, 4, skin));
    eye.tm = MatrixTranslation(18.8f, 1.2f, 1.5f);
    GeomObject& back =
        model.AddObject("background", Box({40, -30, -30}, {41, 30, 30}, "render_demo_background"));
    back.tm = MatrixTranslation(40.5f, 0, 0);
    model.ambient = 0xFF404040;
    EmitModel(sink, "models/render_demo/" + id + ".cm", model);

    ModelFile animation(id + "_anim");
    animation.animationRoot = "root";
    // A track's key times carry the morph weight (x 100) of each frame.
    for (const char* shape : {"base", "mouth"}) {
        AnimTrack t;
        t.name = shape;
        t.endFrame = 30;
        for (int i = 0; i < 4; ++i)
            t.keys.push_back(Key(std::string(shape) == "mouth" ? float(i) * 100.0f / 3.0f : 0.0f,
                                 MatrixTranslation(at.x, at.y, at.z)));
        animation.tracks.push_back(t);
    }
    EmitModel(sink, "models/render_demo/" + id + ".cma", animation);
}

void WriteRenderDemo(const AssetSink& sink) {
    FlatTexture(sink, "TEXTURES/render_demo/hull.bmp", 0xFF8000);
    FlatTexture(sink, "TEXTURES/render_demo/demo_head.bmp", 0x20C040);
    FlatTexture(sink, "TEXTURES/render_demo/items_scene.bmp", 0xC020C0);
    FlatTexture(sink, "TEXTURES/render_demo/background.bmp", 0x2040C0);
    WriteBeacon(sink);
    WriteHead(sink, "demo_head", 0x20C040);
    WriteHead(sink, "items_scene", 0xC020C0);
}

} // namespace

} // namespace vesk::contentgen

VESK_ASSET_GROUP(render_demo, vesk::contentgen::WriteRenderDemo);
