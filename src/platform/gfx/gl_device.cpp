#include "platform/gfx/gl_device.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <unordered_map>

#include "platform/gfx/device_base.h"
#include "platform/gfx/dxt.h"
#include "platform/gfx/gl_context.h"
#include "platform/gfx/gl_ffp_shader.h"
#include "platform/image_codecs.h"

namespace vesk::platform {

namespace {

// ---- matrices (row vectors, as the device stores them) ---------------------------------
Matrix Mul(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

bool Invert(const Matrix& in, Matrix* out) {
    float a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j) a[i][j] = j < 4 ? in.m[i][j] : (j - 4 == i ? 1.0f : 0.0f);
    for (int c = 0; c < 4; ++c) {
        int p = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
        if (std::fabs(a[p][c]) < 1e-12f) return false;
        if (p != c)
            for (int j = 0; j < 8; ++j) std::swap(a[p][j], a[c][j]);
        const float inv = 1.0f / a[c][c];
        for (int j = 0; j < 8; ++j) a[c][j] *= inv;
        for (int r = 0; r < 4; ++r)
            if (r != c) {
                const float f = a[r][c];
                for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
            }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out->m[i][j] = a[i][j + 4];
    return true;
}

// Point and direction through a matrix, row-vector style.
Vec3 TransformPoint(const Vec3& p, const Matrix& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}
Vec3 TransformDir(const Vec3& p, const Matrix& m) {
    return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0],
            p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1],
            p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2]};
}
Vec3 Normalized(Vec3 v) {
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? Vec3{v.x / l, v.y / l, v.z / l} : v;
}

void ColorToFloats(D3DCOLOR c, float* out) {
    out[0] = float((c >> 16) & 255) / 255.0f;
    out[1] = float((c >> 8) & 255) / 255.0f;
    out[2] = float(c & 255) / 255.0f;
    out[3] = float(c >> 24) / 255.0f;
}

// ---- GL formats ------------------------------------------------------------------------
struct GLFormat {
    GLenum internal = 0, format = 0, type = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    bool compressed = false;
    bool decode = false; // uploaded after decoding to B, G, R, A bytes
};

bool g_s3tc = false;

GLFormat GLFormatFor(D3DFORMAT f) {
    GLFormat g;
    switch (f) {
    case D3DFMT_A8R8G8B8:
        g = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE};
        break;
    case D3DFMT_X8R8G8B8:
        g = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
        break;
    case D3DFMT_R8G8B8:
        g = {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE};
        break;
    case D3DFMT_R5G6B5:
        g = {GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5};
        break;
    case D3DFMT_A1R5G5B5:
        g = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV};
        break;
    case D3DFMT_X1R5G5B5:
        g = {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
        break;
    case D3DFMT_A4R4G4B4:
        g = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV};
        break;
    case D3DFMT_X4R4G4B4:
        g = {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
        break;
    case D3DFMT_A8:
        g = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}};
        break;
    case D3DFMT_L8:
        g = {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_ONE}};
        break;
    case D3DFMT_A8L8:
        g = {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
        break;
    case D3DFMT_A8B8G8R8:
        g = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
        break;
    case D3DFMT_X8B8G8R8:
        g = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}};
        break;
    case D3DFMT_DXT1:
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
        if (g_s3tc) {
            g.compressed = true;
            g.internal = f == D3DFMT_DXT1                         ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                         : (f == D3DFMT_DXT2 || f == D3DFMT_DXT3) ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                                  : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        } else {
            g = {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE};
            g.decode = true;
        }
        break;
    default:
        break;
    }
    return g;
}

GLenum GLCompare(uint32_t f) {
    static const GLenum t[] = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                               GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return f < 9 ? t[f] : GL_ALWAYS;
}

GLenum GLBlend(uint32_t b) {
    switch (b) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
    case D3DBLEND_BOTHSRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
    case D3DBLEND_BOTHINVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum GLBlendOp(uint32_t op) {
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum GLStencilOp(uint32_t op) {
    switch (op) {
    case D3DSTENCILOP_ZERO:
        return GL_ZERO;
    case D3DSTENCILOP_REPLACE:
        return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT:
        return GL_INCR;
    case D3DSTENCILOP_DECRSAT:
        return GL_DECR;
    case D3DSTENCILOP_INVERT:
        return GL_INVERT;
    case D3DSTENCILOP_INCR:
        return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

GLenum GLPrimitive(D3DPRIMITIVETYPE t) {
    switch (t) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    default:
        return GL_TRIANGLES;
    }
}

GLenum GLAddress(uint32_t a) {
    switch (a) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
    case D3DTADDRESS_MIRRORONCE:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

struct AttribFormat {
    GLint size;
    GLenum type;
    GLboolean normalized;
    bool integer;
};
AttribFormat GLAttrib(uint8_t type) {
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return {1, GL_FLOAT, GL_FALSE, false};
    case D3DDECLTYPE_FLOAT2:
        return {2, GL_FLOAT, GL_FALSE, false};
    case D3DDECLTYPE_FLOAT3:
        return {3, GL_FLOAT, GL_FALSE, false};
    case D3DDECLTYPE_FLOAT4:
        return {4, GL_FLOAT, GL_FALSE, false};
    case D3DDECLTYPE_D3DCOLOR:
        return {GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, false};
    case D3DDECLTYPE_UBYTE4:
        return {4, GL_UNSIGNED_BYTE, GL_FALSE, false};
    case D3DDECLTYPE_UBYTE4N:
        return {4, GL_UNSIGNED_BYTE, GL_TRUE, false};
    case D3DDECLTYPE_SHORT2:
        return {2, GL_SHORT, GL_FALSE, false};
    case D3DDECLTYPE_SHORT4:
        return {4, GL_SHORT, GL_FALSE, false};
    case D3DDECLTYPE_SHORT2N:
        return {2, GL_SHORT, GL_TRUE, false};
    case D3DDECLTYPE_SHORT4N:
        return {4, GL_SHORT, GL_TRUE, false};
    case D3DDECLTYPE_USHORT2N:
        return {2, GL_UNSIGNED_SHORT, GL_TRUE, false};
    case D3DDECLTYPE_USHORT4N:
        return {4, GL_UNSIGNED_SHORT, GL_TRUE, false};
    case D3DDECLTYPE_FLOAT16_2:
        return {2, GL_HALF_FLOAT, GL_FALSE, false};
    case D3DDECLTYPE_FLOAT16_4:
        return {4, GL_HALF_FLOAT, GL_FALSE, false};
    default:
        return {4, GL_FLOAT, GL_FALSE, false};
    }
}

// ---- programs ---------------------------------------------------------------------
struct Program {
    GLuint name = 0;
    bool userVertex = false, userPixel = false;
    // Uniform locations (-1 when absent).
    GLint worldView = -1, worldViewProj = -1, normalMat = -1, texMat = -1, pixelFix = -1, screen = -1;
    GLint globalAmbient = -1, mat = -1, matPower = -1;
    GLint lightDiffuse = -1, lightSpecular = -1, lightAmbient = -1, lightPos = -1, lightDir = -1,
          lightAtt = -1, lightSpot = -1;
    GLint fogParams = -1, fogColor = -1, point = -1, pointScale = -1, clipPlane = -1, tfactor = -1,
          alphaRef = -1;
    GLint vc = -1, vci = -1, vcb = -1, pc = -1, pci = -1, pcb = -1;
    // Versions last uploaded.
    uint64_t vTransforms = 0, vViewport = 0, vLights = 0, vMaterial = 0, vStates = 0, vClip = 0, vConst = 0;
};

GLuint CompileShader(GLenum kind, const std::string& src, std::string* error) {
    GLuint s = glCreateShader(kind);
    const char* p = src.c_str();
    glShaderSource(s, 1, &p, nullptr);
    glCompileShader(s);
    GLint ok = 0;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint len = 0;
        glGetShaderiv(s, GL_INFO_LOG_LENGTH, &len);
        std::string log(size_t(std::max(len, 1)), '\0');
        glGetShaderInfoLog(s, len, nullptr, log.data());
        if (error) *error = log.c_str();
        glDeleteShader(s);
        return 0;
    }
    return s;
}

GLuint LinkProgram(GLuint vs, GLuint fs, std::string* error) {
    GLuint p = glCreateProgram();
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    glLinkProgram(p);
    GLint ok = 0;
    glGetProgramiv(p, GL_LINK_STATUS, &ok);
    glDetachShader(p, vs);
    glDetachShader(p, fs);
    if (!ok) {
        GLint len = 0;
        glGetProgramiv(p, GL_INFO_LOG_LENGTH, &len);
        std::string log(size_t(std::max(len, 1)), '\0');
        glGetProgramInfoLog(p, len, nullptr, log.data());
        if (error) *error = log.c_str();
        glDeleteProgram(p);
        return 0;
    }
    return p;
}

// What picks a program: the user shaders by id, or the fixed-function keys
// for the parts the user does not supply. Bytes only, without padding, so
// that it is compared and hashed as plain bytes and never turned into text.
struct ProgramKey {
    uint8_t userPixel = 0, userVertex = 0;
    uint8_t pixelId[8] = {}, vertexId[8] = {};
    PostKey post;
    FfpFragmentKey fragment;
    FfpVertexKey vertex;

    bool operator==(const ProgramKey& o) const { return KeyBytes(*this) == KeyBytes(o); }
};
static_assert(std::has_unique_object_representations_v<ProgramKey>);

struct ProgramKeyHash {
    size_t operator()(const ProgramKey& k) const { return std::hash<std::string_view>{}(KeyBytes(k)); }
};

// A block-compressed texture filled from pixels: the worker makes its blocks
// while the texture is drawn from the pixels as they are.
struct BlockJob {
    Ref<TextureImpl> texture;
    std::vector<std::vector<uint8_t>> pixels; // per level, B, G, R, A
    std::vector<std::vector<uint8_t>> blocks; // per level, once made
    bool made = false;                        // the rest is guarded by BlockMaker's lock
    bool inLevels = false;                    // the blocks were copied into the levels' CPU copies
};

// One worker thread that makes the blocks of the jobs in the order given.
class BlockMaker {
public:
    BlockMaker() = default;
    BlockMaker(const BlockMaker&) = delete;
    BlockMaker& operator=(const BlockMaker&) = delete;
    ~BlockMaker() { Stop(); }

    void Add(std::shared_ptr<BlockJob> job) {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        jobs_.push_back(job);
        queue_.push_back(std::move(job));
        wake_.notify_one();
    }
    std::shared_ptr<BlockJob> Find(const TextureImpl* texture) {
        std::lock_guard lock(mutex_);
        for (const auto& j : jobs_)
            if (j->texture.Get() == texture) return j;
        return nullptr;
    }
    // Waits for the job's blocks and copies them into the texture's levels
    // (once, whoever asks first).
    void PutIntoLevels(BlockJob& job) {
        std::unique_lock lock(mutex_);
        made_.wait(lock, [&] { return job.made; });
        if (job.inLevels) return;
        job.inLevels = true;
        for (size_t i = 0; i < job.blocks.size(); ++i) {
            std::vector<uint8_t>& bytes = job.texture->levels[i]->bytes();
            std::memcpy(bytes.data(), job.blocks[i].data(), std::min(bytes.size(), job.blocks[i].size()));
        }
    }
    // Takes the job out of the list; false when another caller took it first.
    bool Take(const std::shared_ptr<BlockJob>& job) {
        std::lock_guard lock(mutex_);
        const auto it = std::find(jobs_.begin(), jobs_.end(), job);
        if (it == jobs_.end()) return false;
        jobs_.erase(it);
        return true;
    }
    // The jobs whose blocks are made, taken out of the list.
    std::vector<std::shared_ptr<BlockJob>> TakeMade() {
        std::vector<std::shared_ptr<BlockJob>> made;
        std::lock_guard lock(mutex_);
        for (auto it = jobs_.begin(); it != jobs_.end();)
            if ((*it)->made) {
                made.push_back(std::move(*it));
                it = jobs_.erase(it);
            } else {
                ++it;
            }
        return made;
    }
    // Ends the worker; jobs not made yet are dropped.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            wake_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        jobs_.clear();
        queue_.clear();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) return;
            std::shared_ptr<BlockJob> job = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            std::vector<std::vector<uint8_t>> blocks;
            const D3DFORMAT format = job->texture->format;
            for (size_t i = 0; i < job->pixels.size(); ++i) {
                const D3DSURFACE_DESC& d = job->texture->levels[i]->desc();
                blocks.push_back(BgraToLevel(format, job->pixels[i].data(), d.Width, d.Height));
            }
            lock.lock();
            job->blocks = std::move(blocks);
            job->pixels = {};
            job->made = true;
            made_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, made_;
    std::deque<std::shared_ptr<BlockJob>> queue_; // waiting for the worker
    std::vector<std::shared_ptr<BlockJob>> jobs_; // not yet taken by the device
    std::thread thread_;
    bool stop_ = false;
};

// Stages that have a texture bound, one bit each.
uint32_t BoundTextureMask(const std::array<Ref<TextureImpl>, kMaxTextureStages>& textures) {
    uint32_t mask = 0;
    for (uint32_t s = 0; s < kMaxTextureStages; ++s)
        if (textures[s]) mask |= 1u << s;
    return mask;
}

} // namespace

