#pragma once
// A fixed stream of draws with state changes issued straight to OpenGL, the
// yardstick for what the device layer adds (bench/gfx_draw.cpp issues the
// same stream through the layer).
#include <cstdint>
#include <memory>

namespace vesk::platform {

class GLReferenceStream {
public:
    virtual ~GLReferenceStream() = default;
    // Per draw: the texture alternates between two, blending toggles, a new
    // world matrix goes up, and one quad out of `quads` is drawn.
    virtual void Run(uint32_t draws) = 0;
    // Waits for the frame by reading the target back.
    virtual void Finish() = 0;
};

// A headless context with its own target; nullptr when GL is not available.
std::unique_ptr<GLReferenceStream> CreateGLReferenceStream(uint32_t width, uint32_t height, uint32_t quads);

} // namespace vesk::platform
