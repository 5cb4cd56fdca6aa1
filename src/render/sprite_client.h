#pragma once
// What a particle offers the shared sprite renderers: each frame it hands
// itself to a renderer, which batches the clients by texture and draws them
// as camera-facing quads. The effects implement this.
#include "platform/math_types.h"

#include <cstdint>

namespace vesk {

class IKWTexture;

// Which shared renderer takes a client; any other kind goes to the burst one.
enum class SpriteKind : int32_t { Burst = 1, SmokeBlend = 3, SmokeAlpha = 4, Lamp = 5 };

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
    virtual int32_t GetKind() const = 0;

protected:
    ~ISpriteClient() = default;
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