// ---- the device --------------------------------------------------------------------------
class GLDevice final : public DeviceBase {
public:
    GLDevice(IDirect3D9* parent, const D3DCAPS9& caps, const D3DPRESENT_PARAMETERS& pp, uint32_t behaviour,
             std::unique_ptr<GLContext> ctx)
        : DeviceBase(parent, caps, pp, behaviour), ctx_(std::move(ctx)) {}
    ~GLDevice() override;
    Result Init(bool useS3tc);
    size_t ProgramCount() const { return programs_.size(); }

    Result FillCompressedTexture(IDirect3DTexture9* texture,
                                 std::vector<std::vector<uint8_t>> bgraLevels) override;
    void BufferUnlocked(ResourceLink& buffer, BufferStore& store) override;
    Result SurfaceLocking(SurfaceImpl& surface, uint32_t flags) override;
    void SurfaceUnlocked(SurfaceImpl& surface, const RECT& dirty) override;
    void ResourceFreed(ResourceLink& resource) override;

protected:
    Result BackendCreateTexture(TextureImpl& texture) override;
    Result BackendCreateBuffer(ResourceLink& buffer, BufferStore& store, bool index) override;
    Result BackendCreateSurface(SurfaceImpl& surface) override;
    Result BackendCreateShader(ResourceLink& shader, const std::string& source, bool pixel,
                               std::string* error) override;
    Result BackendClear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                        uint32_t stencil) override;
    Result BackendDraw(const DrawRequest& draw) override;
    Result BackendCopy(SurfaceImpl& src, const RECT& srcRect, SurfaceImpl& dst, const RECT& dstRect,
                       D3DTEXTUREFILTERTYPE filter) override;
    Result BackendReadBack(SurfaceImpl& renderTarget, SurfaceImpl& dest) override;
    Result BackendColorFill(SurfaceImpl& surface, const RECT& rect, D3DCOLOR color) override;
    Result BackendPresent() override;

private:
    // GL texture and level holding a surface's pixels (0 when it has none).
    GLuint SurfaceTexture(const SurfaceImpl& s, GLint* level) const;
    bool AttachColor(GLuint fbo, const SurfaceImpl& s);
    void BindTargets();
    void ApplyViewport();
    void ApplyRenderStates(bool force);
    Program* SelectProgram(D3DPRIMITIVETYPE type, std::string* error);
    void UploadUniforms(Program& p);
    void BindTextures(uint32_t stages);
    void ApplySamplers(uint32_t stages);
    void SetupAttributes(const VertexLayout& layout, const DrawRequest& d, GLuint userBuffer);
    // `decoded`: the level's blocks already decoded (driver without S3TC); null decodes them here.
    void UploadLevel(SurfaceImpl& s, const RECT* rect, const std::vector<uint8_t>* decoded = nullptr);
    void ReadSurface(SurfaceImpl& s);
    void MarkTargetDrawn();
    const VertexLayout& CurrentLayout();

    // GL work happens on the thread that made the device; texture uploads asked
    // for elsewhere (the frame-capture threads) wait for the next draw or clear.
    bool OnDeviceThread() const { return std::this_thread::get_id() == owner_; }
    // The window went and took the context's objects with it.
    bool contextGone_ = false;
    void FlushPendingUploads();

    std::unique_ptr<GLContext> ctx_;
    std::thread::id owner_ = std::this_thread::get_id();
    std::mutex pendingMutex_;
    // Levels unlocked on other threads, uploaded on the device's thread; block
    // levels on a driver without S3TC come already decoded by the unlocking thread.
    struct PendingUpload {
        Ref<SurfaceImpl> surface;
        RECT rect;
        std::vector<uint8_t> decoded;
    };
    std::vector<PendingUpload> pending_;
    enum class GLKind { None, Texture, Renderbuffer, Buffer };
    std::vector<std::pair<GLKind, GLuint>> pendingDeletes_;
    void DeleteObject(GLKind kind, GLuint name);
    GLuint fbo_ = 0, readFbo_ = 0, drawFbo_ = 0, vao_ = 0, upVbo_ = 0, upIbo_ = 0;
    GLuint samplers_[8] = {};
    std::unordered_map<ProgramKey, Program, ProgramKeyHash> programs_;
    std::unordered_map<uint64_t, std::string> userVsGlsl_, userPsSource_;
    Program* current_ = nullptr;
    uint32_t currentStages_ = 0; // texture stages the current fixed-function program reads
    uint32_t samplerStages_ = 0; // stages whose sampler objects hold the current sampler states
    // Versions the selection of the current program was made for.
    uint64_t selStates_ = 0, selStages_ = 0, selLights_ = 0, selInput_ = 0, selShaders_ = 0, selTextures_ = 0;
    D3DPRIMITIVETYPE selType_ = D3DPRIMITIVETYPE(0);
    uint64_t appliedStates_ = 0, appliedTargets_ = 0, appliedViewport_ = 0, appliedSamplers_ = 0,
             appliedInput_ = 0, appliedTextures_ = 0;
    std::array<uint32_t, kRenderStateCount> rsShadow_{};
    bool rsForce_ = true;
    GLuint boundTex_[8] = {};
    GLuint boundIbo_ = 0;
    uint64_t layoutFor_ = ~0ull;
    VertexLayout layout_;
    uint32_t enabledAttribs_ = 0;
    bool anisotropy_ = false;
    uint32_t selTextureMask_ = 0; // stages with a texture when the current program was picked
    // Blocks of compressed textures being made; put in place at Present or when a level is locked.
    BlockMaker blockMaker_;
    void ApplyBlocks(const std::shared_ptr<BlockJob>& job);
    // A texture whose blocks are being made gets them now (waiting for the worker).
    void FinishBlocks(const TextureImpl* texture);
};

