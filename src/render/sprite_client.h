#pragma once
// What a particle offers the shared sprite renderers: each frame it hands
// itself to a renderer, which batches the clients by texture and draws them
// as camera-facing quads. The effects implement this.
#include "platform/math_types.h"

#include <cstdint>

namespace vesk {

class IKWTexture;

// A particle that is never aged (a lamp's glow keeps its size and colour as the lamp sets them).
inline constexpr uint64_t BRU_NO_PARTICLE_UPDATE = 0x200;

// Which shared renderer takes a client; any other kind goes to the burst one.
enum class SpriteKind : int32_t { Burst = 1, SmokeBlend = 3, SmokeAlpha = 4, Lamp = 5 };

class ISpriteClient;

// What the sprite renderers read of a client in a frame, gathered in one call:
// the sort, the grouping by texture and the quad writing all read from here.
struct SpriteFacts {
    ISpriteClient* client = nullptr;
    const Matrix* matrix = nullptr;
    IKWTexture* texture = nullptr;
    float distance = 0.0f, size = 0.0f;
    uint32_t colour = 0;
    int32_t kind = 0;
};

class ISpriteClient {
public:
    virtual float GetSize() const = 0;
    // The batching key, compared by reference.
    virtual IKWTexture* GetTexture() const = 0;
    virtual Vec3 GetPosition() const = 0;
    virtual uint32_t GetColour() const = 0;
    // The particle's billboard matrix.
    virtual const Matrix* GetMatrix() const = 0;
    virtual void SetDistance(float distance) = 0;
    virtual float GetDistance() const = 0;
    // SetDistance of the length from the eye to the position (a client may work it out without the calls).
    virtual void SetDistanceFrom(const Vec3& eye);
    virtual int32_t GetKind() const = 0;
    // The answers of the getters above at once (client excepted); a client
    // overrides it to spare the renderers a call per value.
    virtual void ReadFacts(SpriteFacts& facts) const {
        facts.matrix = GetMatrix();
        facts.texture = GetTexture();
        facts.distance = GetDistance();
        facts.size = GetSize();
        facts.colour = GetColour();
        facts.kind = GetKind();
    }

protected:
    ~ISpriteClient() = default;
};

// What the render engine sets on a particle effect it owns (a lamp's glow).
class IParticleControl {
public:
    // Lifetime and remaining life, seconds.
    virtual void SetLifeTime(float seconds) = 0;
    // Size factor and current size.
    virtual void SetSize(float size) = 0;
    // The particle keeps its own reference; nullptr clears it.
    virtual void SetTexture(IKWTexture* texture) = 0;
    // Start and current colour (A8R8G8B8).
    virtual void SetColor(uint32_t colour) = 0;
    // 1 burst (the default), 3 smoke-blend, 4 smoke-alpha, 5 lamp: the sprite renderer that draws it.
    virtual void SetBlendMode(int32_t mode) = 0;

protected:
    ~IParticleControl() = default;
};

// A renderer's client operations.
class IRendererOps {
public:
    virtual void AddClient(ISpriteClient* client) = 0;
    virtual void ClearClients() = 0;
    virtual void Render() = 0;

protected:
    ~IRendererOps() = default;
};

} // namespace vesk
