#pragma once
// Space dust: the specks that streak past the camera in flight and show its
// speed. A fixed set of particles is spread over eight cells of 500 units that
// tile the space around the camera; each frame the particles in a shell of 25
// to 250 units around the eye become short lines stretched along the camera's
// motion, faded by their place in the shell and by the length of their streak
// on the screen.
#include "render/render_unit.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

class TRenderObject;
class IViewCamera;
struct VertexPosColorTex2;

class DustClass : public TBaseRenderUnit {
public:
    static constexpr int kCells = 8;
    static constexpr int32_t kUnsetMarker = 65535;

    void Init(TBaseRenderUnit* parent) override;
    void Free() override;
    bool DiscardBRU() override;
    void Message(IEngineObject* sender, int msg, int param) override;
    void Tick(float dtMs) override;
    void DoRender() override;

    // Builds the particle set: count particles over the eight cells, drawn in
    // the shell between the two radii.
    void BuildParticles(int32_t count, float outerRadius, float innerRadius);
    // The look of the sky's dust from mesh["<sky mesh>"].DustParticles.
    void DustLoadFromLua(const std::string& skyMeshName);
    // The dust ends with the watched object.
    void Watch(TEngineObject* object);
    // 0 hides the dust, anything else shows it.
    void SetMode(int mode);

    // ---- what the frame works with (read by the tests) --------------------------------------
    struct Cell {
        float randomValue = 0;
        std::vector<Vec3> offsets; // each axis in [0, cell span)
        int32_t marker[3] = {kUnsetMarker, kUnsetMarker, kUnsetMarker};
    };
    int32_t ParticleCount() const { return count_; }
    int32_t ParticlesPerCell() const { return perCell_; }
    float OuterRadius() const { return outer_; }
    float InnerRadius() const { return inner_; }
    float FadeZone() const { return fade_; }
    float CellSpan() const { return span_; }
    const std::array<Cell, kCells>& Cells() const { return cells_; }
    uint32_t BaseColor() const { return baseColour_; }
    float DustLen() const { return dustLen_; }
    float DecayConstant() const { return decay_; }
    float LenghDecayConstant() const { return lengthDecay_; }
    float StreakLength() const { return streak_; }
    const Vec3& PreviousCameraPosition() const { return prevPos_; }
    const Vec3& CameraPosition() const { return curPos_; }
    // The vertices of the last build, two per drawn particle.
    std::vector<VertexPosColorTex2> Vertices() const;
    // The world position of a particle of a cell, for the camera's present cell.
    Vec3 ParticlePosition(int cell, int index) const;
    // The fade of a particle d units from the eye whose streak is s pixels long.
    float Fade(float d, float s) const;

private:
    // Each cell is cut into 4 slabs along each axis, and so into 4 x 4 x 4
    // blocks. A slab keeps the range of its particles' offsets along its axis;
    // a block whose nearest point lies beyond the outer radius, or whose
    // farthest corner within the inner one, has no particle to draw.
    static constexpr int kSlabs = 4;
    static constexpr int kBlocks = kSlabs * kSlabs * kSlabs;
    struct CellBlocks {
        float slabMin[3][kSlabs] = {}, slabMax[3][kSlabs] = {};
        uint64_t filled = 0; // bit b: block b holds a particle
        // Block b's particles: bit i of words [b * words, (b + 1) * words).
        size_t words = 0;
        std::vector<uint64_t> members;
    };
    void UpdateCamera(IViewCamera& camera);
    void PlaceCells();
    void SortIntoBlocks();
    // Where in the world a cell's offsets count from.
    Vec3 CellCorner(int cell) const;
    // Bit b set: block b of the cell may hold a particle of the shell.
    uint64_t BlocksInShell(int cell, const Vec3& corner) const;
    // Bit i set: particle i of the cell lies in one of the blocks.
    void ParticlesOf(int cell, uint64_t blocks, std::vector<uint64_t>& out) const;
    // A particle of the shell as the frame draws it: a line through it along
    // the stretch, in its faded colour.
    struct Speck {
        Vec3 at;
        uint32_t colour;
    };
    void WriteLine(VertexPosColorTex2* out, const Speck& speck) const;
    void BuildVertices();
    void WriteVertexBuffer();

    int32_t count_ = 0, perCell_ = 0;
    float outer_ = 0, inner_ = 0, fade_ = 0, span_ = 0;
    std::array<Cell, kCells> cells_;
    std::array<CellBlocks, kCells> blocks_;
    std::vector<uint64_t> candidates_; // of the cell being built
    int32_t cameraCell_[3] = {0, 0, 0};
    Vec3 prevPos_{}, curPos_{}, direction_{1, 0, 0};
    Vec3 stretch_{};
    Matrix prevViewProj_, curViewProj_;
    bool cameraSeen_ = false;
    uint32_t baseColour_ = 0xFF302020, colour_ = 0xFF302020;
    float streak_ = 0;
    float dustLen_ = 15.0f, decay_ = 4000.0f, lengthDecay_ = 1500.0f;
    TEngineObject* watched_ = nullptr;
    TRenderObject* ro_ = nullptr;
    // The frame's specks; their lines are written straight into the vertex buffer.
    std::vector<Speck> specks_;
};

} // namespace vesk
