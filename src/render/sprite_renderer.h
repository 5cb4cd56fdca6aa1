#pragma once
// Shared sprite drawing. Particles do not draw themselves: each frame they
// hand themselves as clients to a sprite renderer of the engine root, which
// sorts them by texture and draws them as batches of camera-facing quads. The
// distance-reaction renderer takes clients of every kind, sorts them far to
// near and feeds them in runs to the renderer of each kind, so that
// differently blended particles interleave correctly by depth.
#include "platform/gfx/device.h"
#include "render/render_unit.h"
#include "render/sprite_client.h"
#include "render/texture.h"
#include "render/texture_groups.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

class TRenderObject;
class ROMaterialClass;
class SwapManagerClass;

// One vertex of a quad store: position, colour, texture coordinates (24 bytes).
struct QuadVertex {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 24);

// A render object holding `quads` indexed quads (four vertices, six indices
// each), its vertices filled with the unit quad in colour 0x80808080 and its
// indices 0, 1, 2, 2, 3, 0 per quad. Without a device it has no buffers.
TRenderObject* CreateIndexedQuadStore(uint32_t quads, uint64_t applyFlags, const std::string& name);

// The batch behind a sprite renderer: four round-robin render objects of
// pre-built quads; per quad only the four positions and colours change.
class QuadsRendererClass : public TEngineObject {
public:
    static QuadsRendererClass* Create(platform::IDirect3DDevice9* device, const std::string& name,
                                      uint32_t maxQuads);
    // Frees an earlier set and makes the four render objects on the device; a
    // missing device is a fatal report.
    void CreateBuffers(platform::IDirect3DDevice9* device);
    bool HasBuffers() const { return current_ != nullptr || swap_ != nullptr; }

    // The next of the four render objects, emptied.
    void NextBatch();
    void SetTexture(IKWTexture* texture) { texture_ = texture; }
    // A quad of half-width size / 2 about the matrix's origin; a full batch drops it.
    void AddQuad(uint32_t colour, const Matrix& matrix, float size);
    // A quad of four given corners (in the order of the unit quad's corners); a full batch drops it.
    void AddQuadCorners(uint32_t colour, const Vec3 (&corners)[4]);
    bool BatchFull() const { return quadCount_ >= maxQuads_; }
    // Draws the batch with the current texture and an identity world transform.
    void Render();
    // The i-th quad of a run: its corners (as AddQuadCorners takes them) and
    // colour; false when it has nothing to draw.
    using CornerQuad = bool (*)(const void* run, uint32_t i, Vec3 (&corners)[4], uint32_t& colour);
    // As AddQuadCorners for each quad of a run of `count` while the batch is
    // not full, then Render, but the quads go straight into the locked
    // vertices (nothing is staged). Returns how many of the run it took.
    uint32_t RenderCorners(uint32_t count, CornerQuad quad, const void* run);
    // AddQuad for each sprite (its colour, matrix and size times two), then Render.
    void RenderSprites(const SpriteFacts* const* sprites, int count);
    void RenderSprites(const SpriteFacts* sprites, int count);

    uint32_t QuadCount() const { return quadCount_; }
    uint32_t MaxQuads() const { return maxQuads_; }
    const std::string& GetName() const { return name_; }
    TRenderObject* CurrentRO() const { return current_; }
    // The vertices of the quads of the current batch.
    const QuadVertex* BatchVertices() const { return staging_.data(); }

    void Free() override;
    std::string ClassName() const override { return "QuadsRendererClass"; }

    QuadsRendererClass() = default;

private:
    template <class Sprite> void WriteAndRender(const Sprite* sprites, int count);
    bool CheckRO();
    void FreeBuffers();
    // The batch's quads are in the render object: its draw.
    void Draw(ROMaterialClass* m);

    platform::IDirect3DDevice9* device_ = nullptr;
    uint32_t maxQuads_ = 0;
    std::string name_;
    std::unique_ptr<SwapManagerClass> swap_;
    TRenderObject* current_ = nullptr;
    IKWTexture* texture_ = nullptr;
    uint32_t quadCount_ = 0;
    // The batch is written here and copied into the render object in one lock.
    std::vector<QuadVertex> staging_;
};

// What both sprite renderers share: made only by their own constructor under
// the engine root, never copied, and a fixed-size client list refilled each frame.
class ClientRendererBase : public TBaseRenderUnit, public IRendererOps {
public:
    // The plain unit constructor and copying are refused.
    void Init(TBaseRenderUnit* parent) override;
    TBaseRenderUnit* CreateCopy(TBaseRenderUnit* parent) override;
    void ClearClients() override;
    void Render() override { DoRender(); }
    void EndRender() override { ClearClients(); }