GLDevice::~GLDevice() {
    // Without its window the context's objects are gone already: only the
    // device's own records are let go.
    if (!ctx_ || !ctx_->MakeCurrent()) {
        contextGone_ = true;
        OrphanAll();
        return;
    }
    owner_ = std::this_thread::get_id(); // the context is current here now
    blockMaker_.Stop();                  // textures only the jobs held go here, their GL names with them
    OrphanAll();
    FlushPendingUploads();
    for (auto& [k, p] : programs_) glDeleteProgram(p.name);
    GLuint fbos[] = {fbo_, readFbo_, drawFbo_};
    glDeleteFramebuffers(3, fbos);
    glDeleteVertexArrays(1, &vao_);
    GLuint bufs[] = {upVbo_, upIbo_};
    glDeleteBuffers(2, bufs);
    glDeleteSamplers(8, samplers_);
}

Result GLDevice::Init(bool useS3tc) {
    ctx_->MakeCurrent();
    g_s3tc = useS3tc && epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
    anisotropy_ = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                  epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    glGenFramebuffers(1, &fbo_);
    glGenFramebuffers(1, &readFbo_);
    glGenFramebuffers(1, &drawFbo_);
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    glGenBuffers(1, &upVbo_);
    glGenBuffers(1, &upIbo_);
    glGenSamplers(8, samplers_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
    glFrontFace(GL_CCW);
    for (GLuint i = 0; i < kAttrCount; ++i) glVertexAttrib4f(i, 0, 0, 0, 1);
    Result r = InitTargets();
    if (Failed(r)) return r;
    BindTargets();
    return D3D_OK;
}

// ---- resources -----------------------------------------------------------------------
Result GLDevice::BackendCreateBuffer(ResourceLink& b, BufferStore& store, bool index) {
    (void)index;
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_COPY_WRITE_BUFFER, name);
    glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(store.bytes.size()), store.bytes.data(),
                 store.dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (glGetError() == GL_OUT_OF_MEMORY) {
        glDeleteBuffers(1, &name);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    b.backendName = name;
    return D3D_OK;
}

void GLDevice::BufferUnlocked(ResourceLink& b, BufferStore& s) {
    if (!b.backendName) return;
    glBindBuffer(GL_COPY_WRITE_BUFFER, b.backendName);
    if (s.lockFlags & D3DLOCK_DISCARD) {
        // The old contents are given up: a fresh store avoids waiting on draws that use it.
        glBufferData(GL_COPY_WRITE_BUFFER, GLsizeiptr(s.bytes.size()), nullptr,
                     s.dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
        glBufferSubData(GL_COPY_WRITE_BUFFER, 0, GLsizeiptr(s.bytes.size()), s.bytes.data());
    } else {
        glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(s.dirtyFrom), GLsizeiptr(s.dirtyTo - s.dirtyFrom),
                        s.bytes.data() + s.dirtyFrom);
    }
}

Result GLDevice::BackendCreateTexture(TextureImpl& t) {
    const GLFormat f = GLFormatFor(t.format);
    if (!f.internal) return D3DERR_INVALIDCALL;
    // System-memory textures are CPU copies only; they are never drawn with.
    if (t.pool == D3DPOOL_SYSTEMMEM || t.pool == D3DPOOL_SCRATCH) return D3D_OK;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(t.levels.size()) - 1);
    glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, f.swizzle);
    for (size_t i = 0; i < t.levels.size(); ++i) {
        const D3DSURFACE_DESC& d = t.levels[i]->desc();
        if (f.compressed)
            glCompressedTexImage2D(GL_TEXTURE_2D, GLint(i), f.internal, GLsizei(d.Width), GLsizei(d.Height),
                                   0, GLsizei(t.levels[i]->bytes().size()), t.levels[i]->bytes().data());
        else
            glTexImage2D(GL_TEXTURE_2D, GLint(i), GLint(f.internal), GLsizei(d.Width), GLsizei(d.Height), 0,
                         f.format, f.type, nullptr);
    }
    boundTex_[0] = 0;
    appliedTextures_ = 0;
    if (glGetError() == GL_OUT_OF_MEMORY) {
        glDeleteTextures(1, &name);
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    t.backendName = name;
    return D3D_OK;
}

Result GLDevice::BackendCreateSurface(SurfaceImpl& s) {
    if (s.IsDepth()) {
        GLuint rb = 0;
        glGenRenderbuffers(1, &rb);
        glBindRenderbuffer(GL_RENDERBUFFER, rb);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(s.desc().Width),
                              GLsizei(s.desc().Height));
        s.backendName = rb;
        return D3D_OK;
    }
    const GLFormat f = GLFormatFor(s.desc().Format);
    if (!f.internal || f.compressed) return D3DERR_INVALIDCALL;
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(f.internal), GLsizei(s.desc().Width), GLsizei(s.desc().Height), 0,
                 f.format, f.type, nullptr);
    boundTex_[0] = 0;
    appliedTextures_ = 0;
    s.backendName = tex;
    return D3D_OK;
}

void GLDevice::ResourceFreed(ResourceLink& r) {
    if (!r.backendName) return;
    GLKind kind;
    if (auto* s = dynamic_cast<SurfaceImpl*>(&r))
        kind = s->IsDepth() ? GLKind::Renderbuffer : GLKind::Texture;
    else if (dynamic_cast<TextureImpl*>(&r))
        kind = GLKind::Texture;
    else if (dynamic_cast<VertexShaderImpl*>(&r) || dynamic_cast<PixelShaderImpl*>(&r))
        kind = GLKind::None; // programs built from a shader stay cached by id; ids are never reused
    else
        kind = GLKind::Buffer;
    if (contextGone_ || !ctx_->Alive()) contextGone_ = true, kind = GLKind::None;
    if (kind != GLKind::None) {
        if (OnDeviceThread()) {
            DeleteObject(kind, r.backendName);
        } else {
            // The last reference went on another thread: the device's thread deletes it.
            std::lock_guard lock(pendingMutex_);
            pendingDeletes_.emplace_back(kind, r.backendName);
        }
    }
    r.backendName = 0;
}

void GLDevice::DeleteObject(GLKind kind, GLuint name) {
    switch (kind) {
    case GLKind::Renderbuffer:
        glDeleteRenderbuffers(1, &name);
        appliedTargets_ = 0;
        break;
    case GLKind::Texture:
        glDeleteTextures(1, &name);
        for (auto& b : boundTex_)
            if (b == name) b = 0;
        appliedTargets_ = 0;
        appliedTextures_ = 0;
        break;
    case GLKind::Buffer:
        if (boundIbo_ == name) boundIbo_ = 0;
        glDeleteBuffers(1, &name);
        appliedInput_ = 0;
        break;
    case GLKind::None:
        break;
    }
}

GLuint GLDevice::SurfaceTexture(const SurfaceImpl& s, GLint* level) const {
    *level = 0;
    if (s.container) {
        *level = GLint(s.level);
        return s.container->backendName;
    }
    return s.backendName;
}

void GLDevice::UploadLevel(SurfaceImpl& s, const RECT* rect, const std::vector<uint8_t>* decoded) {
    GLint level = 0;
    const GLuint tex = SurfaceTexture(s, &level);
    if (!tex || s.IsDepth()) return;
    FinishBlocks(s.container); // the GL levels must hold blocks before one is replaced
    const D3DFORMAT fmt = s.desc().Format;
    const GLFormat f = GLFormatFor(fmt);
    glBindTexture(GL_TEXTURE_2D, tex);
    boundTex_[0] = 0;
    appliedTextures_ = 0;
    glActiveTexture(GL_TEXTURE0);
    if (f.compressed) {
        glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, GLsizei(s.desc().Width),
                                  GLsizei(s.desc().Height), f.internal, GLsizei(s.bytes().size()),
                                  s.bytes().data());
    } else if (f.decode) {
        std::vector<uint8_t> own;
        if (!decoded) {
            own = DecodeDxt(fmt, s.bytes().data(), s.bytes().size(), s.desc().Width, s.desc().Height);
            decoded = &own;
        }
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, GLsizei(s.desc().Width), GLsizei(s.desc().Height),
                        f.format, f.type, decoded->data());
    } else {
        RECT r = rect ? *rect : SurfaceRect(s);
        const uint32_t bpp = FormatBytesPerPixel(fmt);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(s.desc().Width));
        glTexSubImage2D(GL_TEXTURE_2D, level, r.left, r.top, r.right - r.left, r.bottom - r.top, f.format,
                        f.type, s.bytes().data() + size_t(r.top) * s.pitch() + size_t(r.left) * bpp);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
    if (s.container && (s.container->usage & D3DUSAGE_AUTOGENMIPMAP) && level == 0 && !f.compressed)
        glGenerateMipmap(GL_TEXTURE_2D);
    s.gpuNewer = false;
}

bool GLDevice::AttachColor(GLuint fbo, const SurfaceImpl& s) {
    GLint level = 0;
    const GLuint tex = SurfaceTexture(s, &level);
    if (!tex) return false;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, level);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void GLDevice::ReadSurface(SurfaceImpl& s) {
    // Reads the GL copy of a colour surface into its CPU copy.
    const GLFormat f = GLFormatFor(s.desc().Format);
    if (f.compressed || f.decode || !AttachColor(readFbo_, s)) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
    glReadPixels(0, 0, GLsizei(s.desc().Width), GLsizei(s.desc().Height), f.format, f.type, s.bytes().data());
    if (s.desc().Format == D3DFMT_X8R8G8B8)
        for (size_t i = 3; i < s.bytes().size(); i += 4) s.bytes()[i] = 0xFF;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    s.gpuNewer = false;
}

