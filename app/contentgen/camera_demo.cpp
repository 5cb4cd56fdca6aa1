// The camera demo's talker: a head whose animation file carries its own
// camera and camera target, so the interface viewport that shows it looks
// through the model's camera.
#include "image.h"
#include "mesh.h"
#include "models.h"
#include "shared/math.h"

namespace vesk::contentgen {

namespace {

void WriteTalker(const AssetSink& sink) {
    // One colour with a darker one-texel frame: the inside reads back exactly.
    Image skin(8, 8);
    skin.Fill([](float u, float v) {
        const bool edge = u < 1.0f / 8 || v < 1.0f / 8 || u > 7.0f / 8 || v > 7.0f / 8;
        return edge ? Scale(Hex(0xE0A040), 0.5f) : Hex(0xE0A040);
    });
    sink("TEXTURES/camera_demo/talker.bmp", EncodeBmp(skin));

    // A face and its open-mouthed shape: as many vertices, so one blends into the other.
    ModelFile model("camera_talker");
    model.AddMaterial("camera_talker_skin", "camera_demo/talker", 0xE0A040);
    model.AddObject("base", Box({29, -4, -5}, {31, 4, 5}, "camera_talker_skin"));
    model.AddObject("mouth", Box({29, -4, -7}, {31, 4, 5}, "camera_talker_skin"));
    EmitModel(sink, "models/camera_demo/camera_talker.cm", model);

    ModelFile animation("camera_talker_anim");
    animation.animationRoot = "root";
    for (const char* shape : {"base", "mouth"}) {
        AnimTrack t;
        t.name = shape;
        t.endFrame = 30;
        for (int i = 0; i < 4; ++i) {
            AnimKey k;
            // Key times carry the morph weight (x 100) of each frame.
            k.time = std::string(shape) == "mouth" ? float(i) * 100.0f / 3.0f : 0.0f;
            t.keys.push_back(k);
        }
        animation.tracks.push_back(t);
    }
    // The shot: in front of the face and a little above, aimed at its middle.
    CameraPoint eye;
    eye.name = "talker_eye";
    eye.target = "talker_target";
    eye.tm = MatrixTranslation(10, 0, 2);
    eye.fov = 40.0f;
    CameraPoint target;
    target.name = "talker_target";
    target.tm = MatrixTranslation(30, 0, 0);
    animation.cameras = {eye, target};
    EmitModel(sink, "models/camera_demo/camera_talker.cma", animation);
}

} // namespace

} // namespace vesk::contentgen

VESK_ASSET_GROUP(camera_demo, vesk::contentgen::WriteTalker);