    int ClientCount() const { return count_; }
    ISpriteClient* Client(int i) const { return clients_[static_cast<size_t>(i)]; }

protected:
    // Made under the engine root and added to it, sorted after the ordinary
    // units; any other parent is a fatal report (nullptr).
    template <class T> static T* Make(TBaseRenderUnit* parent, int capacity);
    // The client is stored at the end of the list; once full, each further
    // client replaces the last one. A nil client is a fatal report. Every
    // sprite of a frame passes here twice, so it is inline.
    bool StoreClient(ISpriteClient* client) {
        if (!client) return RefuseNilClient();
        const int last = static_cast<int>(clients_.size()) - 1;
        if (last < 0) return false;
        if (count_ > last) count_ = last;
        clients_[static_cast<size_t>(count_++)] = client;
        return true;
    }
    // "SpritesRendererClass" or "SpritesRendererDRClass", for the reports.
    virtual const char* ReportName() const = 0;

    std::vector<ISpriteClient*> clients_;
    int count_ = 0;

private:
    bool RefuseNilClient();

    bool constructing_ = false;
};

// A renderer of one kind of sprites (one blend material).
class SpritesRendererClass : public ClientRendererBase {
public:
    static constexpr int kMaxClients = 2001;
    static constexpr const char* kReportName = "SpritesRendererClass";
    // Named "SpritesRenderer_" + name, with its quad batch on the current device.
    static SpritesRendererClass* Create(TBaseRenderUnit* parent, const std::string& name);

    void AddClient(ISpriteClient* client) override { StoreClient(client); }
    void DoRender() override;
    void Free() override;
    // Draws a run of sprites as if they had been listed here and rendered: the
    // list is left empty, and a run longer than the list keeps what a full
    // list keeps (its first entries and its last).
    void DrawRun(const SpriteFacts* run, int count);

    QuadsRendererClass* Quads() const { return quads_; }
    // Texture runs drawn since the last ClearBatchLog (tests and benchmarks).
    int BatchesDrawn() const { return batchesDrawn_; }
    void ClearBatchLog() { batchesDrawn_ = 0; }

protected:
    const char* ReportName() const override { return kReportName; }

private:
    // Puts the sprites of each texture side by side in grouped_ and draws each
    // group; false where the sprites were drawn in their own order.
    bool RenderBatch(const SpriteFacts* sprites, int count);

    QuadsRendererClass* quads_ = nullptr;
    float maxPointSize_ = 0.0f;
    int batchesDrawn_ = 0;
    // The listed clients' facts, a run cut to the list's size, and the grouping's order.
    std::vector<SpriteFacts> facts_;
    std::vector<const SpriteFacts*> grouped_;
    TextureGrouping<const SpriteFacts*> grouping_;
};

// Sorts clients of every kind far to near and draws them in runs through the
// renderer of each run's kind.
class SpritesRendererDRClass : public ClientRendererBase {
public:
    static constexpr int kMaxClients = 20001;
    static constexpr const char* kReportName = "SpritesRendererDRClass";
    // The renderers it feeds, by kind.
    struct Renderers {
        SpritesRendererClass* burst = nullptr;
        SpritesRendererClass* smokeBlend = nullptr;
        SpritesRendererClass* lamp = nullptr;
        SpritesRendererClass* smokeAlpha = nullptr;
    };
    static SpritesRendererDRClass* Create(TBaseRenderUnit* parent, const Renderers& renderers);

    // The client is told its distance from the camera first.
    void AddClient(ISpriteClient* client) override;
    void ClearClients() override { count_ = 0; }
    void DoRender() override;

    // Kind 1 burst, 3 smoke-blend, 4 smoke-alpha, 5 lamp; any other kind burst.
    SpritesRendererClass* RendererFor(int32_t kind) const;
    // The renderers that drew the runs of the last DoRender, in order.
    const std::vector<SpritesRendererClass*>& LastRuns() const { return runs_; }
    // Drops a renderer that went away.
    void DropRenderer(TEngineObject* gone);
    void Message(IEngineObject* sender, int msg, int param) override;

protected:
    const char* ReportName() const override { return kReportName; }

private:
    Renderers renderers_;
    std::vector<SpritesRendererClass*> runs_;
    Vec3 eye_{};
    // The clients' facts, read once a frame, as listed and then far to near.
    std::vector<SpriteFacts> facts_, sorted_;
    // Far-to-near order as packed keys (distance bits over the entry's index):
    // sorting plain integers is several times cheaper than sorting entries, and
    // clients at one distance keep the order they came in.
    std::vector<uint64_t> order_, scratch_;
};

} // namespace vesk