Result GLDevice::FillCompressedTexture(IDirect3DTexture9* texture,
                                       std::vector<std::vector<uint8_t>> bgraLevels) {
    std::lock_guard lock(mutex_);
    auto* t = dynamic_cast<TextureImpl*>(texture);
    if (!t || !IsCompressedFormat(t->format) || bgraLevels.size() != t->levels.size() || !t->backendName ||
        !OnDeviceThread() || blockMaker_.Find(t))
        return DeviceBase::FillCompressedTexture(texture, std::move(bgraLevels));
    for (size_t i = 0; i < bgraLevels.size(); ++i) {
        const D3DSURFACE_DESC& d = t->levels[i]->desc();
        if (bgraLevels[i].size() != size_t(d.Width) * d.Height * 4) return D3DERR_INVALIDCALL;
    }
    // Drawn from the pixels until the blocks are made; every level at once, so
    // the texture stays complete.
    glBindTexture(GL_TEXTURE_2D, t->backendName);
    boundTex_[0] = 0;
    appliedTextures_ = 0;
    for (size_t i = 0; i < bgraLevels.size(); ++i) {
        const D3DSURFACE_DESC& d = t->levels[i]->desc();
        glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGBA8, GLsizei(d.Width), GLsizei(d.Height), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, bgraLevels[i].data());
    }
    auto job = std::make_shared<BlockJob>();
    job->texture = Ref<TextureImpl>::Share(t);
    job->pixels = std::move(bgraLevels);
    blockMaker_.Add(std::move(job));
    return D3D_OK;
}

void GLDevice::ApplyBlocks(const std::shared_ptr<BlockJob>& job) {
    blockMaker_.PutIntoLevels(*job);
    TextureImpl& t = *job->texture;
    // Without S3TC the pixels drawn already are what decoding the blocks would give, only exact.
    const GLFormat f = GLFormatFor(t.format);
    if (!f.compressed || !t.backendName) return;
    glBindTexture(GL_TEXTURE_2D, t.backendName);
    boundTex_[0] = 0;
    appliedTextures_ = 0;
    for (size_t i = 0; i < job->blocks.size(); ++i) {
        const D3DSURFACE_DESC& d = t.levels[i]->desc();
        glCompressedTexImage2D(GL_TEXTURE_2D, GLint(i), f.internal, GLsizei(d.Width), GLsizei(d.Height), 0,
                               GLsizei(job->blocks[i].size()), job->blocks[i].data());
    }
}

void GLDevice::FinishBlocks(const TextureImpl* texture) {
    if (!texture) return;
    const std::shared_ptr<BlockJob> job = blockMaker_.Find(texture);
    if (!job) return;
    if (!OnDeviceThread()) {
        // The CPU copy now; GL gets the blocks on the device's thread.
        blockMaker_.PutIntoLevels(*job);
        return;
    }
    if (blockMaker_.Take(job)) ApplyBlocks(job);
}

Result GLDevice::SurfaceLocking(SurfaceImpl& s, uint32_t flags) {
    Result r = DeviceBase::SurfaceLocking(s, flags);
    if (Failed(r)) return r;
    FinishBlocks(s.container);
    if (s.gpuNewer) {
        // Drawn-into surfaces are read back on the device's own thread only.
        if (!OnDeviceThread()) return D3DERR_WASSTILLDRAWING;
        ReadSurface(s);
    }
    return D3D_OK;
}

void GLDevice::SurfaceUnlocked(SurfaceImpl& s, const RECT& dirty) {
    if (OnDeviceThread()) {
        UploadLevel(s, &dirty);
        return;
    }
    // The upload waits for the device's thread, which may be in the middle of
    // drawing: the decoding is done here, never there.
    PendingUpload upload{Ref<SurfaceImpl>::Share(&s), SurfaceRect(s), {}};
    if (GLFormatFor(s.desc().Format).decode)
        upload.decoded =
            DecodeDxt(s.desc().Format, s.bytes().data(), s.bytes().size(), s.desc().Width, s.desc().Height);
    std::lock_guard lock(pendingMutex_);
    pending_.push_back(std::move(upload));
}

void GLDevice::FlushPendingUploads() {
    std::vector<PendingUpload> work;
    std::vector<std::pair<GLKind, GLuint>> deletes;
    {
        std::lock_guard lock(pendingMutex_);
        if (pending_.empty() && pendingDeletes_.empty()) return;
        work.swap(pending_);
        deletes.swap(pendingDeletes_);
    }
    for (auto& [kind, name] : deletes) DeleteObject(kind, name);
    for (PendingUpload& u : work) UploadLevel(*u.surface, &u.rect, u.decoded.empty() ? nullptr : &u.decoded);
}

void GLDevice::MarkTargetDrawn() {
    if (state_.renderTarget) state_.renderTarget->gpuNewer = true;
}

// ---- targets, viewport, states ---------------------------------------------------------
void GLDevice::BindTargets() {
    appliedTargets_ = versions_.targets;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    GLint level = 0;
    GLuint tex = state_.renderTarget ? SurfaceTexture(*state_.renderTarget, &level) : 0;
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, level);
    GLuint depth = state_.depthStencil ? state_.depthStencil->backendName : 0;
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    // A texture bound for sampling while it is the target reads undefined data; unbind it.
    for (uint32_t i = 0; i < kMaxTextureStages; ++i)
        if (boundTex_[i] == tex && tex) {
            glActiveTexture(GL_TEXTURE0 + i);
            glBindTexture(GL_TEXTURE_2D, 0);
            boundTex_[i] = 0;
            appliedTextures_ = 0;
        }
}

void GLDevice::ApplyViewport() {
    appliedViewport_ = versions_.viewport;
    const D3DVIEWPORT9& v = state_.viewport;
    glViewport(GLint(v.X), GLint(v.Y), GLsizei(v.Width), GLsizei(v.Height));
    glDepthRange(v.MinZ, v.MaxZ);
    const RECT& s = state_.scissor;
    glScissor(s.left, s.top, std::max(0, s.right - s.left), std::max(0, s.bottom - s.top));
}

