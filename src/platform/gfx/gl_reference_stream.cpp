#include "platform/gfx/gl_reference_stream.h"

#include <epoxy/gl.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/gfx/gl_context.h"

namespace vesk::platform {

namespace {

const char* kVs = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 2) in vec4 aDiffuse;
layout(location = 4) in vec2 aTex;
uniform mat4 uWorldViewProj;
out vec4 vD0;
out vec2 vT0;
void main() {
    gl_Position = uWorldViewProj * vec4(aPos, 1.0);
    vD0 = aDiffuse;
    vT0 = aTex;
}
)";

const char* kFs = R"(#version 330 core
in vec4 vD0;
in vec2 vT0;
uniform sampler2D s0;
out vec4 fragColor;
void main() { fragColor = texture(s0, vT0) * vD0; }
)";

class Stream final : public GLReferenceStream {
public:
    bool Init(uint32_t w, uint32_t h, uint32_t quads) {
        std::string error;
        ctx_ = CreateGLContext(nullptr, &error);
        if (!ctx_) return false;
        w_ = w, h_ = h, quads_ = quads;
        glGenFramebuffers(1, &fbo_);
        glGenTextures(1, &target_);
        glBindTexture(GL_TEXTURE_2D, target_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(w), GLsizei(h), 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     nullptr);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target_, 0);
        glViewport(0, 0, GLsizei(w), GLsizei(h));
        for (int i = 0; i < 2; ++i) {
            glGenTextures(1, &tex_[i]);
            glBindTexture(GL_TEXTURE_2D, tex_[i]);
            const uint32_t texels[4] = {0xFFFF0000u >> i, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        }
        struct V {
            float x, y, z;
            uint32_t c;
            float u, v;
        };
        std::vector<V> verts;
        for (uint32_t q = 0; q < quads; ++q) {
            const float x = float(q % 8) - 4, y = float(q / 8 % 8) - 4;
            verts.push_back({x, y, 0, 0xFFFFFFFFu, 0, 0});
            verts.push_back({x + 1, y, 0, 0xFFFFFFFFu, 1, 0});
            verts.push_back({x, y + 1, 0, 0xFFFFFFFFu, 0, 1});
            verts.push_back({x + 1, y + 1, 0, 0xFFFFFFFFu, 1, 1});
        }
        glGenVertexArrays(1, &vao_);
        glBindVertexArray(vao_);
        glGenBuffers(1, &vbo_);
        glBindBuffer(GL_ARRAY_BUFFER, vbo_);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(verts.size() * sizeof(V)), verts.data(), GL_STATIC_DRAW);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(V), nullptr);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(V), reinterpret_cast<void*>(12));
        glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, sizeof(V), reinterpret_cast<void*>(16));
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(2);
        glEnableVertexAttribArray(4);
        prog_ = glCreateProgram();
        for (auto [kind, src] : {std::pair{GL_VERTEX_SHADER, kVs}, std::pair{GL_FRAGMENT_SHADER, kFs}}) {
            GLuint s = glCreateShader(kind);
            glShaderSource(s, 1, &src, nullptr);
            glCompileShader(s);
            glAttachShader(prog_, s);
            glDeleteShader(s);
        }
        glLinkProgram(prog_);
        glUseProgram(prog_);
        glUniform1i(glGetUniformLocation(prog_, "s0"), 0);
        mvp_ = glGetUniformLocation(prog_, "uWorldViewProj");
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return true;
    }
    ~Stream() override {
        if (!ctx_) return;
        ctx_->MakeCurrent();
        glDeleteProgram(prog_);
        glDeleteBuffers(1, &vbo_);
        glDeleteVertexArrays(1, &vao_);
        glDeleteTextures(2, tex_);
        glDeleteTextures(1, &target_);
        glDeleteFramebuffers(1, &fbo_);
    }
    void Run(uint32_t draws) override {
        ctx_->MakeCurrent();
        glClear(GL_COLOR_BUFFER_BIT);
        for (uint32_t i = 0; i < draws; ++i) {
            glBindTexture(GL_TEXTURE_2D, tex_[i & 1]);
            (i & 2) ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
            float m[16] = {0.1f, 0, 0, 0, 0, 0.1f, 0, 0, 0, 0, 0.1f, 0, 0.001f * float(i % 100), 0, 0.5f, 1};
            glUniformMatrix4fv(mvp_, 1, GL_FALSE, m);
            glDrawArrays(GL_TRIANGLE_STRIP, GLint((i % quads_) * 4), 4);
        }
    }
    void Finish() override {
        std::vector<uint8_t> px(size_t(w_) * h_ * 4);
        glReadPixels(0, 0, GLsizei(w_), GLsizei(h_), GL_BGRA, GL_UNSIGNED_BYTE, px.data());
    }

private:
    std::unique_ptr<GLContext> ctx_;
    uint32_t w_ = 0, h_ = 0, quads_ = 1;
    GLuint fbo_ = 0, target_ = 0, tex_[2] = {}, vao_ = 0, vbo_ = 0, prog_ = 0;
    GLint mvp_ = -1;
};

} // namespace

std::unique_ptr<GLReferenceStream> CreateGLReferenceStream(uint32_t width, uint32_t height, uint32_t quads) {
    auto s = std::make_unique<Stream>();
    if (!s->Init(width, height, quads == 0 ? 1 : quads)) return nullptr;
    return s;
}

} // namespace vesk::platform
