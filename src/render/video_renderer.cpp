#include "render/video_renderer.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/files.h"
#include "render/device.h"
#include "render/engine.h"
#include "shared/errors.h"

namespace vesk {

using namespace platform;

bool VideoWideScreen = false;
float VideoHorizontalScale = 1.0f;

void SetVideoScreenSize(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return;
    VideoHorizontalScale = (static_cast<float>(width) / 1024.0f) / (static_cast<float>(height) / 768.0f);
}

namespace {

std::vector<VideoRendererClass*>& PlayingRenderers() {
    static std::vector<VideoRendererClass*> list;
    return list;
}

constexpr double kEndTolerance = 0.0001;

} // namespace

const std::vector<VideoRendererClass*>& VideoRendererClass::PlayingList() {
    return PlayingRenderers();
}

VideoRendererClass* VideoRendererClass::Create(IDirect3DDevice9* device) {
    auto* v = ClamClass::Init<VideoRendererClass>(nullptr);
    v->device_ = Ref<IDirect3DDevice9>::Share(device);
    v->visible_ = true;
    v->loop_ = false;
    v->states_ = RenderStateManagerClass::Create(nullptr);
    v->states_->SetFromFlags(kQuadApplyStates, 0);
    v->states_->AddState(D3DRS_CULLMODE, D3DCULL_NONE, ""); // two-sided
    return v;
}

void VideoRendererClass::Load(const std::string& fileName) {
    if (!FileExists(fileName)) {
        ErrorReport("VideoRendererClass.Load: not FileExists(" + fileName + ")", "mhl");
        return;
    }
    fileName_ = fileName;
    decoder_ = CreateVideoDecoder();
    std::string why;
    loaded_ = decoder_->Open(fileName, &why);
    if (!loaded_) {
        if (!why.empty()) FastLogAddError(why);
        ErrorReport("VideoRendererClass.Load: TexRen.Load(" + fileName + ")", "mhl");
        return;
    }
    stopTime_ = decoder_->Duration();
    texture_ = nullptr;
    const uint32_t w = decoder_->Width(), h = decoder_->Height();
    if (device_ && w && h &&
        Failed(
            device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture_.Put(), nullptr))) {
        ErrorReport("VideoRendererClass.Load: TexRen.Render AV (possible invalid video res)", "mhl");
        return;
    }
    frameTime_ = shownTime_ = -1;
    havePending_ = decoderAtEnd_ = false;
    Stop();
    UploadFrame();
}

void VideoRendererClass::Play() {
    state_ = State::Running;
    position_ = 0;
    if (UpdaterManager && !UpdaterManager->IsClient(this)) UpdaterManager->AddClient(this);
    auto& list = PlayingRenderers();
    if (std::find(list.begin(), list.end(), this) == list.end()) list.push_back(this);
}

void VideoRendererClass::Stop() {
    state_ = State::Stopped;
    position_ = 0;
    if (endListener_) endListener_->VideoEnded(this);
    Unregister();
}

void VideoRendererClass::Pause() {
    if (state_ == State::Running) state_ = State::Paused;
}

void VideoRendererClass::Unregister() {
    if (UpdaterManager && UpdaterManager->IsClient(this)) UpdaterManager->RemoveClient(this);
    auto& list = PlayingRenderers();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void VideoRendererClass::SetPosition(double seconds) {
    if (!loaded_) return;
    position_ = std::clamp(seconds, 0.0, stopTime_);
}

void VideoRendererClass::UpdateTick(float stepMs) {
    if (!loaded_) return;
    if (state_ == State::Running) position_ = std::min(position_ + double(stepMs) / 1000.0, stopTime_);
    if (stopTime_ - position_ <= kEndTolerance) {
        if (loop_) {
            position_ = 0;
            Play();
        } else if (endListener_) {
            endListener_->VideoEnded(this);
            Unregister();
        }
    }
    // The texture follows the position whether or not the quad is drawn: a
    // video used as a material's texture is never drawn through Render.
    UploadFrame();
}

// Decodes up to the frame of the current position and copies it into the texture.
void VideoRendererClass::UploadFrame() {
    if (!decoder_ || !loaded_) return;
    if (frameTime_ > position_ + kEndTolerance) {
        // Back in time (a loop or a seek): decode again from the start.
        decoder_->SeekToStart();
        frameTime_ = -1;
        havePending_ = decoderAtEnd_ = false;
    }
    // The latest frame not later than the position (the first frame before any).
    while (!decoderAtEnd_) {
        if (!havePending_) {
            if (!decoder_->NextFrame(pending_, &pendingTime_)) {
                decoderAtEnd_ = true;
                break;
            }
            havePending_ = true;
        }
        if (frameTime_ >= 0 && pendingTime_ > position_ + kEndTolerance) break;
        frame_.swap(pending_);
        frameTime_ = pendingTime_;
        havePending_ = false;
    }
    if (!texture_ || frame_.empty() || frameTime_ == shownTime_) return;
    D3DLOCKED_RECT locked{};
    if (Failed(texture_->LockRect(0, &locked, nullptr, 0))) return;
    const uint32_t w = decoder_->Width(), h = decoder_->Height();
    if (frame_.size() >= size_t(w) * h * 4)
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * uint32_t(locked.Pitch),
                        frame_.data() + size_t(y) * w * 4, size_t(w) * 4);
    texture_->UnlockRect(0);
    shownTime_ = frameTime_;
}

void VideoRendererClass::Render() {
    if (!visible_) return;
    try {
        UploadFrame();
        if (!device_ || quad_.size() != 4 || !texture_) return;
        // The quad's states hold while it draws; what was set before comes back.
        std::vector<std::pair<D3DRENDERSTATETYPE, uint32_t>> saved;
        if (const auto* list = states_ ? states_->ApplyList() : nullptr)
            for (const RenderStateRecord& r : *list) {
                uint32_t value = 0;
                if (device_->GetRenderState(r.state, &value) == D3D_OK) saved.emplace_back(r.state, value);
                device_->SetRenderState(r.state, r.value);
            }
        device_->SetTexture(0, texture_.Get());
        device_->SetFVF(kQuadFvf);
        DeviceDrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad_.data(), sizeof(QuadVertex), device_.Get());
        for (const auto& [state, value] : saved) device_->SetRenderState(state, value);
    } catch (const std::exception&) {
        ErrorReport("VideoRendererClass.Render: " + fileName_, "mhl");
    }
}

void VideoRendererClass::DrawToRect(float x, float y, float width, float height) {
    // The picture is mapped upside down in v; k widens the v range on both sides
    // so a stretched viewport keeps the video's own proportions.
    const float k = VideoWideScreen ? 0.0f : 0.5f - 0.5f * VideoHorizontalScale;
    const uint32_t colour = 0x80FFFFFF;
    quad_ = {{x, y + height, 0.9f, 1.0f, colour, 0.0f, -k},
             {x, y, 0.9f, 1.0f, colour, 0.0f, 1.0f + k},
             {x + width, y + height, 0.9f, 1.0f, colour, 1.0f, -k},
             {x + width, y, 0.9f, 1.0f, colour, 1.0f, 1.0f + k}};
}

void VideoRendererClass::Free() {
    Unregister();
    endListener_ = nullptr;
    decoder_.reset();
    texture_ = nullptr;
    device_ = nullptr;
    loaded_ = false;
    if (RenderStateManagerClass* s = std::exchange(states_, nullptr)) s->ReleaseRef();
    ClamClass::Free();
}

} // namespace vesk