void GLDevice::ApplyRenderStates(bool force) {
    appliedStates_ = versions_.renderStates;
    const auto& rs = state_.rs;
    auto& sh = rsShadow_;
    auto changed = [&](std::initializer_list<uint32_t> list) {
        bool c = force;
        for (uint32_t s : list)
            if (rs[s] != sh[s]) c = true;
        for (uint32_t s : list) sh[s] = rs[s];
        return c;
    };
    if (changed({D3DRS_ZENABLE})) rs[D3DRS_ZENABLE] ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    if (changed({D3DRS_ZWRITEENABLE})) glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    if (changed({D3DRS_ZFUNC})) glDepthFunc(GLCompare(rs[D3DRS_ZFUNC]));
    if (changed({D3DRS_CULLMODE})) {
        // Clockwise on screen is counter-clockwise in GL's window space here (rows from the top).
        if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
        }
    }
    if (changed({D3DRS_ALPHABLENDENABLE}))
        rs[D3DRS_ALPHABLENDENABLE] ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    if (changed({D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_SEPARATEALPHABLENDENABLE, D3DRS_SRCBLENDALPHA,
                 D3DRS_DESTBLENDALPHA})) {
        GLenum src = GLBlend(rs[D3DRS_SRCBLEND]), dst = GLBlend(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) dst = GL_ONE_MINUS_SRC_ALPHA;
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) src = GL_ONE_MINUS_SRC_ALPHA, dst = GL_SRC_ALPHA;
        if (rs[D3DRS_SEPARATEALPHABLENDENABLE])
            glBlendFuncSeparate(src, dst, GLBlend(rs[D3DRS_SRCBLENDALPHA]),
                                GLBlend(rs[D3DRS_DESTBLENDALPHA]));
        else
            glBlendFunc(src, dst);
    }
    if (changed({D3DRS_BLENDOP, D3DRS_BLENDOPALPHA, D3DRS_SEPARATEALPHABLENDENABLE}))
        glBlendEquationSeparate(GLBlendOp(rs[D3DRS_BLENDOP]), rs[D3DRS_SEPARATEALPHABLENDENABLE]
                                                                  ? GLBlendOp(rs[D3DRS_BLENDOPALPHA])
                                                                  : GLBlendOp(rs[D3DRS_BLENDOP]));
    if (changed({D3DRS_BLENDFACTOR})) {
        float c[4];
        ColorToFloats(rs[D3DRS_BLENDFACTOR], c);
        glBlendColor(c[0], c[1], c[2], c[3]);
    }
    if (changed({D3DRS_COLORWRITEENABLE})) {
        const uint32_t m = rs[D3DRS_COLORWRITEENABLE];
        glColorMask(m & 1, (m >> 1) & 1, (m >> 2) & 1, (m >> 3) & 1);
    }
    if (changed({D3DRS_STENCILENABLE}))
        rs[D3DRS_STENCILENABLE] ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST);
    if (changed({D3DRS_STENCILFUNC, D3DRS_STENCILREF, D3DRS_STENCILMASK}))
        glStencilFunc(GLCompare(rs[D3DRS_STENCILFUNC]), GLint(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
    if (changed({D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL, D3DRS_STENCILPASS}))
        glStencilOp(GLStencilOp(rs[D3DRS_STENCILFAIL]), GLStencilOp(rs[D3DRS_STENCILZFAIL]),
                    GLStencilOp(rs[D3DRS_STENCILPASS]));
    if (changed({D3DRS_STENCILWRITEMASK})) glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    if (changed({D3DRS_FILLMODE})) {
        const uint32_t f = rs[D3DRS_FILLMODE];
        glPolygonMode(GL_FRONT_AND_BACK, f == D3DFILL_POINT       ? GL_POINT
                                         : f == D3DFILL_WIREFRAME ? GL_LINE
                                                                  : GL_FILL);
    }
    if (changed({D3DRS_SCISSORTESTENABLE}))
        rs[D3DRS_SCISSORTESTENABLE] ? glEnable(GL_SCISSOR_TEST) : glDisable(GL_SCISSOR_TEST);
    if (changed({D3DRS_CLIPPLANEENABLE}))
        (rs[D3DRS_CLIPPLANEENABLE] & 1) ? glEnable(GL_CLIP_DISTANCE0) : glDisable(GL_CLIP_DISTANCE0);
    if (changed({D3DRS_SHADEMODE}))
        glProvokingVertex(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FIRST_VERTEX_CONVENTION
                                                               : GL_LAST_VERTEX_CONVENTION);
    if (changed({D3DRS_DEPTHBIAS, D3DRS_SLOPESCALEDEPTHBIAS})) {
        const float bias = BitsFloat(rs[D3DRS_DEPTHBIAS]), slope = BitsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
        if (bias != 0 || slope != 0) {
            glEnable(GL_POLYGON_OFFSET_FILL);
            glPolygonOffset(slope, bias * 16777215.0f);
        } else {
            glDisable(GL_POLYGON_OFFSET_FILL);
        }
    }
}

// ---- programs --------------------------------------------------------------------------
const VertexLayout& GLDevice::CurrentLayout() {
    const uint64_t id = state_.decl ? state_.decl->GetId() : (uint64_t(1) << 63) | state_.fvf;
    if (id != layoutFor_) {
        layout_ = state_.decl ? LayoutFromDeclaration(state_.decl->elements) : LayoutFromFvf(state_.fvf);
        layoutFor_ = id;
    }
    return layout_;
}

Program* GLDevice::SelectProgram(D3DPRIMITIVETYPE type, std::string* error) {
    if (current_ && selStates_ == versions_.keyStates && selStages_ == versions_.stages &&
        selLights_ == versions_.lights && selInput_ == versions_.vertexInput &&
        selShaders_ == versions_.shaders && selTextures_ == versions_.textures &&
        (selType_ == D3DPT_POINTLIST) == (type == D3DPT_POINTLIST))
        return current_;
    // Swapping one texture for another is the common change between draws:
    // the program only depends on which stages have one.
    const uint32_t textureMask = BoundTextureMask(state_.textures);
    if (current_ && selStates_ == versions_.keyStates && selStages_ == versions_.stages &&
        selLights_ == versions_.lights && selInput_ == versions_.vertexInput &&
        selShaders_ == versions_.shaders && selTextureMask_ == textureMask &&
        (selType_ == D3DPT_POINTLIST) == (type == D3DPT_POINTLIST)) {
        selTextures_ = versions_.textures;
        return current_;
    }
    const auto& rs = state_.rs;
    const VertexLayout& layout = CurrentLayout();
    ProgramKey key;

    // Fog: per pixel (table mode) wins over per vertex.
    PostKey post;
    const bool fog = rs[D3DRS_FOGENABLE] != 0;
    if (fog) {
        const uint32_t table = rs[D3DRS_FOGTABLEMODE];
        post.fog = table == D3DFOG_EXP ? 2 : table == D3DFOG_EXP2 ? 3 : table == D3DFOG_LINEAR ? 4 : 1;
    }
    if (rs[D3DRS_ALPHATESTENABLE]) post.alphaFunc = uint8_t(rs[D3DRS_ALPHAFUNC]);

    FfpFragmentKey& fk = key.fragment;
    key.post = post;
    uint32_t stagesUsed = 0;
    if (state_.ps) {
        key.userPixel = 1;
        const uint64_t id = state_.ps->GetId();
        std::memcpy(key.pixelId, &id, sizeof id);
        stagesUsed = 0xFF;
    } else {
        for (uint32_t s = 0; s < kMaxTextureStages; ++s) {
            const auto& t = state_.tss[s];
            if (t[D3DTSS_COLOROP] == D3DTOP_DISABLE || t[D3DTSS_COLOROP] > D3DTOP_LERP) break;
            FfpStageKey& sk = fk.stages[s];
            sk.colorOp = uint8_t(t[D3DTSS_COLOROP]);
            sk.colorArg0 = uint8_t(t[D3DTSS_COLORARG0]);
            sk.colorArg1 = uint8_t(t[D3DTSS_COLORARG1]);
            sk.colorArg2 = uint8_t(t[D3DTSS_COLORARG2]);
            sk.alphaOp = uint8_t(std::min<uint32_t>(t[D3DTSS_ALPHAOP], 255));
            sk.alphaArg0 = uint8_t(t[D3DTSS_ALPHAARG0]);
            sk.alphaArg1 = uint8_t(t[D3DTSS_ALPHAARG1]);
            sk.alphaArg2 = uint8_t(t[D3DTSS_ALPHAARG2]);
            sk.resultTemp = t[D3DTSS_RESULTARG] == D3DTA_TEMP;
            sk.hasTexture = state_.textures[s] ? 1 : 0;
            const uint32_t ttf = t[D3DTSS_TEXTURETRANSFORMFLAGS];
            sk.projected = (ttf & D3DTTFF_PROJECTED) ? uint8_t(ttf & 7) : 0;
            if (sk.hasTexture) stagesUsed |= 1u << s;
            fk.stageCount = uint8_t(s + 1);
        }
        fk.specularEnable = rs[D3DRS_SPECULARENABLE] != 0;
        fk.pointSprite = type == D3DPT_POINTLIST && rs[D3DRS_POINTSPRITEENABLE] != 0;
        fk.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
        fk.post = post;
    }
    FfpVertexKey& vk = key.vertex;
    if (state_.vs) {
        key.userVertex = 1;
        const uint64_t id = state_.vs->GetId();
        std::memcpy(key.vertexId, &id, sizeof id);
    } else {
        vk.rhw = layout.rhw;
        vk.hasNormal = (layout.present >> kAttrNormal) & 1;
        vk.hasDiffuse = (layout.present >> kAttrColor0) & 1;
        vk.hasSpecular = (layout.present >> kAttrColor1) & 1;
        vk.hasPSize = (layout.present >> kAttrPSize) & 1;
        std::memcpy(vk.texSize, layout.texSize, 8);
        vk.lighting = rs[D3DRS_LIGHTING] && !layout.rhw;
        if (vk.lighting) {
            for (const LightSlot& l : state_.lights) {
                if (!l.enabled || vk.lightCount >= kMaxLights) continue;
                vk.lightType[vk.lightCount++] = uint8_t(l.light.Type);
            }
            vk.colorVertex = rs[D3DRS_COLORVERTEX] != 0;
            vk.diffuseSrc = uint8_t(rs[D3DRS_DIFFUSEMATERIALSOURCE]);
            vk.ambientSrc = uint8_t(rs[D3DRS_AMBIENTMATERIALSOURCE]);
            vk.specularSrc = uint8_t(rs[D3DRS_SPECULARMATERIALSOURCE]);
            vk.emissiveSrc = uint8_t(rs[D3DRS_EMISSIVEMATERIALSOURCE]);
            vk.specularEnable = rs[D3DRS_SPECULARENABLE] != 0;
            vk.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
            vk.normalize = rs[D3DRS_NORMALIZENORMALS] != 0;
        }
        if (post.fog == 1 && !layout.rhw) {
            vk.fogVertexMode = uint8_t(std::min<uint32_t>(rs[D3DRS_FOGVERTEXMODE], 3));
            vk.rangeFog = rs[D3DRS_RANGEFOGENABLE] != 0;
        }
        vk.pointSize = type == D3DPT_POINTLIST;
        vk.pointScale = vk.pointSize && rs[D3DRS_POINTSCALEENABLE] != 0;
        vk.clip0 = (rs[D3DRS_CLIPPLANEENABLE] & 1) != 0;
        vk.flat = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
        vk.stageCount = state_.ps ? 8 : fk.stageCount;
        for (uint32_t s = 0; s < vk.stageCount; ++s) {
            const uint32_t tci = state_.tss[s][D3DTSS_TEXCOORDINDEX];
            vk.stageTexSet[s] = uint8_t(tci & 7);
            vk.stageTexGen[s] = uint8_t(std::min<uint32_t>(tci >> 16, 4));
            vk.stageTexCount[s] = uint8_t(state_.tss[s][D3DTSS_TEXTURETRANSFORMFLAGS] & 7);
        }
    }

    selStates_ = versions_.keyStates;
    selStages_ = versions_.stages;
    selLights_ = versions_.lights;
    selInput_ = versions_.vertexInput;
    selShaders_ = versions_.shaders;
    selTextures_ = versions_.textures;
    selTextureMask_ = textureMask;
    selType_ = type;
    currentStages_ = stagesUsed;

    auto it = programs_.find(key);
    if (it != programs_.end()) {
        if (current_ != &it->second) {
            current_ = &it->second;
            glUseProgram(current_->name);
        }
        return current_;
    }

    // Build it.
    std::string vsrc, fsrc;
    if (state_.vs) {
        vsrc = userVsGlsl_[state_.vs->GetId()];
    } else {
        vsrc = BuildFfpVertexShader(vk);
    }
    if (state_.ps) {
        if (!WrapPixelShader(userPsSource_[state_.ps->GetId()], post, &fsrc, error)) return nullptr;
    } else {
        fsrc = BuildFfpFragmentShader(fk);
    }
    GLuint vs = CompileShader(GL_VERTEX_SHADER, vsrc, error);
    if (!vs) return nullptr;
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, fsrc, error);
    if (!fs) {
        glDeleteShader(vs);
        return nullptr;
    }
    GLuint prog = LinkProgram(vs, fs, error);
    glDeleteShader(vs);
    glDeleteShader(fs);
    if (!prog) return nullptr;
    Program p;
    p.name = prog;
    p.userVertex = state_.vs.Get() != nullptr;
    p.userPixel = state_.ps.Get() != nullptr;
    auto loc = [&](const char* n) { return glGetUniformLocation(prog, n); };
    p.worldView = loc("uWorldView");
    p.worldViewProj = loc("uWorldViewProj");
    p.normalMat = loc("uNormalMat");
    p.texMat = loc("uTexMat");
    p.pixelFix = loc("uPixelFix");
    p.screen = loc("uScreen");
    p.globalAmbient = loc("uGlobalAmbient");
    p.mat = loc("uMat");
    p.matPower = loc("uMatPower");
    p.lightDiffuse = loc("uLightDiffuse");
    p.lightSpecular = loc("uLightSpecular");
    p.lightAmbient = loc("uLightAmbient");
    p.lightPos = loc("uLightPos");
    p.lightDir = loc("uLightDir");
    p.lightAtt = loc("uLightAtt");
    p.lightSpot = loc("uLightSpot");
    p.fogParams = loc("uFogParams");
    p.fogColor = loc("uFogColor");
    p.point = loc("uPoint");
    p.pointScale = loc("uPointScale");
    p.clipPlane = loc("uClipPlane");
    p.tfactor = loc("uTFactor");
    p.alphaRef = loc("uAlphaRef");
    p.vc = loc("vc");
    p.vci = loc("vci");
    p.vcb = loc("vcb");
    p.pc = loc("pc");
    p.pci = loc("pci");
    p.pcb = loc("pcb");
    glUseProgram(prog);
    for (int i = 0; i < 8; ++i) {
        const std::string n = "s" + std::to_string(i);
        const GLint l = glGetUniformLocation(prog, n.c_str());
        if (l >= 0) glUniform1i(l, i);
    }
    auto [pos, inserted] = programs_.emplace(key, p);
    (void)inserted;
    current_ = &pos->second;
    return current_;
}

void GLDevice::UploadUniforms(Program& p) {
    const auto& rs = state_.rs;
    const Matrix& view = state_.transforms[0];
    if (p.vViewport != versions_.viewport) {
        p.vViewport = versions_.viewport;
        const D3DVIEWPORT9& v = state_.viewport;
        if (p.pixelFix >= 0) glUniform2f(p.pixelFix, 1.0f / float(v.Width), 1.0f / float(v.Height));
        if (p.screen >= 0)
            glUniform4f(p.screen, float(v.X), float(v.Y), 2.0f / float(v.Width), 2.0f / float(v.Height));
        p.vStates = 0; // the point scale reads the viewport height
    }
    if (p.vTransforms != versions_.transforms) {
        p.vTransforms = versions_.transforms;
        const Matrix wv = Mul(state_.transforms[10], view);
        if (p.worldView >= 0) glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &wv.m[0][0]);
        if (p.worldViewProj >= 0) {
            const Matrix wvp = Mul(wv, state_.transforms[1]);
            glUniformMatrix4fv(p.worldViewProj, 1, GL_FALSE, &wvp.m[0][0]);
        }
        if (p.normalMat >= 0) {
            // Normals go through the inverse transpose of the world-view matrix.
            Matrix inv;
            if (!Invert(wv, &inv)) inv = Matrix{};
            // n * inverse(wv)^T in row form is inverse(wv) * n in column form.
            float n[9];
            for (int col = 0; col < 3; ++col)
                for (int row = 0; row < 3; ++row) n[col * 3 + row] = inv.m[row][col];
            glUniformMatrix3fv(p.normalMat, 1, GL_FALSE, n);
        }
        if (p.texMat >= 0) glUniformMatrix4fv(p.texMat, 8, GL_FALSE, &state_.transforms[2].m[0][0]);
        p.vLights = 0;
        p.vClip = 0;
    }
    if (p.lightDiffuse >= 0 && p.vLights != versions_.lights) {
        p.vLights = versions_.lights;
        float dif[32] = {}, spc[32] = {}, amb[32] = {}, pos[32] = {}, dir[32] = {}, att[32] = {},
              spot[32] = {};
        int n = 0;
        for (const LightSlot& l : state_.lights) {
            if (!l.enabled || n >= int(kMaxLights)) continue;
            const D3DLIGHT9& L = l.light;
            float* d4 = dif + n * 4;
            d4[0] = L.Diffuse.r, d4[1] = L.Diffuse.g, d4[2] = L.Diffuse.b, d4[3] = L.Diffuse.a;
            float* s4 = spc + n * 4;
            s4[0] = L.Specular.r, s4[1] = L.Specular.g, s4[2] = L.Specular.b, s4[3] = L.Specular.a;
            float* a4 = amb + n * 4;
            a4[0] = L.Ambient.r, a4[1] = L.Ambient.g, a4[2] = L.Ambient.b, a4[3] = L.Ambient.a;
            const Vec3 p3 = TransformPoint(L.Position, view);
            pos[n * 4] = p3.x, pos[n * 4 + 1] = p3.y, pos[n * 4 + 2] = p3.z;
            // Direction toward the light, in view space.
            const Vec3 d3 = Normalized(TransformDir(L.Direction, view));
            dir[n * 4] = -d3.x, dir[n * 4 + 1] = -d3.y, dir[n * 4 + 2] = -d3.z;
            att[n * 4] = L.Attenuation0, att[n * 4 + 1] = L.Attenuation1, att[n * 4 + 2] = L.Attenuation2;
            att[n * 4 + 3] = L.Range;
            spot[n * 4] = std::cos(L.Theta * 0.5f), spot[n * 4 + 1] = std::cos(L.Phi * 0.5f);
            spot[n * 4 + 2] = L.Falloff;
            ++n;
        }
        glUniform4fv(p.lightDiffuse, 8, dif);
        if (p.lightSpecular >= 0) glUniform4fv(p.lightSpecular, 8, spc);
        if (p.lightAmbient >= 0) glUniform4fv(p.lightAmbient, 8, amb);
        if (p.lightPos >= 0) glUniform4fv(p.lightPos, 8, pos);
        if (p.lightDir >= 0) glUniform4fv(p.lightDir, 8, dir);
        if (p.lightAtt >= 0) glUniform4fv(p.lightAtt, 8, att);
        if (p.lightSpot >= 0) glUniform4fv(p.lightSpot, 8, spot);
    }
    if (p.mat >= 0 && p.vMaterial != versions_.material) {
        p.vMaterial = versions_.material;
        glUniform4fv(p.mat, 4, &state_.material.Diffuse.r);
        if (p.matPower >= 0) glUniform1f(p.matPower, state_.material.Power);
    }
    if (p.vStates != versions_.uniformStates) {
        p.vStates = versions_.uniformStates;
        float c[4];
        if (p.globalAmbient >= 0) {
            ColorToFloats(rs[D3DRS_AMBIENT], c);
            glUniform4fv(p.globalAmbient, 1, c);
        }
        if (p.tfactor >= 0) {
            ColorToFloats(rs[D3DRS_TEXTUREFACTOR], c);
            glUniform4fv(p.tfactor, 1, c);
        }
        if (p.fogColor >= 0) {
            ColorToFloats(rs[D3DRS_FOGCOLOR], c);
            glUniform4fv(p.fogColor, 1, c);
        }
        if (p.fogParams >= 0)
            glUniform4f(p.fogParams, BitsFloat(rs[D3DRS_FOGSTART]), BitsFloat(rs[D3DRS_FOGEND]),
                        BitsFloat(rs[D3DRS_FOGDENSITY]), 0.0f);
        if (p.alphaRef >= 0) glUniform1f(p.alphaRef, float(rs[D3DRS_ALPHAREF] & 0xFF));
        if (p.point >= 0)
            glUniform4f(p.point, BitsFloat(rs[D3DRS_POINTSIZE]), BitsFloat(rs[D3DRS_POINTSIZE_MIN]),
                        std::min(BitsFloat(rs[D3DRS_POINTSIZE_MAX]), caps_.MaxPointSize),
                        float(state_.viewport.Height));
        if (p.pointScale >= 0)
            glUniform3f(p.pointScale, BitsFloat(rs[D3DRS_POINTSCALE_A]), BitsFloat(rs[D3DRS_POINTSCALE_B]),
                        BitsFloat(rs[D3DRS_POINTSCALE_C]));
    }
    if (p.clipPlane >= 0 && p.vClip != versions_.clip) {
        p.vClip = versions_.clip;
        // The plane is given in world space; the shader tests view-space positions.
        Matrix inv;
        if (!Invert(view, &inv)) inv = Matrix{};
        const auto& w = state_.clipPlanes[0];
        float v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = inv.m[i][0] * w[0] + inv.m[i][1] * w[1] + inv.m[i][2] * w[2] + inv.m[i][3] * w[3];
        glUniform4fv(p.clipPlane, 1, v);
    }
    if (p.vConst != versions_.vsConst + versions_.psConst) {
        p.vConst = versions_.vsConst + versions_.psConst;
        if (p.vc >= 0) glUniform4fv(p.vc, GLsizei(kMaxVertexShaderConstF), &state_.vsConstF[0][0]);
        if (p.vci >= 0) glUniform4iv(p.vci, GLsizei(kMaxShaderConstI), &state_.vsConstI[0][0]);
        if (p.vcb >= 0) glUniform1iv(p.vcb, GLsizei(kMaxShaderConstB), state_.vsConstB.data());
        if (p.pc >= 0) glUniform4fv(p.pc, GLsizei(kMaxPixelShaderConstF), &state_.psConstF[0][0]);
        if (p.pci >= 0) glUniform4iv(p.pci, GLsizei(kMaxShaderConstI), &state_.psConstI[0][0]);
        if (p.pcb >= 0) glUniform1iv(p.pcb, GLsizei(kMaxShaderConstB), state_.psConstB.data());
    }
}

void GLDevice::ApplySamplers(uint32_t stages) {
    appliedSamplers_ = versions_.samplers;
    samplerStages_ = stages;
    for (uint32_t s = 0; s < kMaxTextureStages; ++s) {
        if (!(stages & (1u << s))) continue;
        const auto& m = state_.samp[s];
        const GLuint smp = samplers_[s];
        const uint32_t mip = m[D3DSAMP_MIPFILTER], minf = m[D3DSAMP_MINFILTER];
        const bool minLinear = minf == D3DTEXF_LINEAR || minf == D3DTEXF_ANISOTROPIC;
        GLenum min = minLinear ? GL_LINEAR : GL_NEAREST;
        if (mip == D3DTEXF_POINT) min = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        if (mip >= D3DTEXF_LINEAR) min = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        const uint32_t magf = m[D3DSAMP_MAGFILTER];
        glSamplerParameteri(smp, GL_TEXTURE_MIN_FILTER, GLint(min));
        glSamplerParameteri(smp, GL_TEXTURE_MAG_FILTER,
                            (magf == D3DTEXF_LINEAR || magf == D3DTEXF_ANISOTROPIC) ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(smp, GL_TEXTURE_WRAP_S, GLint(GLAddress(m[D3DSAMP_ADDRESSU])));
        glSamplerParameteri(smp, GL_TEXTURE_WRAP_T, GLint(GLAddress(m[D3DSAMP_ADDRESSV])));
        float border[4];
        ColorToFloats(m[D3DSAMP_BORDERCOLOR], border);
        glSamplerParameterfv(smp, GL_TEXTURE_BORDER_COLOR, border);
        glSamplerParameterf(smp, GL_TEXTURE_LOD_BIAS, BitsFloat(m[D3DSAMP_MIPMAPLODBIAS]));
        if (anisotropy_)
            glSamplerParameterf(
                smp, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                minf == D3DTEXF_ANISOTROPIC ? float(std::max<uint32_t>(1, m[D3DSAMP_MAXANISOTROPY])) : 1.0f);
        glBindSampler(s, smp);
    }
}

void GLDevice::BindTextures(uint32_t stages) {
    appliedTextures_ = versions_.textures;
    for (uint32_t s = 0; s < kMaxTextureStages; ++s) {
        if (!(stages & (1u << s))) continue;
        TextureImpl* t = state_.textures[s].Get();
        const GLuint name = t ? t->backendName : 0;
        if (boundTex_[s] != name) {
            glActiveTexture(GL_TEXTURE0 + s);
            glBindTexture(GL_TEXTURE_2D, name);
            boundTex_[s] = name;
        }
    }
}

void GLDevice::SetupAttributes(const VertexLayout& layout, const DrawRequest& d, GLuint userBuffer) {
    uint32_t enabled = 0;
    GLuint bound = ~0u;
    for (const auto& e : layout.elements) {
        GLuint buffer;
        uintptr_t base;
        uint32_t stride;
        if (d.kind == DrawRequest::UserArrays || d.kind == DrawRequest::UserIndexed) {
            if (e.stream != 0) continue;
            buffer = userBuffer;
            base = 0;
            stride = d.userStride;
        } else {
            const StreamBinding& sb = state_.streams[e.stream];
            if (!sb.buffer || !sb.buffer->backendName) continue;
            buffer = sb.buffer->backendName;
            base = sb.offset;
            stride = sb.stride;
        }
        if (buffer != bound) {
            glBindBuffer(GL_ARRAY_BUFFER, buffer);
            bound = buffer;
        }
        const AttribFormat f = GLAttrib(e.type);
        const GLuint loc = GLuint(e.location);
        glVertexAttribPointer(loc, f.size, f.type, f.normalized, GLsizei(stride),
                              reinterpret_cast<const void*>(base + e.offset));
        enabled |= 1u << loc;
    }
    const uint32_t diff = enabled ^ enabledAttribs_;
    for (GLuint i = 0; i < kAttrCount; ++i)
        if (diff & (1u << i))
            (enabled & (1u << i)) ? glEnableVertexAttribArray(i) : glDisableVertexAttribArray(i);
    enabledAttribs_ = enabled;
}

// ---- work ------------------------------------------------------------------------------
Result GLDevice::BackendDraw(const DrawRequest& d) {
    FlushPendingUploads();
    if (appliedTargets_ != versions_.targets) BindTargets();
    if (appliedViewport_ != versions_.viewport) ApplyViewport();
    if (appliedStates_ != versions_.renderStates || rsForce_) {
        ApplyRenderStates(rsForce_);
        rsForce_ = false;
    }
    std::string error;
    Program* p = SelectProgram(d.type, &error);
    if (!p) {
        lastShaderError_ = error;
        return D3DERR_INVALIDCALL;
    }
    UploadUniforms(*p);
    const uint32_t stages = currentStages_;
    // Sampler objects keep their settings across texture changes.
    if (appliedSamplers_ != versions_.samplers) {
        ApplySamplers(stages | samplerStages_);
    } else if (stages & ~samplerStages_) {
        ApplySamplers(stages | samplerStages_);
    }
    if (appliedTextures_ != versions_.textures) BindTextures(stages);
    const VertexLayout& layout = CurrentLayout();
    const GLenum prim = GLPrimitive(d.type);
    switch (d.kind) {
    case DrawRequest::Arrays:
        if (appliedInput_ != versions_.vertexInput) {
            SetupAttributes(layout, d, 0);
            appliedInput_ = versions_.vertexInput;
        }
        glDrawArrays(prim, GLint(d.startVertex), GLsizei(d.vertexCount));
        break;
    case DrawRequest::Indexed: {
        if (appliedInput_ != versions_.vertexInput) {
            SetupAttributes(layout, d, 0);
            appliedInput_ = versions_.vertexInput;
        }
        const GLuint ibo = state_.indices->backendName;
        if (boundIbo_ != ibo) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
            boundIbo_ = ibo;
        }
        const bool wide = state_.indices->desc().Format == D3DFMT_INDEX32;
        glDrawElementsBaseVertex(prim, GLsizei(d.indexCount), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(uintptr_t(d.startIndex) * (wide ? 4 : 2)),
                                 d.baseVertex);
        break;
    }
    case DrawRequest::UserArrays:
    case DrawRequest::UserIndexed: {
        uint32_t vertices = d.vertexCount;
        if (d.kind == DrawRequest::UserIndexed) vertices = d.minVertex + d.numVertices;
        glBindBuffer(GL_ARRAY_BUFFER, upVbo_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(uint64_t(vertices) * d.userStride), d.userVertices,
                     GL_STREAM_DRAW);
        SetupAttributes(layout, d, upVbo_);
        appliedInput_ = 0;
        if (d.kind == DrawRequest::UserArrays) {
            glDrawArrays(prim, 0, GLsizei(d.vertexCount));
        } else {
            const bool wide = d.userIndexFormat == D3DFMT_INDEX32;
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, upIbo_);
            boundIbo_ = upIbo_;
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(uint64_t(d.indexCount) * (wide ? 4 : 2)),
                         d.userIndices, GL_STREAM_DRAW);
            glDrawElements(prim, GLsizei(d.indexCount), wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
        }
        break;
    }
    }
    MarkTargetDrawn();
    return D3D_OK;
}

Result GLDevice::BackendClear(uint32_t count, const RECT* rects, uint32_t flags, D3DCOLOR color, float z,
                              uint32_t stencil) {
    FlushPendingUploads();
    if (appliedTargets_ != versions_.targets) BindTargets();
    if (appliedViewport_ != versions_.viewport) ApplyViewport();
    // A clear writes every channel and stays inside the viewport.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glEnable(GL_SCISSOR_TEST);
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClearDepth(z);
    glClearStencil(GLint(stencil));
    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
    const D3DVIEWPORT9& v = state_.viewport;
    RECT view{int32_t(v.X), int32_t(v.Y), int32_t(v.X + v.Width), int32_t(v.Y + v.Height)};
    if (state_.rs[D3DRS_SCISSORTESTENABLE]) {
        const RECT& s = state_.scissor;
        view = {std::max(view.left, s.left), std::max(view.top, s.top), std::min(view.right, s.right),
                std::min(view.bottom, s.bottom)};
    }
    auto clearRect = [&](const RECT& r) {
        const int32_t l = std::max(r.left, view.left), t = std::max(r.top, view.top);
        const int32_t rr = std::min(r.right, view.right), b = std::min(r.bottom, view.bottom);
        if (l >= rr || t >= b) return;
        glScissor(l, t, rr - l, b - t);
        glClear(mask);
    };
    if (count == 0)
        clearRect(view);
    else
        for (uint32_t i = 0; i < count; ++i) clearRect(rects[i]);
    // Restore what the clear changed.
    rsForce_ = true;
    appliedViewport_ = 0;
    if (mask & GL_COLOR_BUFFER_BIT) MarkTargetDrawn();
    return D3D_OK;
}

Result GLDevice::BackendCopy(SurfaceImpl& src, const RECT& sr, SurfaceImpl& dst, const RECT& dr,
                             D3DTEXTUREFILTERTYPE filter) {
    if (src.IsDepth() || dst.IsDepth()) return D3DERR_INVALIDCALL;
    GLint sl = 0, dl = 0;
    GLuint stex = SurfaceTexture(src, &sl);
    const GLuint dtex = SurfaceTexture(dst, &dl);
    if (!dtex) return D3DERR_INVALIDCALL;
    // A plain off-screen surface lives on the CPU only: it goes up for the copy.
    GLuint temp = 0;
    if (!stex) {
        const GLFormat f = GLFormatFor(src.desc().Format);
        if (!f.internal || f.compressed || f.decode) return D3DERR_INVALIDCALL;
        glGenTextures(1, &temp);
        glBindTexture(GL_TEXTURE_2D, temp);
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(f.internal), GLsizei(src.desc().Width),
                     GLsizei(src.desc().Height), 0, f.format, f.type, src.bytes().data());
        boundTex_[0] = 0;
        appliedTextures_ = 0;
        stex = temp;
        sl = 0;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, stex, sl);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawFbo_);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, dtex, dl);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(sr.left, sr.top, sr.right, sr.bottom, dr.left, dr.top, dr.right, dr.bottom,
                      GL_COLOR_BUFFER_BIT, filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    if (temp) glDeleteTextures(1, &temp);
    rsForce_ = true;
    dst.gpuNewer = true;
    return D3D_OK;
}

Result GLDevice::BackendReadBack(SurfaceImpl& rt, SurfaceImpl& dest) {
    const GLFormat f = GLFormatFor(rt.desc().Format);
    if (!AttachColor(readFbo_, rt)) return D3DERR_INVALIDCALL;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
    glReadPixels(0, 0, GLsizei(rt.desc().Width), GLsizei(rt.desc().Height), f.format, f.type,
                 dest.bytes().data());
    if (rt.desc().Format == D3DFMT_X8R8G8B8)
        for (size_t i = 3; i < dest.bytes().size(); i += 4) dest.bytes()[i] = 0xFF;
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    return D3D_OK;
}

Result GLDevice::BackendColorFill(SurfaceImpl& s, const RECT& r, D3DCOLOR color) {
    GLint level = 0;
    if (!SurfaceTexture(s, &level)) return DeviceBase::BackendColorFill(s, r, color); // CPU-only surface
    if (!AttachColor(drawFbo_, s)) return D3DERR_INVALIDCALL;
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(r.left, r.top, r.right - r.left, r.bottom - r.top);
    float c[4];
    ColorToFloats(color, c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    rsForce_ = true;
    appliedViewport_ = 0;
    s.gpuNewer = true;
    return D3D_OK;
}

Result GLDevice::BackendPresent() {
    // Blocks made since the last frame replace the pixels the textures were drawn from.
    for (const auto& job : blockMaker_.TakeMade()) ApplyBlocks(job);
    if (ctx_->HasWindow() && backBuffer_) {
        uint32_t w = 0, h = 0;
        ctx_->WindowSize(&w, &h);
        GLint level = 0;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo_);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               SurfaceTexture(*backBuffer_, &level), 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        // The window's rows count from the bottom.
        const auto& d = backBuffer_->desc();
        glBlitFramebuffer(0, 0, GLint(d.Width), GLint(d.Height), 0, GLint(h), GLint(w), 0,
                          GL_COLOR_BUFFER_BIT, GL_LINEAR);
        ctx_->Swap();
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        rsForce_ = true;
    } else {
        glFlush();
    }
    return D3D_OK;
}

Result GLDevice::BackendCreateShader(ResourceLink& shader, const std::string& source, bool pixel,
                                     std::string* error) {
    const uint64_t id = pixel ? static_cast<PixelShaderImpl&>(shader).GetId()
                              : static_cast<VertexShaderImpl&>(shader).GetId();
    std::string glsl;
    if (pixel) {
        if (!WrapPixelShader(source, PostKey{}, &glsl, error)) return D3DERR_INVALIDCALL;
        GLuint s = CompileShader(GL_FRAGMENT_SHADER, glsl, error);
        if (!s) return D3DERR_INVALIDCALL;
        glDeleteShader(s);
        userPsSource_[id] = source;
    } else {
        if (!WrapVertexShader(source, &glsl, error)) return D3DERR_INVALIDCALL;
        GLuint s = CompileShader(GL_VERTEX_SHADER, glsl, error);
        if (!s) return D3DERR_INVALIDCALL;
        glDeleteShader(s);
        userVsGlsl_[id] = glsl;
    }
    return D3D_OK;
}

// ---- the factory -----------------------------------------------------------------------
namespace {

class GLDirect3D final : public IDirect3D9 {
public:
    explicit GLDirect3D(GLGfxConfig c) : config_(std::move(c)) {}
    uint32_t GetAdapterCount() override { return 1; }
    Result GetAdapterIdentifier(uint32_t adapter, uint32_t, D3DADAPTER_IDENTIFIER9* id) override {
        if (!id || adapter != 0) return D3DERR_INVALIDCALL;
        *id = D3DADAPTER_IDENTIFIER9{};
        std::strncpy(id->Driver, "OpenGL", sizeof id->Driver - 1);
        std::string desc =
            config_.adapterDescription.empty() ? "OpenGL 3.3 device" : config_.adapterDescription;
        std::strncpy(id->Description, desc.c_str(), sizeof id->Description - 1);
        std::strncpy(id->DeviceName, "gl0", sizeof id->DeviceName - 1);
        return D3D_OK;
    }
    uint32_t GetAdapterModeCount(uint32_t adapter, D3DFORMAT format) override {
        return adapter == 0 && format == D3DFMT_X8R8G8B8 ? uint32_t(Modes().size()) : 0;
    }
    Result EnumAdapterModes(uint32_t adapter, D3DFORMAT format, uint32_t mode, D3DDISPLAYMODE* out) override {
        if (!out || adapter != 0 || format != D3DFMT_X8R8G8B8 || mode >= Modes().size())
            return D3DERR_INVALIDCALL;
        *out = Modes()[mode];
        return D3D_OK;
    }
    Result GetAdapterDisplayMode(uint32_t adapter, D3DDISPLAYMODE* mode) override {
        if (!mode || adapter != 0) return D3DERR_INVALIDCALL;
        *mode = {config_.headlessWidth, config_.headlessHeight, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    Result CheckDeviceType(uint32_t adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT bb, int32_t) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return D3DERR_NOTAVAILABLE;
        return (bb == D3DFMT_X8R8G8B8 || bb == D3DFMT_A8R8G8B8 || bb == D3DFMT_R5G6B5 || bb == D3DFMT_UNKNOWN)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    }
    Result CheckDeviceFormat(uint32_t adapter, D3DDEVTYPE, D3DFORMAT, uint32_t usage, D3DRESOURCETYPE,
                             D3DFORMAT f) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        if (usage & D3DUSAGE_DEPTHSTENCIL)
            return (f == D3DFMT_D24S8 || f == D3DFMT_D24X8 || f == D3DFMT_D16 || f == D3DFMT_D32)
                       ? D3D_OK
                       : D3DERR_NOTAVAILABLE;
        if ((usage & D3DUSAGE_RENDERTARGET) && IsCompressedFormat(f)) return D3DERR_NOTAVAILABLE;
        return FormatPitch(f, 1) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }
    Result CheckDeviceMultiSampleType(uint32_t adapter, D3DDEVTYPE, D3DFORMAT, int32_t,
                                      D3DMULTISAMPLE_TYPE ms, uint32_t* quality) override {
        if (adapter != 0) return D3DERR_INVALIDCALL;
        // The back buffer is a single-sample framebuffer.
        if (ms != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
        if (quality) *quality = 1;
        return D3D_OK;
    }
    Result CheckDepthStencilMatch(uint32_t adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override {
        return adapter == 0 ? D3D_OK : D3DERR_INVALIDCALL;
    }
    Result GetDeviceCaps(uint32_t adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
        if (!caps || adapter != 0) return D3DERR_INVALIDCALL;
        *caps = DefaultCaps();
        caps->DeviceType = type;
        return D3D_OK;
    }
    Result CreateDevice(uint32_t adapter, D3DDEVTYPE type, WindowHandle focus, uint32_t behaviour,
                        D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        *device = nullptr;
        if (!pp || adapter != 0) return D3DERR_INVALIDCALL;
        const uint32_t vp =
            behaviour & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
        if (vp == 0 || (vp & (vp - 1)) != 0) return D3DERR_INVALIDCALL;
        WindowHandle window = pp->hDeviceWindow ? pp->hDeviceWindow : focus;
        std::string error;
        auto ctx = CreateGLContext(window, &error);
        if (!ctx) return D3DERR_NOTAVAILABLE;
        uint32_t w = 0, h = 0;
        ctx->WindowSize(&w, &h);
        if (pp->Windowed) {
            if (pp->BackBufferWidth == 0) pp->BackBufferWidth = w ? w : config_.headlessWidth;
            if (pp->BackBufferHeight == 0) pp->BackBufferHeight = h ? h : config_.headlessHeight;
            if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
        } else if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0) {
            return D3DERR_INVALIDCALL;
        }
        if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
        D3DCAPS9 caps = DefaultCaps();
        caps.DeviceType = type;
        Ref<GLDevice> d(new GLDevice(this, caps, *pp, behaviour, std::move(ctx)));
        Result r = d->Init(config_.useS3tc);
        if (Failed(r)) return r;
        *device = d.Detach();
        return D3D_OK;
    }

private:
    static const std::vector<D3DDISPLAYMODE>& Modes() {
        static const std::vector<D3DDISPLAYMODE> modes{{640, 480, 60, D3DFMT_X8R8G8B8},
                                                       {800, 600, 60, D3DFMT_X8R8G8B8},
                                                       {1024, 768, 60, D3DFMT_X8R8G8B8},
                                                       {1280, 1024, 60, D3DFMT_X8R8G8B8}};
        return modes;
    }
    GLGfxConfig config_;
};

} // namespace

Ref<IDirect3D9> CreateGLDirect3D(const GLGfxConfig& config) {
    return Ref<IDirect3D9>(new GLDirect3D(config));
}

bool GLHeadlessAvailable() {
    static const bool ok = [] {
        std::string error;
        return CreateGLContext(nullptr, &error) != nullptr;
    }();
    return ok;
}

size_t GLProgramCacheSize(IDirect3DDevice9* device) {
    auto* d = dynamic_cast<GLDevice*>(device);
    return d ? d->ProgramCount() : 0;
}

} // namespace vesk::platform
